#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QMenu;
class QPoint;

namespace pellandrix {
class CTplFileRecord;
struct LaunchCommand;
}  // namespace pellandrix

namespace pellandrix::ui {

class CFileListView;

// The context menu of the main window's file list. A right click on a row,
// or the keyboard's menu key or Shift+F10 on the current row, opens it for
// that row; every entry then acts on that row. It starts with three
// entries, each disabled when what it opens is not there:
//   "Seite im Browser öffnen"  the generated page, in the user's browser;
//   "Vorlage bearbeiten"       the template, in the user's text editor;
//   "Zielordner öffnen"        the target folder, in the file manager.
// A program that cannot be started is reported (message 52). Other code
// adds its own entries with AddAction.
class CFileListMenu : public QObject {
    Q_OBJECT

  public:
    // Whether an entry can be chosen for a row; what choosing it does.
    using RowCheck = std::function<bool(int row)>;
    using RowAction = std::function<void(int row)>;
    // The template file a row shows, or null.
    using EntryAt = std::function<const CTplFileRecord*(int row)>;

    // Attaches the menu to `list`, which owns it from then on (make it
    // with new).
    CFileListMenu(CFileListView& list, EntryAt entryAt);

    // Adds an entry below the others. `text` is its caption and accessible
    // name (an "&" marks its shortcut letter); before every opening
    // `enabled(row)` decides whether it can be chosen; choosing it calls
    // `run(row)`. The returned action belongs to the menu.
    QAction* AddAction(const QString& text, RowCheck enabled, RowAction run);

    // Adds a line between the entries so far and the next group.
    void AddSeparator();

    // Opens the menu for `row` at `globalPos` without waiting for a choice.
    // Nothing happens for a row the list does not have.
    void OpenFor(int row, const QPoint& globalPos);

    // The menu widget; a child of the list.
    QMenu& Menu() { return *menu_; }
    // The row the menu was last opened for; -1 before.
    int Row() const { return row_; }

    static constexpr const char* kOpenPage = "Seite im &Browser öffnen";
    static constexpr const char* kEditTemplate = "&Vorlage bearbeiten";
    static constexpr const char* kOpenTarget = "&Zielordner öffnen";

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void AddOpeningEntries();
    // Starts `command` for `what`; message 52 when it cannot.
    void Start(const LaunchCommand& command, const std::string& what);

    CFileListView& list_;
    EntryAt entryAt_;
    QMenu* menu_;
    std::vector<std::pair<QAction*, RowCheck>> checks_;
    int row_ = -1;
};

}  // namespace pellandrix::ui
