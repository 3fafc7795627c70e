#include "ui/main_dlg.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QProgressBar>
#include <QResizeEvent>
#include <QTreeWidgetItem>

#include <algorithm>
#include <exception>

#include "app/live_preview.h"
#include "app/open_commands.h"
#include "engine/run_status.h"
#include "store/dao_exception.h"
#include "store/database_location.h"
#include "ui/auto_build.h"
#include "ui/file_list_view.h"
#include "ui/file_settings_dlg.h"
#include "ui/main_window_projects.h"
#include "ui/messages_window.h"
#include "ui/pellandrix_app.h"
#include "ui/row_marks.h"

namespace pellandrix::ui {

namespace {

CAppCore& Core() {
    return App()->Core();
}

CProjectSession& Session() {
    return App()->Session();
}

// Longest project name the box can show (CProjectRecord::ProjectName).
constexpr std::size_t kProjectNameChars = decltype(CProjectRecord::ProjectName)::kMaxLength;

}  // namespace

int CMainDlg::RefreshFileList() {
    if (!initialised_) {
        return 0;
    }
    Refreshing = 1;
    Session().NumberRows();
    int row = 0;
    for (const CTplFileRecord& entry : Session().Files().Records()) {
        if (!entry.Deleted) {
            ShowEntryRow(entry, row++);
        }
    }
    fileList_->TruncateRows(row);
    Refreshing = 0;
    return 1;
}

void CMainDlg::ShowEntryRow(const CTplFileRecord& entry, int row) {
    // Rows are rewritten in place rather than deleted and inserted, so the
    // selection and the scroll position survive a refresh.
    fileList_->SetRowName(row, entry.TPLFileName.str());
    ShowRowStatus(entry, row);
    fileList_->SetCellText(row, 2, entry.CreateFile ? "X" : "");
    fileList_->SetCellText(row, 3, entry.CreateFile ? entry.CreateFileExt.str() : "");
    fileList_->SetRowChecked(row, entry.Selected != 0);
}

void CMainDlg::ShowRowStatus(const CTplFileRecord& entry, int row) {
    fileList_->SetCellText(row, 1, RunStatusText(entry.RunStatus));
    QTreeWidgetItem& item = *fileList_->topLevelItem(row);
    if (entry.RunStatus == static_cast<int>(RunStatus::Failed)) {
        QString why =
            messages_->MessagesOfTemplate(PlacesOf(entry, CurrentDirectory()).templateFile);
        if (why.isEmpty()) {
            why = QStringLiteral(
                "Fehler: die Meldungen des Laufs stehen im Fenster "
                "„Meldungen“ (Strg+M).");
        }
        MarkErrorRow(item, *fileList_, why);
    } else if (entry.RunStatus == static_cast<int>(RunStatus::Unchanged)) {
        MarkQuietRow(item, *fileList_);
    } else {
        ClearRowMarks(item);
    }
}

void CMainDlg::ShowAutoState() {
    const bool waiting = autoBuild_ != nullptr && autoBuild_->IsOn() && !running_;
    QString text = waiting ? QStringLiteral("automatisch – wartet") : QString();
    const std::string address = preview_ != nullptr ? preview_->Address() : std::string();
    if (waiting && !address.empty()) {
        text += QStringLiteral(", ") +
                QString::fromStdString(FormatMessage(MessageId::kPreviewAddress, address, {}));
    }
    progress_->setFormat(text);
    progress_->setTextVisible(waiting);
    // Also while a run goes, when the field shows no text, and for a
    // screen reader, which reads the field's value, not its text.
    progress_->setToolTip(QString::fromStdString(address));
    progress_->setAccessibleDescription(progress_->toolTip());
}

void CMainDlg::UpdateButtons() {
    const bool project = ProjectIdFromCombo(*projectBox_, Session().Projects()) != 0;
    for (QAbstractButton* button : {deleteProject_, projectSettings_, addFiles_, removeFile_}) {
        button->setEnabled(project);
    }
    const bool files = Session().Files().CountLive() > 0;
    createFiles_->setEnabled(files);
    selectAll_->setEnabled(files);
}

int CMainDlg::ChangeProject() {
    if (!Session().SwitchTo(ComboText(*projectBox_, kProjectNameChars))) {
        return 0;
    }
    ShowCurrentProject();
    return 1;
}

void CMainDlg::ShowCurrentProject() {
    // Another project: the pages served belonged to the one left.
    if (preview_ != nullptr) {
        StopPreview();
    }
    fileList_->TruncateRows(0);
    UpdateButtons();
    RefreshFileList();
    if (autoBuild_ != nullptr) {
        RestoreAutoBuild();
    }
}

CProjectRecord* CMainDlg::CurrentProject() const {
    return Session().Current();
}

void CMainDlg::OpenFileSettings() {
    LeaveHelpMode();
    const int row = fileList_->SelectionMark();
    CTplFileRecord* entry = EntryAtSelectionMark();
    if (entry == nullptr || CurrentProject() == nullptr) {
        return;
    }
    CFileSettingsDlg dialog(*CurrentProject(), *entry, this);
    // The dialog writes the entry back itself, or marks an unconfirmed one
    // deleted, so its result needs no handling here.
    dialog.exec();
    RefreshFileList();
    fileList_->SetSelectionMark(row);
}

CTplFileRecord* CMainDlg::EntryAtSelectionMark() const {
    const int row = fileList_->SelectionMark();
    return row < 0 ? nullptr : Session().EntryAtRow(row);
}

void CMainDlg::FillProjectBox() {
    FillProjectCombo(*projectBox_, Session().Projects());
}

bool CMainDlg::RunCommand(const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const CDaoException& e) {
        Core().Messages().ShowError(MessageId::kDatabaseError, e.Message());
    } catch (const std::exception& e) {
        Core().Messages().ShowError(MessageId::kUnexpectedError, e.what());
    }
    return false;
}

// --- the generation run's view ---------------------------------------------

void CMainDlg::RefreshRowStatus(int row) {
    const CTplFileRecord* entry = Session().Files().FindByListRow(row);
    if (entry == nullptr) {
        return;
    }
    const int wasRefreshing = Refreshing;
    Refreshing = 1;
    ShowRowStatus(*entry, row);
    fileList_->SetRowChecked(row, entry->Selected != 0);
    Refreshing = wasRefreshing;
    FollowRun();
}

void CMainDlg::UpdateFirstItem() {
    fileList_->viewport()->update();
    FollowRun();
}

void CMainDlg::SetProgressRange(int lowest, int highest) {
    progress_->setRange(lowest, highest);
    FollowRun();
}

void CMainDlg::SetProgressPos(int position) {
    // The run counts past the range on purpose: below it shows empty, above
    // it full. The bar itself ignores values outside its range.
    progress_->setValue(std::clamp(position, progress_->minimum(), progress_->maximum()));
    FollowRun();
}

void CMainDlg::RefreshButtons() {
    UpdateButtons();
}

void CMainDlg::FollowRun() {
    // The run keeps the user-interface thread; painting (and nothing the
    // user types or clicks) is let through so the window shows its progress.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// --- window events ---------------------------------------------------------

void CMainDlg::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    if (!RunCommand([this] { AskSaveOnClose(); })) {
        // The save failed and the user was told so; closing now would lose
        // the changes the save was meant to keep.
        event->ignore();
        return;
    }
    // QDialog's close event ends the dialog through reject(), which must
    // not turn into another close.
    closing_ = true;
    CBaseDialog::closeEvent(event);
    closing_ = false;
}

void CMainDlg::reject() {
    if (closing_) {
        CBaseDialog::reject();
        return;
    }
    close();
}

void CMainDlg::resizeEvent(QResizeEvent* event) {
    CBaseDialog::resizeEvent(event);
    const int clientWidth = event->size().width();
    if (initialClientWidth_ > 0 && clientWidth > 0) {
        fileList_->ScaleColumns(static_cast<double>(clientWidth) / initialClientWidth_);
    }
}

}  // namespace pellandrix::ui
