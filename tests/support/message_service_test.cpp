#include "support/message_service.h"

#include <gtest/gtest.h>

#include "testkit/recording_presenter.h"

namespace pellandrix {
namespace {

using testkit::RecordingPresenter;

TEST(StringTable, TextsKeepTheirBlanksAndUmlauts) {
    EXPECT_EQ(MessageText(MessageId::kNewDatabase),
              "Es wird eine neue Datenbank in dem Verzeichnis %s angelegt. ");
    EXPECT_EQ(MessageText(MessageId::kSaveChanges),
              "Wollen Sie die letzten Änderungen speichern ?");
    EXPECT_EQ(MessageText(MessageId::kElseWithoutIfdef),
              "Parse-Fehler in Datei %s in Zeile  %s: Es wurde ein #else  ohne #ifdef verwendet. "
              "Die Anweisung wird ignoriert.");
    EXPECT_EQ(MessageText(MessageId::kNestedIfndef),
              "Parse-Fehler in Datei %s in Zeile  %s: geschachteltes #ifndef nicht erlaubt. Die "
              "Anweisung wird ignoriert.");
    EXPECT_EQ(MessageText(MessageId::kDeleteProject),
              "Wollen Sie wirklich das gesamte Projekt %s löschen ?");
    EXPECT_EQ(MessageText(MessageId::kRemoveFile),
              "Wollen Sie die Datei %s wirklich aus dem Projekt entfernen ?");
}

TEST(StringTable, ArgumentsAreInsertedAsData) {
    EXPECT_EQ(FormatMessage(MessageId::kNestedIfdef, "50%sale%d.tpl", "3"),
              "Parse-Fehler in Datei 50%sale%d.tpl in Zeile  3: geschachteltes #ifdef nicht "
              "erlaubt. Die Anweisung wird ignoriert.");
    // Message 10 has one placeholder; the (empty) second argument is ignored.
    EXPECT_EQ(FormatMessage(MessageId::kUnclosedBlock, "a.tpl", ""),
              "Parse-Fehler in Datei a.tpl: Dateiende erreicht und ein #endif ist nicht "
              "abgeschlossen.");
    // A text without placeholder comes out unchanged, with or without arguments.
    EXPECT_EQ(FormatMessage(MessageId::kSaveChanges, "", ""), MessageText(MessageId::kSaveChanges));
    // No argument: the text is copied without formatting.
    EXPECT_EQ(FormatMessage(MessageId::kNewDatabase, std::nullopt, "x"),
              MessageText(MessageId::kNewDatabase));
}

TEST(StringTable, LongArgumentsAreNotCut) {
    const std::string name(600, 'n');
    const std::string line(80, '7');
    const std::string text = FormatMessage(MessageId::kNestedIfdef, name, line);
    EXPECT_NE(text.find(name + " in Zeile  " + line + ":"), std::string::npos);
}

TEST(MessageService, EntryPointsChooseKindButtonsAndPassAnswers) {
    RecordingPresenter presenter;
    CMessageService service(presenter);
    presenter.answers = {MessageAnswer::Ok, MessageAnswer::Other, MessageAnswer::Ok};

    EXPECT_EQ(service.ShowParseError(MessageId::kEndifWithoutIfdef, "p.tpl", "12"), 1);
    EXPECT_EQ(service.AskQuestion(MessageId::kDeleteProject, ButtonStyle::OkCancel, "Web"),
              MessageAnswer::Other);
    EXPECT_EQ(service.AskQuestion(MessageId::kRemoveFile, ButtonStyle::OkCancel, "a.tpl"),
              MessageAnswer::Ok);
    EXPECT_EQ(service.ShowNotice(MessageId::kNewDatabase, "/tmp/x/"), 1);

    ASSERT_EQ(presenter.shown.size(), 4u);
    EXPECT_EQ(presenter.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(presenter.shown[0].buttons, ButtonStyle::Ok);
    EXPECT_EQ(presenter.shown[0].text,
              "Parse-Fehler in Datei p.tpl in Zeile  12: Es wurde ein #endif ohne #ifdef "
              "verwendet. Die Anweisung wird ignoriert.");
    EXPECT_EQ(presenter.shown[1].kind, MessageKind::Question);
    EXPECT_EQ(presenter.shown[1].buttons, ButtonStyle::OkCancel);
    EXPECT_EQ(presenter.shown[1].text, "Wollen Sie wirklich das gesamte Projekt Web löschen ?");
    EXPECT_EQ(presenter.shown[3].kind, MessageKind::Notice);
    EXPECT_EQ(presenter.shown[3].text,
              "Es wird eine neue Datenbank in dem Verzeichnis /tmp/x/ angelegt. ");
}

}  // namespace
}  // namespace pellandrix
