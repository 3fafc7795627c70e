#include "ui/file_list_menu.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include <filesystem>

#include "app/open_commands.h"
#include "store/database_location.h"
#include "ui/desktop_launcher.h"
#include "ui/file_list_view.h"
#include "ui/pellandrix_app.h"

namespace pellandrix::ui {

namespace {

bool IsFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

}  // namespace

CFileListMenu::CFileListMenu(CFileListView& list, EntryAt entryAt)
    : QObject(&list), list_(list), entryAt_(std::move(entryAt)), menu_(new QMenu(&list)) {
    menu_->setAccessibleName(QStringLiteral("Dateiaktionen"));
    list.installEventFilter(this);
    list.viewport()->installEventFilter(this);
    AddOpeningEntries();
}

QAction* CFileListMenu::AddAction(const QString& text, RowCheck enabled, RowAction run) {
    QAction* action = menu_->addAction(text);
    connect(action, &QAction::triggered, this, [this, run = std::move(run)] { run(row_); });
    checks_.emplace_back(action, std::move(enabled));
    return action;
}

void CFileListMenu::AddSeparator() {
    menu_->addSeparator();
}

void CFileListMenu::AddOpeningEntries() {
    // The places are worked out afresh at each opening and each choice:
    // the entry's settings or the files may have changed in between.
    auto places = [this](int row) {
        const CTplFileRecord* entry = entryAt_(row);
        return entry != nullptr ? PlacesOf(*entry, CurrentDirectory()) : EntryPlaces{};
    };
    AddAction(
        QString::fromUtf8(kOpenPage), [places](int row) { return IsFile(places(row).page); },
        [this, places](int row) {
            const std::string page = places(row).page;
            Start(BrowserCommand(AskDesktop(true, false), page), page);
        });
    AddAction(
        QString::fromUtf8(kEditTemplate),
        [places](int row) { return IsFile(places(row).templateFile); },
        [this, places](int row) {
            const std::string file = places(row).templateFile;
            Start(EditorCommand(AskDesktop(false, true), file), file);
        });
    AddAction(
        QString::fromUtf8(kOpenTarget),
        [places](int row) { return IsFolder(places(row).targetFolder); },
        [this, places](int row) {
            const std::string folder = places(row).targetFolder;
            Start(FolderCommand(folder), folder);
        });
}

void CFileListMenu::Start(const LaunchCommand& command, const std::string& what) {
    if (!StartDetached(command) && App() != nullptr) {
        App()->Core().Messages().ShowError(MessageId::kCannotStartProgram, command.program, what);
    }
}

void CFileListMenu::OpenFor(int row, const QPoint& globalPos) {
    if (row < 0 || row >= list_.RowCount()) {
        return;
    }
    row_ = row;
    for (const auto& [action, enabled] : checks_) {
        action->setEnabled(enabled(row));
    }
    menu_->popup(globalPos);
}

bool CFileListMenu::eventFilter(QObject* watched, QEvent* event) {
    QPoint globalPos;
    int row = -1;
    if (event->type() == QEvent::ContextMenu) {
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        if (menuEvent->reason() == QContextMenuEvent::Mouse) {
            globalPos = menuEvent->globalPos();
            row = list_.indexAt(list_.viewport()->mapFromGlobal(globalPos)).row();
            // The file commands act on the selection mark; after a right
            // click they act on the row the menu was opened for.
            list_.SetSelectionMark(row);
        } else {
            row = list_.SelectionMark();
        }
    } else if (event->type() == QEvent::KeyPress && watched == &list_) {
        // Some platforms turn these keys into a context-menu event of their
        // own, others leave them to the widget.
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool menuKey = key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier;
        const bool shiftF10 = key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
        if (!menuKey && !shiftF10) {
            return false;
        }
        row = list_.SelectionMark();
    } else {
        return false;
    }
    if (row >= 0 && globalPos.isNull()) {
        // From the keyboard: below the current row's name.
        const QRect rect = list_.visualRect(list_.model()->index(row, 0));
        globalPos = list_.viewport()->mapToGlobal(rect.bottomLeft());
    }
    OpenFor(row, globalPos);
    return true;
}

}  // namespace pellandrix::ui
