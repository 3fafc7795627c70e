#include "ui/launch_options.h"

#include <string_view>

namespace pellandrix::ui {

const char kLaunchUsage[] =
    "Aufruf: pellandrix [VERZEICHNIS]\n"
    "       pellandrix --data-folder\n"
    "       pellandrix --help\n"
    "\n"
    "Startet das Desktop-Programm. Pellandrix.ini, fileext.def und die\n"
    "Projektdatenbank werden im Startverzeichnis gesucht: im aktuellen\n"
    "Verzeichnis oder in VERZEICHNIS.\n"
    "\n"
    "  --data-folder  startet im Datenordner des Benutzers,\n"
    "                 $XDG_DATA_HOME/pellandrix (sonst\n"
    "                 ~/.local/share/pellandrix); legt ihn beim ersten Start\n"
    "                 an und gibt ihm eine fileext.def mit den üblichen\n"
    "                 Endungen, wenn er keine hat. So startet der Menüeintrag.\n"
    "  --help         zeigt diese Hilfe.\n";

LaunchOptions ParseLaunchOptions(int argc, const char* const* argv) {
    if (argc < 2 || argv[1] == nullptr) {
        return {};
    }
    const std::string_view first = argv[1];
    if (first == "--data-folder") {
        return {LaunchOptions::Where::kDataFolder, {}};
    }
    if (first == "--help") {
        return {LaunchOptions::Where::kHelp, {}};
    }
    return {LaunchOptions::Where::kFolder, std::string(first)};
}

}  // namespace pellandrix::ui
