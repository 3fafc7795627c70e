#include "ui/extension_combo.h"

#include <QComboBox>
#include <QString>

#include "ui/pellandrix_app.h"

namespace pellandrix::ui {

void FillExtensionCombo(QComboBox* combo, const CFileExtList& list) {
    combo->clear();
    for (const CFileExtEntry& entry : list) {
        combo->addItem(QString::fromStdString(entry.name.str()));
    }
    // A QComboBox selects its first item by itself; the dialogs decide the
    // selection from the stored extension instead.
    combo->setCurrentIndex(-1);
}

void FillExtensionCombo(QComboBox* combo) {
    FillExtensionCombo(combo, App()->Session().Extensions());
}

void SelectExtension(QComboBox* combo, std::string_view extension) {
    if (extension.empty()) {
        combo->setCurrentIndex(-1);
        return;
    }
    // Exact, case-sensitive match: "htm" must not pick "html", and "HTM"
    // names a different file than "htm" on the target systems.
    const QString text =
        QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size()));
    combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

std::string SelectedExtension(const QComboBox* combo) {
    return combo->currentIndex() < 0 ? std::string() : combo->currentText().toStdString();
}

}  // namespace pellandrix::ui
