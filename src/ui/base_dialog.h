#pragma once

#include <QDialog>
#include <QPointer>
#include <QRect>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "ui/dialog_resizer.h"
#include "ui/help_mode.h"

class QAbstractButton;
class QPushButton;

namespace pellandrix::ui {

class CIconImageList;

// One row of a dialog's control table. A table is a constant array of rows
// ending with a row whose control id is 0.
struct ControlInfo {
    int controlId;
    const char* tooltip;  // null: no tooltip
    int helpTopic;        // 0: no popup help
};

// The base of every dialog of the program: control ids on the
// widgets, the control table with tooltips and help topics, the recorded
// proportional layout, help mode (a CHelpMode of its own), icon buttons from
// the application's image list, Enter moving the focus like Tab, and F1
// help. A dialog keeps typed pointers to the controls it works with; the
// ids serve the control table, help mode and tests.
//
// How a dialog uses it:
//   1. construct its widgets as children of the dialog, give each its id with
//      SetControlId and its place with setGeometry(DialogRect(...));
//   2. SetDialogSize(w, h) in dialog units (EnableResizing(true) first for a
//      resizable window: only the main window scales its layout);
//   3. RegisterControls(table) once all controls exist and are placed;
//   4. SetImageList(&App()->ImageList(), &App()->IconSlots()) and
//      SetButtonIcon(button, slot) for icon buttons.
class CBaseDialog : public QDialog {
    Q_OBJECT

  public:
    // With a parent the dialog is modal to its parent's window only, so a
    // window of its own (the help window) stays usable while it runs;
    // without one it is modal to the whole application.
    explicit CBaseDialog(int resourceId, QWidget* parent = nullptr);
    ~CBaseDialog() override;

    // Control ids of the standard buttons: OK, Cancel and the help-mode
    // button.
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kHelpModeId = 1025;

    // The dialog's resource id (102, 103, 104, 105, 136): its F1 help id.
    int HelpId() const { return helpId_; }

    // Set by a dialog while it fills its controls; notifications arriving
    // meanwhile are ignored by the dialog.
    int Refreshing = 0;
    // The dialog's help mode.
    CHelpMode& Help() const { return *help_; }

    // --- control ids ------------------------------------------------------
    // Gives `w` the control id `id` (stored as the widget's property
    // "controlId" too, which ControlIdOf reads, and as its objectName "ctl<id>" when it has none).
    void SetControlId(QWidget* w, int id);
    // The widget with control id `id`, or null.
    QWidget* Control(int id) const;
    template <class T>
    T* ControlAs(int id) const {
        return qobject_cast<T*>(Control(id));
    }

    // --- dialog units ------------------------------------------------------
    // A rectangle in dialog units converted to pixels with the dialog's font:
    // horizontal unit = average character width / 4, vertical unit =
    // character height / 8 (the Windows rule).
    QRect DialogRect(int x, int y, int w, int h) const;
    int DialogUnitsX(int x) const;
    int DialogUnitsY(int y) const;
    // Sets the client size from dialog units; fixed unless resizing is on.
    void SetDialogSize(int w, int h);
    // Only the main window scales its layout on resize; the other dialogs
    // have a fixed size (the default).
    void EnableResizing(bool enable);
    bool ResizingEnabled() const { return resizing_; }

    // --- control table, layout ----------------------------------------------
    // Sets the tooltips of the table's rows, remembers the table for help
    // mode, and records the layout. Call after all controls are created and
    // placed, and after SetDialogSize.
    void RegisterControls(const ControlInfo* table);
    const ControlInfo* ControlTable() const { return table_; }
    // Help topic of `controlId` in the control table (0 when none).
    int HelpTopicOf(int controlId) const;
    CDialogResizer& Resizer() { return resizer_; }

    // --- icons ----------------------------------------------------------
    void SetImageList(CIconImageList* list, std::vector<int>* iconSlots);
    // Loads icon resource `iconResourceId` (128 application, 132 help, 135
    // information), appends it to the image list and stores its index in
    // `slot`. An icon that cannot be loaded leaves the slot unchanged.
    void AddIcon(int slot, int iconResourceId);
    // Shows the image of `slot` on `button` instead of its caption (the
    // caption stays as accessible name and tooltip).
    void SetButtonIcon(QAbstractButton* button, int slot);

    // --- help -----------------------------------------------------------
    void ToggleHelpMode() { help_->Toggle(); }
    void LeaveHelpMode() { help_->Leave(); }
    // Shows the popup help of one control: its topic from the control table,
    // nothing when the id or the topic is 0.
    virtual void ShowControlHelp(int controlId, QWidget* control);
    // F1: the help topic of HelpId() (App()->WinHelp(0x20000 + HelpId())).
    void ShowDialogHelp();

  protected:
    // Creates the buttons of a settings dialog at `ok`, `cancel` and `help`
    // (pixels, as DialogRect gives them), in this order, which is their tab
    // order:
    //   "OK", id kOkId, the default button; a click runs `onOk`;
    //   "Abbruch", id kCancelId; a click calls reject();
    //   the help-mode button, id kHelpModeId, accessible name "Hilfemodus";
    //   a click calls ToggleHelpMode(). It shows the help icon of App()'s
    //   image list, or a question mark when that has none (or without App()).
    struct StandardButtons {
        QPushButton* ok;
        QPushButton* cancel;
        QPushButton* help;
    };
    StandardButtons CreateOkCancelHelpButtons(const QRect& ok, const QRect& cancel,
                                              const QRect& help, std::function<void()> onOk);

    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

  private:
    // Installs the event filter on `object` and its children when it is a
    // widget of this dialog's window.
    void WatchWidget(QObject* object);

    int helpId_;
    bool resizing_ = false;
    const ControlInfo* table_ = nullptr;
    CIconImageList* imageList_ = nullptr;
    std::vector<int>* iconSlots_ = nullptr;
    CDialogResizer resizer_;
    std::map<int, QPointer<QWidget>> controls_;
    CHelpMode* help_;  // a child of the dialog
};

}  // namespace pellandrix::ui
