#pragma once

#include <memory>

class QTranslator;

namespace pellandrix::ui {

// Makes Qt's own texts German, whatever the system's locale: the file
// dialogs ("Öffnen", "Suchen in:", "Dateiname:"), the folder chooser and the
// message-box buttons ("Ja", "Nein", "Abbrechen"). Loads Qt's German catalogue
// (qtbase_de from Qt's translations folder) into the running application and
// makes German the default locale. Requires a QCoreApplication. Returns the
// installed translator, which stays in force as long as it lives; null when
// the catalogue is missing (Qt's English texts then stay).
std::unique_ptr<QTranslator> InstallGermanQtTexts();

}  // namespace pellandrix::ui
