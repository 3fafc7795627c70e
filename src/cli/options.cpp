#include "cli/options.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>

#include "app/watch_loop.h"

namespace pellandrix::cli {

namespace {

struct CommandInfo {
    std::string_view name;
    std::size_t arguments;  // positional arguments required
    bool repeatsLast;       // the last one may be given any number of times
    std::string_view options;
    std::size_t optionalArguments = 0;  // further positional arguments allowed
};

constexpr std::array<CommandInfo, 11> kCommands{{
    {"projects", 0, false, "--read-only"},
    {"files", 1, false, ""},
    {"generate", 1, false, "--all --changed --dry-run --explain --locations"},
    {"watch", 1, false, "--all --poll"},
    {"serve", 1, false, "--all --poll --port --open"},
    {"add-project", 1, false, "--source --target --ext"},
    {"add-file", 2, true, "--ext --select --no-create --no-always-parse --own-source --target"},
    {"export", 1, false, "", 1},
    {"import", 1, false, "--as"},
    {"check", 1, false, "--remove-stale"},
    {"record", 1, false, ""},
}};

const CommandInfo* FindCommand(std::string_view name) {
    const auto it = std::find_if(kCommands.begin(), kCommands.end(),
                                 [name](const CommandInfo& c) { return c.name == name; });
    return it == kCommands.end() ? nullptr : &*it;
}

bool Allowed(const CommandInfo& command, std::string_view option) {
    std::string_view list = command.options;
    while (!list.empty()) {
        const std::size_t blank = list.find(' ');
        if (list.substr(0, blank) == option) {
            return true;
        }
        list = blank == std::string_view::npos ? std::string_view() : list.substr(blank + 1);
    }
    return false;
}

// Seconds between two looks at the files: not so few that looking never
// stops, nor more than a day.
std::string TakePoll(CliOptions& o, const std::string& value) {
    char* end = nullptr;
    const double seconds = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !(seconds >= CWatchLoop::kMinPollSeconds) ||
        seconds > 86400) {
        return "--poll erwartet eine Zahl von Sekunden von 0.1 bis 86400, nicht " + value;
    }
    o.pollSeconds = seconds;
    return {};
}

// The first port to try: 1 to 65535.
std::string TakePort(CliOptions& o, const std::string& value) {
    char* end = nullptr;
    const long port = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || port < 1 || port > 65535) {
        return "--port erwartet eine Portnummer von 1 bis 65535, nicht " + value;
    }
    o.port = static_cast<int>(port);
    return {};
}

// Sets a flag or takes the value of a valued option. Returns an error text.
std::string TakeOption(CliOptions& o, std::string_view name, const std::vector<std::string>& args,
                       std::size_t& i) {
    if (name == "--all")
        o.all = true;
    else if (name == "--changed")
        o.changed = true;
    else if (name == "--dry-run")
        o.dryRun = true;
    else if (name == "--explain")
        o.explain = true;
    else if (name == "--locations")
        o.locations = true;
    else if (name == "--remove-stale")
        o.removeStale = true;
    else if (name == "--select")
        o.select = true;
    else if (name == "--no-create")
        o.noCreate = true;
    else if (name == "--no-always-parse")
        o.noAlwaysParse = true;
    else if (name == "--own-source")
        o.ownSource = true;
    else if (name == "--read-only")
        o.readOnly = true;
    else if (name == "--open")
        o.open = true;
    else {
        if (i + 1 >= args.size()) {
            return "Option " + std::string(name) + " erwartet einen Wert";
        }
        const std::string& value = args[++i];
        if (name == "--source")
            o.source = value;
        else if (name == "--target")
            o.target = value;
        else if (name == "--as")
            o.as = value;
        else if (name == "--poll")
            return TakePoll(o, value);
        else if (name == "--port")
            return TakePort(o, value);
        else
            o.ext = value;
    }
    return {};
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult r;
    CliOptions& o = r.options;
    std::size_t i = 0;
    for (; i < args.size() && o.command.empty(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            o.help = true;
            return r;
        }
        if (args[i] == "-C") {
            if (i + 1 >= args.size()) {
                r.error = "-C erwartet ein Verzeichnis";
                return r;
            }
            o.directory = args[++i];
        } else if (args[i].starts_with("-")) {
            r.error = "unbekannte Option " + args[i];
            return r;
        } else {
            o.command = args[i];
        }
    }
    const CommandInfo* command = FindCommand(o.command);
    if (o.command.empty()) {
        r.error = "kein Befehl angegeben";
        return r;
    }
    if (command == nullptr) {
        r.error = "unbekannter Befehl " + o.command;
        return r;
    }
    bool optionsEnded = false;
    for (; i < args.size() && r.error.empty(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (a == "--help" || a == "-h")) {
            o.help = true;
        } else if (!optionsEnded && a.starts_with("--") && Allowed(*command, a)) {
            r.error = TakeOption(o, a, args, i);
        } else if (!optionsEnded && a.starts_with("-") && a.size() > 1) {
            r.error = "unbekannte Option " + a + " für " + o.command;
        } else {
            o.arguments.push_back(a);
        }
    }
    if (r.error.empty() && !o.help && o.arguments.size() < command->arguments) {
        r.error = "zu wenige Angaben für " + o.command;
    } else if (r.error.empty() && !o.help &&
               o.arguments.size() > command->arguments + command->optionalArguments &&
               !command->repeatsLast) {
        r.error = "zu viele Angaben für " + o.command;
    }
    return r;
}

const char* HelpText() {
    return R"(Aufruf: pellandrix-cli [-C VERZEICHNIS] BEFEHL [ANGABEN...]

Erzeugt die Dateien eines Pellandrix-Projekts ohne Fenster. Pellandrix.ini,
fileext.def und die Projektdatenbank werden im aktuellen Verzeichnis gesucht,
mit -C im angegebenen Verzeichnis; dort werden auch relative Pfade und
#include-Namen aufgelöst.

Befehle:
  projects [--read-only]
      Eine Zeile je Projekt: ProjectId, ProjectName, SourcePath, TargetPath,
      DefCreateFileExt, getrennt durch Tabulatoren.
      --read-only schreibt nichts: Fehlt die Datenbank, wird keine angelegt,
      eine im alten Jet-Format wird weder umgewandelt noch gelesen, eine
      ältere wird nicht ergänzt; in diesen Fällen Meldung und Rückgabewert 2.
      So fragt die Vervollständigung der Shell nach den Projektnamen.
  files PROJEKT
      Eine Zeile je Vorlagendatei des Projekts: TPLFileId, TPLFileName,
      Selected, CreateFile, AlwaysParse, SourceFromProject, TargetFromProject,
      CreateFileExt, SourcePath, TargetPath.
  generate PROJEKT [--all] [--changed] [--dry-run] [--explain] [--locations]
      Erzeugt die ausgewählten Vorlagendateien wie "Dateien erstellen".
      --all wählt für diesen Lauf alle Dateien aus. Projekte und Dateiliste
      in der Datenbank bleiben, wie sie sind; die Datenbank merkt sich nur,
      woraus jede Seite entstand. Danach eine Zeile je Datei: Status,
      Tabulator, Name.
      --changed erzeugt nur, was sich seit dem letzten Lauf geändert hat
      (Vorlagen, eingebundene Dateien, Einstellungen), und alles, was ein
      voller Lauf deshalb anders schriebe; danach steht jede Datei genau so
      da wie nach einem vollen Lauf. Nicht erzeugte Dateien haben den Status
      "unverändert". Im Zweifel wird erzeugt.
      --dry-run schreibt nichts, weder Dateien noch die Datenbank, und gibt
      statt der Status eine Zeile je Datei aus, die geschrieben, ersetzt
      oder gelöscht würde: Aktion, Tabulator, Pfad, Tabulator, Grund.
      --explain hängt an jede Statuszeile einen Tabulator und den Grund an,
      aus dem die Datei erzeugt wurde (etwa die geänderte Eingabe, "Vorlage
      neu", die geänderte Einstellung mit Eintrag und Datei, oder
      "fileext.def geändert").
      --locations stellt jeder Meldung des Laufs voran, wo sie entstand
      ("PFAD:ZEILE: ", wie Editoren es anspringen), und schreibt bei einer
      Meldung aus einer eingebundenen Vorlage darunter eine Zeile
      "  eingebunden von PFAD:ZEILE" je einbindender Datei.
  watch PROJEKT [--all] [--poll SEKUNDEN]
      Erzeugt wie generate --changed und beobachtet danach jede Datei, die
      der Lauf gelesen hat (Vorlagen, eingebundene Dateien, auch fehlende,
      auch über Verknüpfungen in andere Verzeichnisse), die Quellverzeichnisse
      und die Einträge des Projekts in der Datenbank. Ist nach einer Änderung
      einen Moment (etwa 100 ms) Ruhe, folgt der nächste Lauf mit --changed;
      eine Datei, die nur berührt wurde, löst keinen aus. Jeder Lauf beginnt
      mit einer Zeile "Lauf N beginnt HH:MM:SS", dann folgen die Zeilen wie
      bei generate. Ein Verzeichnis, das inotify nicht beobachten kann, wird
      gemeldet und jede Sekunde geprüft. Ctrl+C, SIGTERM, SIGHUP oder SIGQUIT
      beenden nach dem laufenden Lauf mit 0, nie mitten im Schreiben einer
      Seite.
      --poll SEKUNDEN prüft statt mit inotify alle SEKUNDEN Sekunden (ab 0.1)
      die Inhalte (für Netzlaufwerke, auf denen inotify nichts sieht).
  serve PROJEKT [--all] [--poll SEKUNDEN] [--port N] [--open]
      Arbeitet wie watch (dieselben Läufe, Zeilen, Rückgabewerte und
      Optionen) und zeigt die Zielverzeichnisse zugleich als Vorschau im
      Browser: unter http://127.0.0.1:8080/ (nur auf diesem Rechner
      erreichbar; ist der Port belegt, der nächste freie). Die Adresse steht
      auf der Fehlerausgabe. Jede ausgelieferte HTML-Seite lädt sich neu,
      sobald ein Lauf, der sie (oder eine von ihr geladene Datei) geschrieben
      hat, zu Ende ist; die Meldungen eines Laufs stehen mit PFAD:ZEILE über
      jeder Seite, bis ein Lauf ohne Meldungen endet. Die Seiten auf der
      Platte bleiben unverändert.
      --port N versucht zuerst Port N statt 8080.
      --open öffnet die Startseite im Browser wie "Seite im Browser öffnen".
  add-project NAME [--source VERZ] [--target VERZ] [--ext ENDUNG]
      Legt ein Projekt an und gibt seine ProjectId aus. Ein Name, den schon
      ein Projekt trägt, wird abgewiesen.
  add-file PROJEKT DATEI [DATEI...] [--ext ENDUNG] [--select] [--no-create]
           [--no-always-parse] [--own-source] [--target VERZ]
      Nimmt Vorlagendateien in das Projekt auf und gibt ihre TPLFileIds aus,
      eine Zeile je Datei. Die Optionen gelten für jede der Dateien. Wird eine
      Datei abgewiesen, wird keine aufgenommen. Ohne --own-source gilt das
      Quellverzeichnis des Projekts, und die Datei muss darin liegen; mit
      --own-source wird sie aus ihrem eigenen Verzeichnis aufgenommen. Ohne
      --target gilt das Zielverzeichnis des Projekts, ohne --ext seine
      Standard-Dateiendung. Eine Datei, die schon (unter welcher Schreibweise
      auch immer) zum Projekt gehört, wird abgewiesen.

  export PROJEKT [DATEI]
      Schreibt das Projekt und seine Vorlagendateien als Text (UTF-8, eine
      Einstellung je Zeile, in Listenreihenfolge) nach DATEI, ohne DATEI auf
      die Standardausgabe. Pfade unter dem Verzeichnis der DATEI stehen
      relativ zu ihm, so dass der Text mit den Vorlagen in git liegen kann.
      Die letzte Zeile ist "Ende"; ein Text ohne sie gilt als abgeschnitten.
  import DATEI [--as NAME]
      Legt das Projekt aus einem mit export geschriebenen Text an, oder
      ersetzt das Projekt dieses Namens samt seiner Dateiliste (es behält
      seine ProjectId). Ganz oder gar nicht, mit den Prüfungen von
      add-project und add-file. Gibt die ProjectId aus. Relative Pfade des
      Texts bleiben relativ (zum Arbeitsverzeichnis), wenn sie darunter
      liegen. Abgewiesen wird ein Text ohne die Schlusszeile "Ende", mit
      einer Einstellung, die in einem Block zweimal steht, oder größer als
      64 MB.
  check PROJEKT [--remove-stale]
      Prüft die Dateien des Projekts, wie sie auf der Platte liegen, und
      ändert (ohne --remove-stale) nichts. Eine Zeile je Befund
      (DATEI:ZEILE: Text), nach Art geordnet: Verweise (href, src, srcset)
      der erzeugten HTML-Seiten auf Dateien oder Anker, die es in den
      Zielverzeichnissen nicht gibt; veraltete Seiten, die ein früherer Lauf
      schrieb und die kein Eintrag mehr erzeugt; #include-Zeilen der
      Vorlagen, deren Datei sich nicht öffnen lässt. Externe Verweise werden
      nicht abgerufen. Ein Verweis, der mit "/" beginnt, beginnt im
      Zielverzeichnis des Projekts (liegt die Seite nicht darin, in ihrem
      eigenen).
      --remove-stale löscht vorher die veralteten Seiten, die noch genau so
      dastehen, wie das Programm sie schrieb, und nichts sonst; sie stehen
      dann als "gelöscht" in der Liste. Von Hand geänderte bleiben stehen.
  record PROJEKT
      Gibt den Stand vom letzten Lauf aus, aus dem generate --changed
      arbeitet: je Schritt ("Schritt NAME, Durchgang N") in Reihenfolge, was
      er las (mit dem Hash des Gelesenen, "fehlt" für eine Datei, die sich
      nicht öffnen ließ), welche Einträge seine #include-Zeilen fanden,
      welche er zum erneuten Erzeugen markierte und was er schrieb; danach
      unter "Dateien" jede Datei, die die Läufe hinterließen, mit Hash und
      dem Schritt, der sie zuletzt schrieb. Ändert nichts.

Statt eines PROJEKT-Namens (auch bei import --as) nimmt jeder Befehl #ID, die
ProjectId aus projects, etwa #3. Tragen mehrere Projekte einer älteren
Datenbank denselben Namen, wird der Name abgewiesen und die Meldung nennt
ihre Nummern.

Namen, Verzeichnisse und Endungen werden genau so gespeichert, wie sie
eingegeben wurden, Apostrophe eingeschlossen. Abgewiesen werden Angaben mit
Steuerzeichen (Tabulator, Zeilenumbruch, auch U+0080 bis U+009F, U+2028 und
U+2029), Angaben, die kein gültiges UTF-8 sind, Dateinamen und Endungen mit
"/" und solche, die länger sind, als die Datenbank sie aufnimmt (gezählt in
Zeichen).

Meldungen stehen je als eine Zeile auf der Standardfehlerausgabe, in der
Reihenfolge, in der das Programm sie als Meldungsfenster zeigen würde.

Ist die Projektdatenbank noch eine alte Jet-Datenbank (Access 97 oder 2000),
wird sie beim Start ohne Rückfrage umgewandelt, mit allen Zeilen. Die alte
Datei bleibt daneben als NAME.jet erhalten; eine Meldung nennt sie.

Rückgabewert:
  0  alles erledigt, keine Fehlermeldung
  1  generate: mindestens eine Fehlermeldung (Parse-Fehler, oder eine Datei
     mit dem Status Fehler, die nicht geschrieben werden konnte);
     check: mindestens ein Befund, der noch besteht;
     jeder Befehl: die Standardausgabe konnte nicht ganz geschrieben werden
  2  fehlerhafter Aufruf, unbekanntes Projekt oder Fehler der Datenbank
)";
}

}  // namespace pellandrix::cli
