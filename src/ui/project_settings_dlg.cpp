#include "ui/project_settings_dlg.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/extension_combo.h"
#include "ui/file_choosers.h"
#include "ui/pellandrix_app.h"

namespace pellandrix::ui {

namespace {

const ControlInfo kControls[] = {
    {CProjectSettingsDlg::kNameField, nullptr, 2001},
    {CProjectSettingsDlg::kSourceField, nullptr, 2002},
    {CProjectSettingsDlg::kTargetField, nullptr, 2003},
    {CProjectSettingsDlg::kChooseSource, nullptr, 2004},
    {CProjectSettingsDlg::kChooseTarget, nullptr, 2005},
    {CProjectSettingsDlg::kExtensionCombo, nullptr, 2006},
    {CProjectSettingsDlg::kHelpButton, nullptr, 0},
    {0, nullptr, 0},
};

constexpr int kPathWidth = static_cast<int>(decltype(CProjectRecord::SourcePath)::kMaxLength);
constexpr int kNameWidth = static_cast<int>(decltype(CProjectRecord::ProjectName)::kMaxLength);

}  // namespace

CProjectSettingsDlg::CProjectSettingsDlg(CProjectRecord& project, QWidget* parent)
    : CBaseDialog(kResourceId, parent), project_(project) {
    setWindowTitle(QStringLiteral("Projekteinstellungen"));
    CreateControls();
    RegisterControls(kControls);
    FillFields();
}

void CProjectSettingsDlg::CreateControls() {
    SetDialogSize(257, 111);
    // Created first so that it lies beneath the fields it surrounds.
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(DialogRect(7, 7, 186, 97));
    CreateFields();
    CreateOkCancelHelpButtons(DialogRect(200, 7, 50, 14), DialogRect(200, 24, 50, 14),
                              DialogRect(200, 88, 20, 16), [this] { OnOk(); });
}

void CProjectSettingsDlg::CreateFields() {
    struct Field {
        QLineEdit*& edit;
        int id;
        const char* label;
        int y;
        int maxLength;
        bool hasChooser;
    };
    const Field fields[] = {
        {name_, kNameField, "Projektname:", 12, kNameWidth, false},
        {source_, kSourceField, "Quellverzeichnis:", 37, kPathWidth, true},
        {target_, kTargetField, "Zielverzeichnis:", 62, kPathWidth, true},
    };
    for (const Field& f : fields) {
        const QString caption = QString::fromUtf8(f.label);
        auto* label = new QLabel(caption, this);
        label->setGeometry(DialogRect(14, f.y, 172, 8));
        auto* edit = f.edit = new QLineEdit(this);
        edit->setGeometry(DialogRect(14, f.y + 9, f.hasChooser ? 152 : 172, 12));
        edit->setMaxLength(f.maxLength);
        edit->setAccessibleName(caption.chopped(1));
        label->setBuddy(edit);
        SetControlId(edit, f.id);
        if (f.hasChooser) {
            const bool source = f.id == kSourceField;
            auto* choose = new QPushButton(QStringLiteral(". . ."), this);
            choose->setGeometry(DialogRect(170, f.y + 9, 16, 12));
            choose->setAccessibleName(source ? QStringLiteral("Quellverzeichnis wählen")
                                             : QStringLiteral("Zielverzeichnis wählen"));
            SetControlId(choose, source ? kChooseSource : kChooseTarget);
            connect(choose, &QPushButton::clicked, this,
                    [this, source] { ChooseDirectory(source); });
        }
    }
    auto* label = new QLabel(QStringLiteral("erzeugte Dateiendung"), this);
    label->setGeometry(DialogRect(14, 89, 80, 8));
    extensions_ = new QComboBox(this);
    extensions_->setEditable(false);
    extensions_->setGeometry(DialogRect(96, 87, 60, 12));
    extensions_->setAccessibleName(QStringLiteral("erzeugte Dateiendung"));
    label->setBuddy(extensions_);
    SetControlId(extensions_, kExtensionCombo);
}

void CProjectSettingsDlg::FillFields() {
    FillExtensionCombo(extensions_);
    const ProjectSettings stored = App()->Session().SettingsOf(project_);
    name_->setText(QString::fromStdString(stored.name));
    source_->setText(QString::fromStdString(stored.sourcePath));
    target_->setText(QString::fromStdString(stored.targetPath));
    SelectExtension(extensions_, App()->Session().ExtensionFor(project_));
}

void CProjectSettingsDlg::ChooseDirectory(bool source) {
    std::string folder = (source ? project_.SourcePath : project_.TargetPath).str();
    if (!BrowseForFolder(this, folder)) {
        return;
    }
    // The record takes the folder at once, so that the choice survives a
    // later Cancel; the other fields keep what the user typed.
    if (App()->ShowRefusal(App()->Session().SetProjectFolder(project_, source, folder))) {
        (source ? source_ : target_)->setText(QString::fromStdString(folder));
    }
}

void CProjectSettingsDlg::OnOk() {
    const ProjectSettings settings{name_->text().toStdString(), source_->text().toStdString(),
                                   target_->text().toStdString(), SelectedExtension(extensions_)};
    // Refused: the dialog stays open so that the user can mend the value.
    if (App()->ShowRefusal(App()->Session().ApplyProjectSettings(project_, settings))) {
        accept();
    }
}

}  // namespace pellandrix::ui
