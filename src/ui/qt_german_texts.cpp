#include "ui/qt_german_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace pellandrix::ui {

std::unique_ptr<QTranslator> InstallGermanQtTexts() {
    // Dates and sizes in the file dialog follow the default locale.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_de"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator.get())) {
        return nullptr;
    }
    return translator;
}

}  // namespace pellandrix::ui
