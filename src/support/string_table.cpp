#include "support/string_table.h"

#include <utility>

namespace pellandrix {

namespace {

// The blanks in these texts (two after "Zeile", two after "#else", the one
// ending message 1) are part of them: users and scripts match on them.
constexpr std::pair<MessageId, std::string_view> kTexts[] = {
    {MessageId::kNewDatabase, "Es wird eine neue Datenbank in dem Verzeichnis %s angelegt. "},
    {MessageId::kSaveChanges, "Wollen Sie die letzten Änderungen speichern ?"},
    {MessageId::kNestedIfdef,
     "Parse-Fehler in Datei %s in Zeile  %s: geschachteltes #ifdef nicht erlaubt. Die Anweisung "
     "wird ignoriert."},
    {MessageId::kElseWithoutIfdef,
     "Parse-Fehler in Datei %s in Zeile  %s: Es wurde ein #else  ohne #ifdef verwendet. Die "
     "Anweisung wird ignoriert."},
    {MessageId::kEndifWithoutIfdef,
     "Parse-Fehler in Datei %s in Zeile  %s: Es wurde ein #endif ohne #ifdef verwendet. Die "
     "Anweisung wird ignoriert."},
    {MessageId::kNestedIfndef,
     "Parse-Fehler in Datei %s in Zeile  %s: geschachteltes #ifndef nicht erlaubt. Die Anweisung "
     "wird ignoriert."},
    {MessageId::kUnclosedBlock,
     "Parse-Fehler in Datei %s: Dateiende erreicht und ein #endif ist nicht abgeschlossen."},
    {MessageId::kDeleteProject, "Wollen Sie wirklich das gesamte Projekt %s löschen ?"},
    {MessageId::kRemoveFile, "Wollen Sie die Datei %s wirklich aus dem Projekt entfernen ?"},
    {MessageId::kIncludeCycle,
     "Parse-Fehler in Datei %s in Zeile  %s: Die eingebundene Vorlage wird bereits verarbeitet "
     "(zyklisches #include). Die Anweisung wird ignoriert."},
    {MessageId::kWriteFailed,
     "Die Datei %s konnte nicht vollständig geschrieben werden. Eine vorhandene ältere Fassung "
     "bleibt unverändert."},
    {MessageId::kDatabaseFailed, "Die Projektdatenbank %s kann nicht geöffnet werden: %s"},
    {MessageId::kUnknownProject, "Das Projekt %s gibt es nicht."},
    {MessageId::kUsageError, "Fehlerhafter Aufruf: %s (Hilfe mit --help)"},
    {MessageId::kDatabaseError, "Fehler der Projektdatenbank: %s"},
    {MessageId::kFileAlreadyInProject, "Die Datei %s gehört bereits zum Projekt %s."},
    {MessageId::kTemplateNotFound, "Die Vorlagendatei %s gibt es nicht."},
    {MessageId::kExtensionNotOffered, "Die Dateiendung %s steht nicht in fileext.def."},
    {MessageId::kTextTooLong, "Die Angabe %s ist zu lang (höchstens %s Zeichen)."},
    {MessageId::kNoSuchDirectory, "Das Verzeichnis %s gibt es nicht."},
    {MessageId::kUnexpectedError, "Unerwarteter Fehler: %s"},
    {MessageId::kSubstitutionTooLong,
     "Parse-Fehler in Datei %s in Zeile  %s: Die Ersetzungen machen den Text länger als 16 MB. "
     "Weitere Namen werden darin nicht ersetzt."},
    {MessageId::kApostropheInPath,
     "Die Angabe %s enthält einen Apostroph ('). Die Projektdatenbank speichert sie ohne "
     "Apostroph, damit wäre eine andere Datei oder ein anderes Verzeichnis gemeint."},
    {MessageId::kDefinitionsTooLarge,
     "Parse-Fehler in Datei %s in Zeile  %s: Alle Definitionen zusammen würden länger als "
     "256 MB. Diese Definition wird nicht übernommen."},
    {MessageId::kControlCharacter,
     "Die Angabe %s enthält ein Steuerzeichen (etwa einen Tabulator oder Zeilenumbruch). "
     "Namen und Pfade dürfen keine enthalten."},
    {MessageId::kIniUnreadable,
     "Die Einstellungsdatei %s kann nicht gelesen werden (%s). Ohne sie ist unklar, wo die "
     "Projektdatenbank liegt."},
    {MessageId::kRowNotRepresentable,
     "Die Spalte %s enthält in der Zeile mit Id %s einen Wert, den das Programm nicht aufnehmen "
     "kann (keine ganze Zahl, mehr als 32 Bit oder zu lang). Die Datenbank bleibt unverändert."},
    {MessageId::kNoFreeId,
     "In der Tabelle %s ist keine Nummer mehr frei: Die höchste, %s, ist schon vergeben. Der "
     "neue Eintrag wird nicht angelegt."},
    {MessageId::kProjectTextBad,
     "Zeile %s der Projektbeschreibung %s ist nicht lesbar. Es wurde nichts übernommen."},
    {MessageId::kCannotWriteFile, "Die Datei %s konnte nicht geschrieben werden: %s"},
    {MessageId::kCannotReadFile, "Die Datei %s kann nicht gelesen werden."},
    {MessageId::kTemplateUnreadable,
     "Die Vorlagendatei %s kann nicht gelesen werden. Für sie wird keine Datei erzeugt."},
    {MessageId::kTargetDirectoryMissing,
     "Das Zielverzeichnis %s gibt es nicht. Die Datei %s wird nicht erzeugt."},
    {MessageId::kCannotCreateFile,
     "Die Datei %s kann nicht angelegt werden. Eine vorhandene ältere Fassung bleibt "
     "unverändert."},
    {MessageId::kFileIsTemplate,
     "Die Datei %s ist eine Vorlagendatei des Projekts. Sie wird weder überschrieben noch "
     "gelöscht."},
    {MessageId::kOutsideTargetFolders,
     "Die Datei %s liegt außerhalb der Zielverzeichnisse des Projekts oder verweist dorthin. Sie "
     "bleibt unverändert, ebenso die Datei, auf die sie verweist."},
    {MessageId::kConvertJetDatabase,
     "Die Projektdatenbank %s hat das alte Jet-Format (Access 97 oder 2000). Soll sie in das "
     "neue Format umgewandelt werden? Die alte Datei bleibt daneben mit der Endung .jet "
     "erhalten. Bei Nein wird das Programm beendet und die Datei bleibt unverändert."},
    {MessageId::kJetDatabaseConverted,
     "Die Projektdatenbank %s hatte das alte Jet-Format und wurde in das neue Format "
     "umgewandelt. Die alte Datei liegt unverändert unter %s."},
    {MessageId::kJetConversionFailed,
     "Sie hat das alte Jet-Format und konnte nicht umgewandelt werden (%s). Die Datei bleibt "
     "unverändert; es wurde keine neue Datenbank angelegt."},
    {MessageId::kDataFolderFailed,
     "Der Arbeitsordner %s kann nicht angelegt werden (%s). Das Programm wird beendet."},
    {MessageId::kCannotStartProgram,
     "Das Programm %s, das %s öffnen sollte, konnte nicht gestartet werden."},
    {MessageId::kWatchFolderMissing,
     "Das Verzeichnis %s fehlt. Es wird wieder beobachtet, sobald es da ist."},
    {MessageId::kWatchUnavailable,
     "Die Verzeichnisse können nicht beobachtet werden (%s). Mit --poll SEKUNDEN prüft das "
     "Programm stattdessen in Abständen, ob sich etwas geändert hat."},
    {MessageId::kOutsideSourceFolder,
     "Die Vorlagendatei %s liegt nicht im Quellverzeichnis %s des Projekts. Mit --own-source "
     "wird sie aus ihrem eigenen Verzeichnis aufgenommen."},
    {MessageId::kProjectNameTaken,
     "Ein Projekt namens %s gibt es bereits. Bitte wählen Sie einen anderen Namen."},
    {MessageId::kProjectNameAmbiguous,
     "Mehrere Projekte heißen %s (Nummern %s). Bitte geben Sie das Projekt als #Nummer an."},
    {MessageId::kWatchFailed,
     "%s kann nicht beobachtet werden (%s). Es wird stattdessen jede Sekunde geprüft, ob sich "
     "dort etwas geändert hat."},
    {MessageId::kJetFileBesideNewDatabase,
     "Neben der neuen, leeren Projektdatenbank liegt die alte Jet-Datenbank %s. Ihre Projekte "
     "werden nicht übernommen. Um sie umzuwandeln, beenden Sie das Programm, löschen die neue "
     "Datenbank %s und geben der alten Datei deren Namen."},
    {MessageId::kTextNotUtf8,
     "Die Angabe %s ist kein gültiger UTF-8-Text. Namen und Pfade werden in UTF-8 gespeichert; "
     "eine Datei, deren Name einen anderen Zeichensatz hat, muss erst umbenannt werden."},
    {MessageId::kNotAFileName,
     "Die Angabe %s ist kein Dateiname: Ein Dateiname darf nicht leer, „.“ oder „..“ sein, und "
     "weder er noch eine Dateiendung darf einen Schrägstrich (/) enthalten."},
    {MessageId::kProjectTextCut,
     "Die Projektbeschreibung %s endet nicht mit der Zeile „Ende“ und ist womöglich "
     "unvollständig. Es wurde nichts übernommen. Ist sie vollständig (etwa von einer älteren "
     "Fassung des Programms geschrieben), lässt sie sich mit dieser Zeile am Ende einlesen."},
    {MessageId::kProjectTextTooLarge,
     "Die Projektbeschreibung %s ist größer als %s MB und wird nicht gelesen. Es wurde nichts "
     "übernommen."},
    {MessageId::kRemoveStalePages,
     "Sollen die veralteten Seiten gelöscht werden (%s)? Gelöscht wird nur, was noch so ist, "
     "wie ein Lauf es geschrieben hat."},
    {MessageId::kPreviewNoPort,
     "Die Vorschau kann auf 127.0.0.1 keinen freien Port ab %s finden (%s)."},
    {MessageId::kPreviewAddress, "Vorschau unter %s"},
    {MessageId::kUnknownTemplateFile, "Die Vorlagendatei %s gehört nicht zum Projekt %s."},
    {MessageId::kTemplateFileAmbiguous,
     "Mehrere Vorlagendateien des Projekts heißen %s (Nummern %s). Bitte geben Sie die Datei als "
     "#Nummer an."},
    {MessageId::kIdNeverGiven,
     "Die Spalte %s enthält in der Zeile mit Id %s eine Nummer, die das Programm nie vergibt: "
     "kleiner als 1 oder schon in einer anderen Zeile."},
};

}  // namespace

std::string_view MessageText(MessageId id) {
    for (const auto& [key, text] : kTexts) {
        if (key == id) {
            return text;
        }
    }
    return {};
}

std::string FormatMessage(MessageId id, std::optional<std::string_view> first,
                          std::string_view second) {
    const std::string_view text = MessageText(id);
    if (!first) {
        return std::string(text);
    }
    // Placeholders are filled by hand, never by printf: an argument is data,
    // so a file name like "50%sale.tpl" must come out as written.
    const std::string_view args[] = {*first, second};
    std::string out;
    out.reserve(text.size() + first->size() + second.size());
    std::size_t next_arg = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            if (next_arg < 2) {
                out.append(args[next_arg]);
            }
            ++next_arg;
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace pellandrix
