#include "cli/command_table.h"

#include <algorithm>

namespace pellandrix::cli {

namespace {

// Watch without the hooks that serve adds.
int WatchCommand(CommandContext& c, const CliOptions& o) {
    return Watch(c, o);
}

constexpr std::string_view kIntroduction =
    R"(Aufruf: pellandrix-cli [-C VERZEICHNIS] BEFEHL [ANGABEN...]

Erzeugt die Dateien eines Pellandrix-Projekts ohne Fenster. Pellandrix.ini,
fileext.def und die Projektdatenbank werden im aktuellen Verzeichnis gesucht,
mit -C im angegebenen Verzeichnis; dort werden auch relative Pfade und
#include-Namen aufgelöst.

Befehle:
)";

constexpr std::string_view kClosing = R"(
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

--json (bei projects, files, generate, check und record) gibt statt der
Zeilen auf der Standardausgabe JSON Lines aus: ein JSON-Objekt je Zeile, in
UTF-8, mit dem Feld "type" und den Feldern, die die README nennt; generate
gibt dazu jede Meldung des Laufs mit ihren Orten als Objekt aus. Texte
stehen, wie sie gespeichert sind; Bytes, die kein gültiges UTF-8 sind,
stehen als U+FFFD. Meldungen auf der Standardfehlerausgabe und
Rückgabewerte bleiben dieselben.

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

const CliCommand kCommands[] = {
    {"projects", 0, false, "--read-only --json", 0, ListProjects,
     R"(  projects [--read-only] [--json]
      Eine Zeile je Projekt: ProjectId, ProjectName, SourcePath, TargetPath,
      DefCreateFileExt, getrennt durch Tabulatoren.
      --read-only schreibt nichts: Fehlt die Datenbank, wird keine angelegt,
      eine im alten Jet-Format wird weder umgewandelt noch gelesen, eine
      ältere wird nicht ergänzt; in diesen Fällen Meldung und Rückgabewert 2.
      So fragt die Vervollständigung der Shell nach den Projektnamen.
)"},
    {"files", 1, false, "--read-only --json", 0, ListFiles,
     R"(  files PROJEKT [--json]
      Eine Zeile je Vorlagendatei des Projekts: TPLFileId, TPLFileName,
      Selected, CreateFile, AlwaysParse, SourceFromProject, TargetFromProject,
      CreateFileExt, SourcePath, TargetPath.
)"},
    {"generate", 1, false, "--all --changed --dry-run --explain --locations --json", 0, Generate,
     R"(  generate PROJEKT [--all] [--changed] [--dry-run] [--explain] [--locations]
           [--json]
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
)"},
    {"watch", 1, false, "--all --poll", 0, WatchCommand,
     R"(  watch PROJEKT [--all] [--poll SEKUNDEN]
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
)"},
    {"serve", 1, false, "--all --poll --port --open", 0, Serve,
     R"(  serve PROJEKT [--all] [--poll SEKUNDEN] [--port N] [--open]
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
)"},
    {"add-project", 1, false, "--source --target --ext", 0, AddProject,
     R"(  add-project NAME [--source VERZ] [--target VERZ] [--ext ENDUNG]
      Legt ein Projekt an und gibt seine ProjectId aus. Ein Name, den schon
      ein Projekt trägt, wird abgewiesen.
)"},
    {"add-file", 2, true, "--ext --select --no-create --no-always-parse --own-source --target", 0,
     AddFile,
     R"(  add-file PROJEKT DATEI [DATEI...] [--ext ENDUNG] [--select] [--no-create]
           [--no-always-parse] [--own-source] [--target VERZ]
      Nimmt Vorlagendateien in das Projekt auf und gibt ihre TPLFileIds aus,
      eine Zeile je Datei. Die Optionen gelten für jede der Dateien. Wird eine
      Datei abgewiesen, wird keine aufgenommen. Ohne --own-source gilt das
      Quellverzeichnis des Projekts, und die Datei muss darin liegen; mit
      --own-source wird sie aus ihrem eigenen Verzeichnis aufgenommen. Ohne
      --target gilt das Zielverzeichnis des Projekts, ohne --ext seine
      Standard-Dateiendung. Eine Datei, die schon (unter welcher Schreibweise
      auch immer) zum Projekt gehört, wird abgewiesen.
)"},
    {"remove-file", 2, true, "", 0, RemoveFileCommand,
     R"(  remove-file PROJEKT DATEI [DATEI...]
      Nimmt Vorlagendateien aus dem Projekt. DATEI ist ein Name, wie files
      ihn zeigt, oder #ID, die TPLFileId aus files. Ist eine DATEI unbekannt
      oder mehrdeutig, wird keine entfernt.
)"},
    {"set-file", 2, false,
     "--select --unselect --create --no-create --always-parse --no-always-parse --ext "
     "--own-source --project-source --target --project-target",
     0, SetFileCommand,
     R"(  set-file PROJEKT DATEI [--select|--unselect] [--create|--no-create]
           [--always-parse|--no-always-parse] [--ext ENDUNG]
           [--own-source VERZ|--project-source] [--target VERZ|--project-target]
      Ändert die Einstellungen einer Vorlagendatei wie ihr Einstellungsdialog
      und mit seinen Prüfungen; was keine Option nennt, bleibt. DATEI wie
      bei remove-file. --own-source VERZ und --target VERZ geben der Datei
      ein eigenes Verzeichnis, --project-source und --project-target lassen
      sie das des Projekts nehmen.
)"},
    {"set-project", 1, false, "--name --source --target --ext", 0, SetProjectCommand,
     R"(  set-project PROJEKT [--name NEU] [--source VERZ] [--target VERZ] [--ext ENDUNG]
      Ändert die Einstellungen eines Projekts wie sein Einstellungsdialog und
      mit seinen Prüfungen; was keine Option nennt, bleibt. Dateien, die ein
      Verzeichnis vom Projekt nehmen, erhalten das neue.
)"},
    {"remove-project", 1, false, "", 0, RemoveProjectCommand,
     R"(  remove-project PROJEKT
      Löscht das Projekt samt seiner Dateiliste aus der Datenbank. Vorlagen
      und erzeugte Seiten auf der Platte bleiben.

)"},
    {"export", 1, false, "", 1, ExportProject,
     R"(  export PROJEKT [DATEI]
      Schreibt das Projekt und seine Vorlagendateien als Text (UTF-8, eine
      Einstellung je Zeile, in Listenreihenfolge) nach DATEI, ohne DATEI auf
      die Standardausgabe. Pfade unter dem Verzeichnis der DATEI stehen
      relativ zu ihm, so dass der Text mit den Vorlagen in git liegen kann.
      Die letzte Zeile ist "Ende"; ein Text ohne sie gilt als abgeschnitten.
)"},
    {"import", 1, false, "--as", 0, ImportProject,
     R"(  import DATEI [--as NAME]
      Legt das Projekt aus einem mit export geschriebenen Text an, oder
      ersetzt das Projekt dieses Namens samt seiner Dateiliste (es behält
      seine ProjectId). Ganz oder gar nicht, mit den Prüfungen von
      add-project und add-file. Gibt die ProjectId aus. Relative Pfade des
      Texts bleiben relativ (zum Arbeitsverzeichnis), wenn sie darunter
      liegen. Abgewiesen wird ein Text ohne die Schlusszeile "Ende", mit
      einer Einstellung, die in einem Block zweimal steht, oder größer als
      64 MB.
)"},
    {"check", 1, false, "--remove-stale --json", 0, CheckSite,
     R"(  check PROJEKT [--remove-stale] [--json]
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
)"},
    {"record", 1, false, "--json", 0, PrintRecord,
     R"(  record PROJEKT [--json]
      Gibt den Stand vom letzten Lauf aus, aus dem generate --changed
      arbeitet: je Schritt ("Schritt NAME, Durchgang N") in Reihenfolge, was
      er las (mit dem Hash des Gelesenen, "fehlt" für eine Datei, die sich
      nicht öffnen ließ), welche Einträge seine #include-Zeilen fanden,
      welche er zum erneuten Erzeugen markierte und was er schrieb; danach
      unter "Dateien" jede Datei, die die Läufe hinterließen, mit Hash und
      dem Schritt, der sie zuletzt schrieb. Ändert nichts.
)"},
};

}  // namespace

std::span<const CliCommand> Commands() {
    return kCommands;
}

const CliCommand* FindCommand(std::string_view name) {
    const std::span<const CliCommand> all = Commands();
    const auto it = std::find_if(all.begin(), all.end(),
                                 [name](const CliCommand& c) { return c.name == name; });
    return it == all.end() ? nullptr : &*it;
}

bool TakesOption(const CliCommand& command, std::string_view option) {
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

std::string HelpText() {
    std::string text(kIntroduction);
    for (const CliCommand& command : kCommands) {
        text += command.help;
    }
    return text += kClosing;
}

}  // namespace pellandrix::cli
