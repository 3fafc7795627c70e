#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest/QtTest>

#include <string>

#include "control_text.h"
#include "testkit/files.h"
#include "testkit/recording_presenter.h"
#include "testkit/temp_dir.h"
#include "ui/base_dialog.h"
#include "ui/pellandrix_app.h"

namespace pellandrix::ui::testing {

// A started application in a fresh temporary folder that is the current
// directory for the object's lifetime. `extensions` is written as
// fileext.def first, unless it is null (no file at all).
class StartedApp {
  public:
    explicit StartedApp(const char* extensions = "htm\r\nhtml\r\nphp\r\n") {
        if (extensions != nullptr) {
            testkit::WriteBytes(dir_ / "fileext.def", extensions);
        }
        started_ = app_.StartUp() == 0;
        // The main window loads the help icon when it opens; the dialogs
        // only show it.
        CBaseDialog loader(0);
        loader.SetImageList(&app_.ImageList(), &app_.IconSlots());
        loader.AddIcon(kHelpIconSlot, kHelpIconResource);
    }
    ~StartedApp() { app_.ShutDown(); }
    StartedApp(const StartedApp&) = delete;
    StartedApp& operator=(const StartedApp&) = delete;

    bool Started() const { return started_; }
    const testkit::TempDir& Dir() const { return dir_; }
    const testkit::RecordingPresenter& Presenter() const { return presenter_; }

  private:
    testkit::TempDir dir_;
    testkit::ScopedCurrentDir cd_{dir_.Path()};
    testkit::RecordingPresenter presenter_;
    CPellandrixApp app_{presenter_};
    bool started_ = false;
};

// Shows `dialog` and waits until it has the keyboard focus, so that key
// clicks reach its focus widget as they would for a user.
inline bool ShowActive(QWidget& dialog) {
    dialog.show();
    dialog.activateWindow();
    return QTest::qWaitForWindowActive(&dialog);
}

// Texts of every entry of `combo`, in order.
inline QStringList ComboTexts(const QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) {
        texts << combo->itemText(i);
    }
    return texts;
}

// Every control a user can reach has a name a screen reader can say: its
// caption or its accessible name. Returns the object names of those that
// have neither.
inline QStringList UnnamedControls(const QWidget& dialog) {
    QStringList unnamed;
    for (const QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->focusPolicy() == Qt::NoFocus) {
            continue;
        }
        const auto* button = qobject_cast<const QAbstractButton*>(w);
        const bool captioned = button != nullptr && !button->text().trimmed().isEmpty() &&
                               button->text() != QStringLiteral(". . .");
        if (!captioned && w->accessibleName().isEmpty()) {
            unnamed << w->objectName();
        }
    }
    return unnamed;
}

// Labels, check boxes and push buttons whose caption does not fit their
// width at the dialog's font: their object names, or their texts when
// unnamed. A push button is measured by its text alone, since styles give
// buttons a minimum width that small ones need not have.
inline QStringList ClippedCaptions(const QWidget& dialog) {
    QStringList clipped;
    for (const QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        int needed = 0;
        if (const auto* push = qobject_cast<const QPushButton*>(w)) {
            needed = push->fontMetrics().size(0, push->text()).width() + 6;
        } else if (qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w)) {
            needed = w->sizeHint().width();
        }
        if (needed > w->width()) {
            const auto* label = qobject_cast<const QLabel*>(w);
            clipped << (label != nullptr ? label->text() : w->objectName());
        }
    }
    return clipped;
}

}  // namespace pellandrix::ui::testing
