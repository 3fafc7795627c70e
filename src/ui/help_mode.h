#pragma once

#include <QCursor>
#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QWidget;

namespace pellandrix::ui {

// The control id a dialog gave `w` (its "controlId" property); 0 for none.
int ControlIdOf(const QWidget* w);

// Help mode of one dialog: while it is on, the pointer shows the help
// cursor and each control the pointer arrives at shows its popup help once;
// a key press or a click hides the popup. It watches the dialog's widgets
// through an event filter of its own, installed when help mode starts (and
// on widgets added while it lasts) and removed when it ends, so the dialog's
// other event handling never depends on it.
//
// A control is a widget with a "controlId" property; the nearest one at or
// above the widget under the pointer counts (a list view's viewport belongs
// to the list view), 0 standing for the dialog itself.
class CHelpMode : public QObject {
  public:
    // Shows the popup help of control `id` at `control`.
    using ShowHelp = std::function<void(int id, QWidget* control)>;

    // Belongs to `dialog`, which must outlive it (make it a child).
    CHelpMode(QWidget& dialog, ShowHelp show);
    ~CHelpMode() override;

    bool IsOn() const { return on_; }
    // Id of the control whose help was shown last (0 for none).
    int LastControl() const { return lastControl_; }

    // On when off, off when on; either way no control's help counts as shown.
    void Toggle();
    // Off, hiding the popup; nothing when already off.
    void Leave();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Start();
    void Watch(QWidget* widget);
    void Restore();
    void PointerAt(const QPoint& global);

    QWidget& dialog_;
    ShowHelp show_;
    bool on_ = false;
    int lastControl_ = 0;
    // Per-widget pointer and mouse tracking changed by help mode, restored
    // when it ends.
    struct SavedPointer {
        QPointer<QWidget> widget;
        bool hadCursor;
        QCursor cursor;
        bool hadTracking;
    };
    std::vector<SavedPointer> saved_;
};

}  // namespace pellandrix::ui
