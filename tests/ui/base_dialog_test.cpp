// The dialog base class: resizer, help mode, Enter rule, F1,
// dialog units, icon buttons and control operations by id.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "ui/base_dialog.h"
#include "ui/help_system.h"
#include "ui/icon_image_list.h"

namespace pellandrix::ui {
namespace {

// --- the resizer ------------------------------------------------------------

struct ResizeFixture {
    QWidget dialog;
    QListWidget* list;
    QPushButton* button;
    ResizeFixture() {
        dialog.resize(400, 300);
        list = new QListWidget(&dialog);
        list->setGeometry(10, 10, 200, 100);
        button = new QPushButton(QStringLiteral("OK"), &dialog);
        button->setGeometry(10, 200, 80, 24);
    }
};

TEST(DialogResizer, ScalesInProportionAndKeepsSmallHeights) {
    ResizeFixture f;
    CDialogResizer resizer(&f.dialog);
    resizer.Record();
    ASSERT_TRUE(resizer.Recorded());
    EXPECT_EQ(resizer.InitialWidth(), 400);
    EXPECT_EQ(resizer.InitialHeight(), 300);
    ASSERT_EQ(resizer.Entries().size(), 3u);  // client area + two children

    resizer.Resize(600, 450);  // wider and higher by half
    EXPECT_DOUBLE_EQ(resizer.ScaleX(), 400.0 / 600.0);
    EXPECT_DOUBLE_EQ(resizer.ScaleY(), 300.0 / 450.0);
    // The 100-pixel list grows by half in every direction.
    EXPECT_EQ(f.list->geometry(), QRect(15, 15, 300, 150));
    // The 24-pixel button moves in proportion but keeps its height.
    EXPECT_EQ(f.button->geometry(), QRect(15, 300, 120, 24));

    // Back to the recorded size: the recorded rectangles come back.
    resizer.Resize(400, 300);
    EXPECT_EQ(f.list->geometry(), QRect(10, 10, 200, 100));
    EXPECT_EQ(f.button->geometry(), QRect(10, 200, 80, 24));
}

TEST(DialogResizer, CutsTowardZero) {
    ResizeFixture f;
    CDialogResizer resizer(&f.dialog);
    resizer.Record();
    resizer.Resize(401, 301);
    // 10 / (400/401) = 10.025 → 10; 210 / (400/401) = 210.5 → 210.
    EXPECT_EQ(f.list->geometry(), QRect(10, 10, 200, 100));
}

TEST(DialogResizer, ResizeBeforeRecordingDoesNothing) {
    ResizeFixture f;
    CDialogResizer resizer(&f.dialog);
    resizer.Resize(800, 600);
    EXPECT_FALSE(resizer.Recorded());
    EXPECT_EQ(f.list->geometry(), QRect(10, 10, 200, 100));
    EXPECT_EQ(f.button->geometry(), QRect(10, 200, 80, 24));
}

TEST(DialogResizer, ResizeToZeroIsIgnoredAndRecomputedAtTheNext) {
    ResizeFixture f;
    CDialogResizer resizer(&f.dialog);
    resizer.Record();
    resizer.Resize(0, 0);
    EXPECT_DOUBLE_EQ(resizer.ScaleX(), 1.0);
    EXPECT_EQ(f.list->geometry(), QRect(10, 10, 200, 100));
    resizer.Resize(800, 600);
    EXPECT_EQ(f.list->geometry(), QRect(20, 20, 400, 200));
    EXPECT_EQ(f.button->geometry(), QRect(20, 400, 160, 24));
}

TEST(DialogResizer, RecordingAgainDiscardsTheEarlierRecording) {
    ResizeFixture f;
    CDialogResizer resizer(&f.dialog);
    resizer.Record();
    f.dialog.resize(200, 150);
    f.list->setGeometry(0, 0, 100, 50);
    resizer.Record();
    EXPECT_EQ(resizer.InitialWidth(), 200);
    resizer.Resize(400, 300);
    EXPECT_EQ(f.list->geometry(), QRect(0, 0, 200, 100));
}

// --- a small dialog for the rest ----------------------------------------------

constexpr ControlInfo kTable[] = {
    {1011, nullptr, 2001}, {1012, "Das Quellverzeichnis", 2002},
    {1013, nullptr, 0},    {1, nullptr, 2003},
    {0, nullptr, 0},
};

class TestDialog : public CBaseDialog {
  public:
    explicit TestDialog(int id = 104, bool resizable = false) : CBaseDialog(id) {
        EnableResizing(resizable);
        name = new QLineEdit(this);
        SetControlId(name, 1011);
        name->setGeometry(DialogRect(10, 10, 100, 12));
        source = new QLineEdit(this);
        SetControlId(source, 1012);
        source->setGeometry(DialogRect(10, 30, 100, 12));
        notes = new QPlainTextEdit(this);
        SetControlId(notes, 1013);
        notes->setGeometry(DialogRect(10, 50, 100, 40));
        ok = new QPushButton(QStringLiteral("OK"), this);
        SetControlId(ok, 1);
        ok->setDefault(true);
        ok->setGeometry(DialogRect(130, 10, 50, 14));
        help = new QPushButton(QStringLiteral("Hilfe"), this);
        SetControlId(help, 1025);
        help->setAutoDefault(false);
        help->setGeometry(DialogRect(130, 30, 50, 14));
        SetDialogSize(200, 120);
        RegisterControls(kTable);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        connect(help, &QPushButton::clicked, this, [this] { ToggleHelpMode(); });
    }
    QLineEdit* name;
    QLineEdit* source;
    QPlainTextEdit* notes;
    QPushButton* ok;
    QPushButton* help;
};

void ShowAndActivate(QWidget& w) {
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
}

TEST(BaseDialog, ConstructionAndIds) {
    TestDialog dlg;
    EXPECT_EQ(dlg.HelpId(), 104);
    EXPECT_EQ(dlg.Refreshing, 0);
    EXPECT_FALSE(dlg.Help().IsOn());
    EXPECT_EQ(dlg.Help().LastControl(), 0);
    EXPECT_EQ(dlg.Control(1011), dlg.name);
    EXPECT_EQ(dlg.ControlAs<QLineEdit>(1012), dlg.source);
    EXPECT_EQ(dlg.ControlAs<QPushButton>(1012), nullptr);
    EXPECT_EQ(dlg.Control(4711), nullptr);
    EXPECT_EQ(ControlIdOf(dlg.ok), 1);
    EXPECT_EQ(dlg.HelpTopicOf(1012), 2002);
    EXPECT_EQ(dlg.HelpTopicOf(1013), 0);
    EXPECT_EQ(dlg.HelpTopicOf(4711), 0);
    // Tooltips from the control table.
    EXPECT_EQ(dlg.source->toolTip(), QStringLiteral("Das Quellverzeichnis"));
    EXPECT_TRUE(dlg.name->toolTip().isEmpty());
}

TEST(BaseDialog, DialogUnitsFollowTheFont) {
    TestDialog dlg;
    const QFontMetrics fm(dlg.font());
    const int avg = (fm.horizontalAdvance(
                         QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                         26 +
                     1) /
                    2;
    EXPECT_EQ(dlg.DialogRect(0, 0, 4, 8), QRect(0, 0, avg, fm.height()));
    EXPECT_EQ(dlg.DialogRect(0, 0, 400, 800).size(), QSize(avg * 100, fm.height() * 100));
    // A fixed-size dialog gets exactly the converted size.
    EXPECT_EQ(dlg.size(), QSize(dlg.DialogUnitsX(200), dlg.DialogUnitsY(120)));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());

    // A bigger font makes everything bigger in proportion.
    QFont big = dlg.font();
    big.setPointSizeF(big.pointSizeF() * 2);
    CBaseDialog other(103);
    other.setFont(big);
    EXPECT_GT(other.DialogUnitsX(100), dlg.DialogUnitsX(100));
    EXPECT_GT(other.DialogUnitsY(100), dlg.DialogUnitsY(100));
}

TEST(BaseDialog, ResizableDialogScalesItsLayout) {
    TestDialog dlg(102, true);
    const QRect notes = dlg.notes->geometry();
    const QRect ok = dlg.ok->geometry();
    ASSERT_GT(notes.height(), 30);
    ASSERT_LE(ok.height(), 30);
    ShowAndActivate(dlg);
    dlg.resize(dlg.width() * 2, dlg.height() * 2);
    QTest::qWait(10);
    // Within a pixel of doubling (recorded size is whatever the window got).
    EXPECT_NEAR(dlg.notes->width(), notes.width() * 2, 2);
    EXPECT_NEAR(dlg.notes->height(), notes.height() * 2, 2);
    EXPECT_EQ(dlg.ok->height(), ok.height());
    EXPECT_NEAR(dlg.ok->y(), ok.y() * 2, 2);
    EXPECT_NEAR(dlg.ok->x(), ok.x() * 2, 2);
}

TEST(BaseDialog, EnterMovesTheFocusLikeTab) {
    TestDialog dlg;
    QSignalSpy okClicks(dlg.ok, &QPushButton::clicked);
    ShowAndActivate(dlg);
    dlg.name->setFocus();
    ASSERT_TRUE(dlg.name->hasFocus());
    QTest::keyClick(dlg.name, Qt::Key_Return);
    EXPECT_TRUE(dlg.source->hasFocus());
    QTest::keyClick(dlg.source, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(dlg.notes->hasFocus());
    // In a multi-line editor Enter makes a new line.
    QTest::keyClicks(dlg.notes, QStringLiteral("a"));
    QTest::keyClick(dlg.notes, Qt::Key_Return);
    QTest::keyClicks(dlg.notes, QStringLiteral("b"));
    EXPECT_EQ(dlg.notes->toPlainText(), QStringLiteral("a\nb"));
    EXPECT_TRUE(dlg.notes->hasFocus());
    // Enter on the default button moves on and does not press it.
    dlg.ok->setFocus();
    QTest::keyClick(dlg.ok, Qt::Key_Return);
    EXPECT_EQ(okClicks.count(), 0);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(dlg.help->hasFocus());
    // Shift+Enter goes back.
    QTest::keyClick(dlg.help, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_TRUE(dlg.ok->hasFocus());
    // Space still presses a button.
    QTest::keyClick(dlg.ok, Qt::Key_Space);
    EXPECT_EQ(okClicks.count(), 1);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(BaseDialog, HelpModeShowsEachControlsPopupOncePerArrival) {
    TestDialog dlg;
    ShowAndActivate(dlg);
    ShownHelpPopups().clear();
    // Outside help mode nothing pops up.
    QTest::mouseMove(dlg.name);
    EXPECT_TRUE(ShownHelpPopups().empty());

    dlg.ToggleHelpMode();
    ASSERT_TRUE(dlg.Help().IsOn());
    EXPECT_EQ(dlg.Help().LastControl(), 0);
    EXPECT_EQ(dlg.cursor().shape(), Qt::WhatsThisCursor);
    EXPECT_EQ(dlg.name->cursor().shape(), Qt::WhatsThisCursor);

    QTest::mouseMove(dlg.name, QPoint(5, 5));
    ASSERT_EQ(ShownHelpPopups().size(), 1u);
    EXPECT_NE(ShownHelpPopups()[0].find("Projektname"), std::string::npos);
    EXPECT_EQ(dlg.Help().LastControl(), 1011);
    EXPECT_TRUE(HelpPopupVisible());
    // Resting on the same control does not repeat it.
    QTest::mouseMove(dlg.name, QPoint(8, 6));
    QTest::mouseMove(dlg.name, QPoint(12, 7));
    EXPECT_EQ(ShownHelpPopups().size(), 1u);
    // The next control shows its own.
    QTest::mouseMove(dlg.source, QPoint(5, 5));
    ASSERT_EQ(ShownHelpPopups().size(), 2u);
    EXPECT_NE(ShownHelpPopups()[1].find("Quellverzeichnis"), std::string::npos);
    // A control without a topic shows nothing but counts as an arrival.
    QTest::mouseMove(dlg.notes, QPoint(5, 5));
    EXPECT_EQ(ShownHelpPopups().size(), 2u);
    EXPECT_EQ(dlg.Help().LastControl(), 1013);
    // Back and forth shows again.
    QTest::mouseMove(dlg.name, QPoint(5, 5));
    EXPECT_EQ(ShownHelpPopups().size(), 3u);

    dlg.ToggleHelpMode();
    EXPECT_FALSE(dlg.Help().IsOn());
    EXPECT_EQ(dlg.Help().LastControl(), 0);
    EXPECT_FALSE(HelpPopupVisible());
    // The text cursor of the edit field is back.
    EXPECT_EQ(dlg.name->cursor().shape(), Qt::IBeamCursor);
    QTest::mouseMove(dlg.source, QPoint(5, 5));
    EXPECT_EQ(ShownHelpPopups().size(), 3u);
}

TEST(BaseDialog, HelpPopupOfAButtonStaysWhileThePointerRestsOnIt) {
    // A button ignores mouse moves and Qt hands them on to the dialog; that
    // must not count as the pointer leaving the button.
    TestDialog dlg;
    ShowAndActivate(dlg);
    ShownHelpPopups().clear();
    dlg.ToggleHelpMode();
    QTest::mouseMove(dlg.ok, QPoint(5, 5));
    QTest::mouseMove(dlg.ok, QPoint(9, 6));
    ASSERT_EQ(ShownHelpPopups().size(), 1u);
    EXPECT_EQ(dlg.Help().LastControl(), 1);
    EXPECT_TRUE(HelpPopupVisible());
}

TEST(BaseDialog, ButtonsWorkInHelpModeAndBackgroundClickLeavesIt) {
    TestDialog dlg;
    ShowAndActivate(dlg);
    QSignalSpy helpClicks(dlg.help, &QPushButton::clicked);
    QTest::mouseClick(dlg.help, Qt::LeftButton);  // ToggleHelpMode
    EXPECT_EQ(helpClicks.count(), 1);
    EXPECT_TRUE(dlg.Help().IsOn());
    // A click on the background leaves help mode.
    QTest::mouseClick(&dlg, Qt::LeftButton, Qt::NoModifier,
                      QPoint(dlg.width() - 3, dlg.height() - 3));
    EXPECT_FALSE(dlg.Help().IsOn());
    EXPECT_EQ(dlg.cursor().shape(), Qt::ArrowCursor);
    // Leaving help mode outside it does nothing.
    dlg.LeaveHelpMode();
    EXPECT_FALSE(dlg.Help().IsOn());
    // A button press in help mode runs its command.
    dlg.ToggleHelpMode();
    QTest::mouseClick(dlg.ok, Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.Help().IsOn());  // closing leaves help mode
}

TEST(BaseDialog, ClosingLeavesHelpMode) {
    TestDialog dlg;
    ShowAndActivate(dlg);
    dlg.ToggleHelpMode();
    dlg.close();
    EXPECT_FALSE(dlg.Help().IsOn());
    EXPECT_EQ(dlg.Help().LastControl(), 0);
}

TEST(BaseDialog, F1ShowsTheDialogsTopic) {
    {
        TestDialog dlg(104);
        ShowAndActivate(dlg);
        QTest::keyClick(dlg.name, Qt::Key_F1);
        EXPECT_TRUE(HelpWindowVisible());
        EXPECT_EQ(HelpWindowAnchor(), QStringLiteral("topic-20000"));
    }
    {
        TestDialog dlg(103);
        ShowAndActivate(dlg);
        QTest::keyClick(dlg.name, Qt::Key_F1);
        EXPECT_EQ(HelpWindowAnchor(), QStringLiteral("topic-0"));
    }
}

// Counts the events its filter is handed for widgets of other windows.
class WatchingDialog : public TestDialog {
  public:
    int foreignEvents = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->window() != this) {
            ++foreignEvents;
        }
        return TestDialog::eventFilter(watched, event);
    }
};

TEST(BaseDialog, FiltersItsOwnWidgetsOnlyAndThoseAddedLater) {
    WatchingDialog dlg;
    // A field inside a frame, added after construction, and a group of
    // widgets built elsewhere and moved in whole.
    auto* frame = new QGroupBox(&dlg);
    frame->setGeometry(dlg.DialogRect(10, 95, 100, 20));
    auto* framed = new QLineEdit(frame);
    auto* group = new QWidget;
    auto* moved = new QLineEdit(group);
    group->setParent(&dlg);
    group->setGeometry(dlg.DialogRect(130, 50, 50, 14));
    QLineEdit otherWindow;
    otherWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&otherWindow));
    ShowAndActivate(dlg);

    QTest::keyClick(framed, Qt::Key_F1);
    EXPECT_TRUE(HelpWindowVisible());
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    moved->setFocus();
    QTest::keyClick(moved, Qt::Key_Return);
    EXPECT_FALSE(moved->hasFocus());
    EXPECT_TRUE(dlg.isVisible());

    dlg.foreignEvents = 0;
    otherWindow.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&otherWindow));
    QTest::keyClicks(&otherWindow, QStringLiteral("abc"));
    QTest::mouseMove(&otherWindow, QPoint(5, 5));
    EXPECT_EQ(otherWindow.text(), QStringLiteral("abc"));
    EXPECT_EQ(dlg.foreignEvents, 0);
}

// A settings dialog in miniature: a field, then the standard buttons; it
// counts OK commands and rejections.
class ButtonsDialog : public CBaseDialog {
  public:
    ButtonsDialog() : CBaseDialog(104) {
        field = new QLineEdit(this);
        SetControlId(field, 1011);
        field->setGeometry(DialogRect(7, 7, 100, 12));
        CreateOkCancelHelpButtons(DialogRect(120, 7, 50, 14), DialogRect(120, 24, 50, 14),
                                  DialogRect(120, 50, 20, 16), [this] { ++oks; });
        SetDialogSize(180, 80);
    }
    void reject() override {
        ++rejects;
        CBaseDialog::reject();
    }
    QLineEdit* field;
    int oks = 0;
    int rejects = 0;
};

TEST(BaseDialog, StandardButtonsFollowTheFieldsAndReachTheDialogsOwnCommands) {
    ButtonsDialog dlg;
    auto* ok = dlg.ControlAs<QPushButton>(CBaseDialog::kOkId);
    auto* cancel = dlg.ControlAs<QPushButton>(CBaseDialog::kCancelId);
    auto* help = dlg.ControlAs<QPushButton>(CBaseDialog::kHelpModeId);
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(cancel, nullptr);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(cancel->text(), QStringLiteral("Abbruch"));
    EXPECT_FALSE(cancel->isDefault());
    EXPECT_EQ(help->accessibleName(), QStringLiteral("Hilfemodus"));
    // No application, so no help icon: the button still says what it does.
    EXPECT_EQ(help->text(), QStringLiteral("?"));
    // Tab order: the fields, then OK, Cancel, help.
    EXPECT_EQ(dlg.field->nextInFocusChain(), ok);
    EXPECT_EQ(ok->nextInFocusChain(), cancel);
    EXPECT_EQ(cancel->nextInFocusChain(), help);

    ShowAndActivate(dlg);
    QTest::mouseClick(help, Qt::LeftButton);
    EXPECT_TRUE(dlg.Help().IsOn());
    // OK runs the dialog's own command, which decides whether to close.
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(dlg.oks, 1);
    EXPECT_TRUE(dlg.isVisible());
    // Cancel reaches a dialog's own reject().
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_EQ(dlg.rejects, 1);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.Help().IsOn());
}

TEST(BaseDialog, IconButtons) {
    TestDialog dlg;
    CIconImageList images;
    std::vector<int> iconSlots;
    dlg.SetImageList(&images, &iconSlots);
    dlg.AddIcon(9, 135);
    dlg.AddIcon(7, 132);
    ASSERT_EQ(iconSlots.size(), 10u);
    EXPECT_EQ(iconSlots[9], 0);
    EXPECT_EQ(iconSlots[7], 1);
    EXPECT_EQ(iconSlots[0], -1);
    dlg.AddIcon(3, 999);  // no such icon: slot unchanged
    EXPECT_EQ(iconSlots[3], -1);
    EXPECT_EQ(images.Count(), 2);
    dlg.SetButtonIcon(dlg.help, 7);
    EXPECT_FALSE(dlg.help->icon().isNull());
    EXPECT_TRUE(dlg.help->text().isEmpty());
    EXPECT_EQ(dlg.help->accessibleName(), QStringLiteral("Hilfe"));
    // An empty slot leaves the caption.
    dlg.SetButtonIcon(dlg.ok, 3);
    EXPECT_EQ(dlg.ok->text(), QStringLiteral("OK"));
}

}  // namespace
}  // namespace pellandrix::ui
