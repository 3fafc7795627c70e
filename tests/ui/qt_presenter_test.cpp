// The message boxes of the desktop program.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTimer>

#include "ui/qt_presenter.h"

namespace pellandrix::ui {
namespace {

// Answers the next box by `act` once it is shown.
void WhenBoxShows(std::function<void(QMessageBox*)> act) {
    QTimer::singleShot(30, [act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        act(box);
    });
}

QAbstractButton* ButtonWithText(QMessageBox* box, QMessageBox::StandardButton which) {
    return box->button(which);
}

TEST(QtPresenter, ScriptedAnswersShowNoBox) {
    CQtPresenter presenter;
    CQtPresenter::ClearShown();
    CQtPresenter::ScriptAnswers({MessageAnswer::Yes, MessageAnswer::Ok});
    EXPECT_TRUE(CQtPresenter::Scripting());
    EXPECT_EQ(presenter.Present(MessageKind::Question, "eins", ButtonStyle::YesNo),
              MessageAnswer::Yes);
    EXPECT_EQ(presenter.Present(MessageKind::Notice, "zwei", ButtonStyle::Ok), MessageAnswer::Ok);
    EXPECT_EQ(presenter.Present(MessageKind::Error, "drei", ButtonStyle::Ok), MessageAnswer::Other);
    EXPECT_EQ(CQtPresenter::Shown(), (std::vector<std::string>{"eins", "zwei", "drei"}));
    CQtPresenter::StopScripting();
    CQtPresenter::ClearShown();
    EXPECT_TRUE(CQtPresenter::Shown().empty());
}

TEST(QtPresenter, RealBoxesMapTheirButtons) {
    CQtPresenter::StopScripting();
    CQtPresenter presenter;
    WhenBoxShows([](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), QStringLiteral("pellandrix"));
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(QTextDocumentFragment::fromHtml(box->text()).toPlainText(),
                  QStringLiteral("Wollen Sie die Datei 50%s.tpl wirklich entfernen ?"));
        EXPECT_TRUE(box->textInteractionFlags() & Qt::TextSelectableByMouse);
        ButtonWithText(box, QMessageBox::Yes)->click();
    });
    EXPECT_EQ(
        presenter.Present(MessageKind::Question,
                          "Wollen Sie die Datei 50%s.tpl wirklich entfernen ?", ButtonStyle::YesNo),
        MessageAnswer::Yes);
    WhenBoxShows([](QMessageBox* box) { ButtonWithText(box, QMessageBox::No)->click(); });
    EXPECT_EQ(presenter.Present(MessageKind::Question, "?", ButtonStyle::YesNo), MessageAnswer::No);
    WhenBoxShows([](QMessageBox* box) {
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        ButtonWithText(box, QMessageBox::Ok)->click();
    });
    EXPECT_EQ(presenter.Present(MessageKind::Notice, "Hinweis", ButtonStyle::Ok),
              MessageAnswer::Ok);
    WhenBoxShows([](QMessageBox* box) { ButtonWithText(box, QMessageBox::Cancel)->click(); });
    EXPECT_EQ(presenter.Present(MessageKind::Question, "?", ButtonStyle::OkCancel),
              MessageAnswer::Other);
}

TEST(QtPresenter, BoxTextKeepsEveryCharacterAndNeverBreaksInsideAPath) {
    const std::string path = "/srv/web-seiten/unter-ordner/eine-lange-seite.htm";
    QTextDocument document;
    document.setHtml(
        CQtPresenter::BoxText("Parse-Fehler in Datei " + path + " in Zeile  3:\n<b>&amp;</b>"));
    // The path takes a line of its own; nothing else changes.
    // (Qt's import may end the text with a paragraph break of its own.)
    QString shown = document.toPlainText();
    if (shown.endsWith(QLatin1Char('\n'))) {
        shown.chop(1);
    }
    EXPECT_EQ(shown.toStdString(),
              "Parse-Fehler in Datei\n" + path + "\nin Zeile  3:\n<b>&amp;</b>");
    // Narrower than the path: the prose wraps, the path stays whole.
    document.setTextWidth(60);
    ASSERT_GT(document.size().height(), 0);  // laid out at that width
    EXPECT_GT(document.firstBlock().layout()->lineCount(), 1);
    const QTextBlock pathBlock = document.firstBlock().next();
    ASSERT_EQ(pathBlock.text().toStdString(), path);
    EXPECT_EQ(pathBlock.layout()->lineCount(), 1);
}

TEST(QtPresenter, EscapeAndTheCloseBoxGiveOther) {
    CQtPresenter::StopScripting();
    CQtPresenter presenter;
    WhenBoxShows([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(presenter.Present(MessageKind::Question, "?", ButtonStyle::YesNo),
              MessageAnswer::Other);
    WhenBoxShows([](QMessageBox* box) { box->close(); });
    EXPECT_EQ(presenter.Present(MessageKind::Question, "?", ButtonStyle::OkCancel),
              MessageAnswer::Other);
    WhenBoxShows([](QMessageBox* box) {
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(presenter.Present(MessageKind::Error, "Fehler", ButtonStyle::Ok),
              MessageAnswer::Other);
    CQtPresenter::ClearShown();
}

}  // namespace
}  // namespace pellandrix::ui
