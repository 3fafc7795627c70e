// Construction of the main window: its controls in dialog units, the
// control table, and the first filling from the project list.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "app/live_preview.h"
#include "app/remembered_choices.h"
#include "ui/auto_build.h"
#include "ui/desktop_launcher.h"
#include "ui/file_list_menu.h"
#include "ui/file_list_view.h"
#include "ui/icon_image_list.h"
#include "ui/main_dlg.h"
#include "ui/main_window_button.h"
#include "ui/messages_window.h"
#include "ui/pellandrix_app.h"

namespace pellandrix::ui {

namespace {

// Help topics and tooltips of the window's controls, in table order.
constexpr ControlInfo kControlTable[] = {
    {CMainDlg::kFileList, nullptr, 1001},
    {CMainDlg::kProjectBox, nullptr, 1002},
    {CMainDlg::kNewProject, nullptr, 1003},
    {CMainDlg::kDeleteProject, nullptr, 1004},
    {CMainDlg::kProjectSettings, nullptr, 1005},
    {CMainDlg::kAddFiles, nullptr, 1006},
    {CMainDlg::kRemoveFile, nullptr, 1007},
    {CMainDlg::kFileSettings, nullptr, 1008},
    {CMainDlg::kSelectAll, nullptr, 1009},
    {CMainDlg::kCreateFiles, nullptr, 1010},
    {CMainDlg::kAbout, "Informationen zur Version", 0},
    {CMainDlg::kHelpMode, nullptr, 0},
    {0, nullptr, 0},
};

// Start widths of the file-list columns, in pixels of the classic dialog
// font, whose horizontal dialog unit is 1.5 pixels. They are converted
// through dialog units so that the columns keep their share of the list
// on any font.
constexpr std::array<int, CFileListView::kColumnCount> kColumnPixels = {180, 85, 50, 70};
constexpr double kClassicPixelsPerUnit = 1.5;

// A menu entry that stands for a window-wide action shows its shortcut. The
// entry reacts to it only while its own menu is open, where it does the same.
void ShortcutHint(QAction& entry, const QKeySequence& keys) {
    entry.setShortcut(keys);
    entry.setShortcutContext(Qt::WidgetShortcut);
}

// Shift+F10 opens a button's context menu, as the menu key does; X11 turns
// only the latter into a context-menu event.
void OpenMenuOnShiftF10(QAbstractButton& button) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), &button);
    shortcut->setContext(Qt::WidgetShortcut);
    QObject::connect(shortcut, &QShortcut::activated, &button, [&button] {
        const QPoint at(button.width() / 2, button.height() / 2);
        QContextMenuEvent event(QContextMenuEvent::Keyboard, at, button.mapToGlobal(at));
        QCoreApplication::sendEvent(&button, &event);
    });
}

}  // namespace

CMainDlg::CMainDlg(QWidget* parent) : CBaseDialog(kResourceId, parent) {
    setWindowTitle(QStringLiteral("Pellandrix"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    // Run modally, yet modal to its own window only: it belongs to no
    // other, so it blocks nothing, and the help window stays usable.
    setWindowModality(Qt::WindowModal);
    EnableResizing(true);
    SetDialogSize(346, 289);
    CreateControls();
    RegisterControls(kControlTable);

    SetImageList(&App()->ImageList(), &App()->IconSlots());
    AddIcon(kInformationIconSlot, kInformationIconResource);
    AddIcon(kHelpIconSlot, kHelpIconResource);
    initialised_ = 1;
    setWindowIcon(LoadIconResource(kAppIconResource));
    SetButtonIcon(helpMode_, kHelpIconSlot);
    SetButtonIcon(about_, kInformationIconSlot);

    InitialiseContents();
    SetReadableMinimumSize();
    projectBox_->setFocus();
}

CMainDlg::~CMainDlg() {
    if (App() != nullptr && App()->MainWindow() == this) {
        App()->SetMainWindow(nullptr);
    }
}

void CMainDlg::CreateControls() {
    // Creation order is the tab order: project row, file list, file
    // commands, bottom row.
    CreateProjectRow();
    CreateFileArea();
    CreateBottomRow();
    ConnectCommands();
}

void CMainDlg::CreateProjectRow() {
    auto* frame = new QGroupBox(this);
    frame->setGeometry(DialogRect(7, 3, 332, 33));
    frame->setAccessibleName(QStringLiteral("Projekt"));

    projectBox_ = new QComboBox(this);
    projectBox_->setGeometry(DialogRect(14, 13, 112, 14));
    projectBox_->setEditable(false);
    projectBox_->setMaxVisibleItems(12);
    projectBox_->setAccessibleName(QStringLiteral("Projektauswahl"));
    SetControlId(projectBox_, kProjectBox);

    PlaceButtons({
        {newProject_, kNewProject, "neues \nProjekt", DialogRect(132, 9, 50, 23)},
        {deleteProject_, kDeleteProject, "Projekt \nlöschen", DialogRect(186, 9, 50, 23)},
        {projectSettings_, kProjectSettings, "Projekt\neinstellungen", DialogRect(240, 9, 58, 23)},
    });

    helpMode_ = new QPushButton(this);
    helpMode_->setGeometry(DialogRect(303, 12, 16, 16));
    helpMode_->setAccessibleName(QStringLiteral("Hilfemodus"));
    SetControlId(helpMode_, kHelpMode);
    about_ = new QPushButton(this);
    about_->setGeometry(DialogRect(321, 12, 16, 16));
    about_->setAccessibleName(QStringLiteral("Informationen zur Version"));
    SetControlId(about_, kAbout);
}

void CMainDlg::CreateFileArea() {
    fileList_ = new CFileListView(this);
    fileList_->setGeometry(DialogRect(7, 41, 258, 213));
    fileList_->setAccessibleName(QStringLiteral("Dateien des Projekts"));
    SetControlId(fileList_, kFileList);
    fileMenu_ = new CFileListMenu(*fileList_, [](int row) -> const CTplFileRecord* {
        return App()->Session().EntryAtRow(row);
    });

    auto* frame = new QGroupBox(this);
    frame->setGeometry(DialogRect(270, 37, 69, 217));
    frame->setAccessibleName(QStringLiteral("Dateibefehle"));

    PlaceButtons({
        {addFiles_, kAddFiles, "Datei(n) in Projekt hinzufügen", DialogRect(275, 47, 59, 32)},
        {removeFile_, kRemoveFile, "Datei aus\nProjekt entfernen", DialogRect(275, 84, 59, 32)},
        {fileSettings_, kFileSettings, "Datei \neinstellungen", DialogRect(275, 121, 59, 23)},
    });
}

void CMainDlg::PlaceButtons(std::initializer_list<ButtonPlace> buttons) {
    for (const ButtonPlace& b : buttons) {
        b.button = new CWrapButton(QString::fromUtf8(b.caption), this);
        b.button->setGeometry(b.rect);
        SetControlId(b.button, b.id);
    }
}

void CMainDlg::CreateBottomRow() {
    PlaceButtons({
        {quit_, kQuit, "Programm \nbeenden", DialogRect(7, 259, 56, 23)},
        {selectAll_, kSelectAll, "alles \nauswählen", DialogRect(68, 259, 56, 23)},
        {createFiles_, kCreateFiles, "Dateien \nerstellen", DialogRect(129, 259, 56, 23)},
    });
    static_cast<QPushButton*>(quit_)->setDefault(true);

    progress_ = new QProgressBar(this);
    progress_->setGeometry(DialogRect(191, 265, 148, 11));
    progress_->setTextVisible(false);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setAccessibleName(QStringLiteral("Fortschritt der Dateierstellung"));
    SetControlId(progress_, kProgress);
}

void CMainDlg::ConnectCommands() {
    const std::pair<QAbstractButton*, void (CMainDlg::*)()> commands[] = {
        {quit_, &CMainDlg::OnQuit},
        {selectAll_, &CMainDlg::OnSelectAll},
        {createFiles_, &CMainDlg::OnCreateFiles},
        {addFiles_, &CMainDlg::OnAddFiles},
        {removeFile_, &CMainDlg::OnRemoveFile},
        {newProject_, &CMainDlg::OnNewProject},
        {deleteProject_, &CMainDlg::OnDeleteProject},
        {projectSettings_, &CMainDlg::OnProjectSettings},
        {fileSettings_, &CMainDlg::OnFileSettings},
        {helpMode_, &CMainDlg::ToggleHelpMode},
        {about_, &CMainDlg::OnAbout},
    };
    for (const auto& [button, handler] : commands) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
    }
    // The incremental run sits beside the button, which keeps the full run:
    // in its context menu, and on F5 anywhere in the window.
    auto* changed = new QAction(QStringLiteral("nur &Geänderte erstellen"), this);
    changed->setShortcut(Qt::Key_F5);
    changed->setObjectName(QStringLiteral("createChangedFiles"));
    connect(changed, &QAction::triggered, this, [this] {
        if (createFiles_->isEnabled()) {
            RunCommand([this] { OnCreateChangedFiles(); });
        }
    });
    addAction(changed);
    createFiles_->addAction(changed);
    createFiles_->setContextMenuPolicy(Qt::ActionsContextMenu);
    OpenMenuOnShiftF10(*createFiles_);
    fileMenu_->AddSeparator();
    ShortcutHint(*fileMenu_->AddAction(
                     changed->text(), [this](int) { return createFiles_->isEnabled(); },
                     [changed](int) { changed->trigger(); }),
                 changed->shortcut());
    ConnectAutoBuild();
    ConnectPreview();
    ConnectMessagesWindow();
    // Only a user's choice in the box switches projects; filling it does not.
    connect(projectBox_, &QComboBox::activated, this,
            [this] { RunCommand([this] { ChangeProject(); }); });
    connect(fileList_, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item) { RunCommand([this, item] { OnItemChanged(item); }); });
    connect(fileList_, &QTreeWidget::itemDoubleClicked, this,
            [this] { RunCommand([this] { OpenFileSettings(); }); });
}

// "automatisch erstellen": a toggle in the file list's context menu and on
// Ctrl+F5; the window's buttons stay as they are.
void CMainDlg::ConnectAutoBuild() {
    autoBuild_ = new CAutoBuild(
        this,
        [this](const IUnchangedPaths& unchanged) {
            RunInputs inputs;
            RunCommand([&] { inputs = RunChanged(&unchanged); });
            return inputs;
        },
        [this] { return running_; }, App()->Session(), App()->Core().Messages());
    auto* toggle = new QAction(QStringLiteral("&automatisch erstellen"), this);
    toggle->setCheckable(true);
    toggle->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F5));
    toggle->setObjectName(QStringLiteral("autoBuild"));
    addAction(toggle);
    QAction* entry = fileMenu_->AddAction(
        toggle->text(), [this](int) { return createFiles_->isEnabled(); },
        [toggle](int) { toggle->trigger(); });
    entry->setCheckable(true);
    ShortcutHint(*entry, toggle->shortcut());
    connect(toggle, &QAction::toggled, this, [this, toggle, entry](bool on) {
        if (on && !createFiles_->isEnabled()) {
            toggle->setChecked(false);
            return;
        }
        // Left unticked when the folders cannot be watched: nothing would
        // ever run.
        const bool was = autoBuild_->IsOn();
        if (const Outcome set = autoBuild_->SetOn(on); !set) {
            toggle->setChecked(false);
            App()->ShowRefusal(set);
            return;
        }
        entry->setChecked(on);
        // The preview lives on the automatic runs.
        if (!on && preview_->IsOn()) {
            preview_->Stop();
            previewEntry_->setChecked(false);
        }
        ShowAutoState();
        // Kept for the project, so that the next start watches it again;
        // only a real change is written (unticking a refused toggle is
        // none), and not what the preview alone switched.
        if (const CProjectRecord* project = CurrentProject();
            project != nullptr && was != on && !autoForPreview_) {
            RunCommand([&] { RememberAutoBuild(App()->Core(), project->ProjectId, on); });
        }
        if (!on) {
            autoForPreview_ = false;
        }
    });
}

// The project shown now is watched when its choice says so (or was while
// it stays on).
void CMainDlg::RestoreAutoBuild() {
    bool wanted = false;
    if (const CProjectRecord* project = CurrentProject()) {
        RunCommand([&] { wanted = AutoBuildRemembered(App()->Core(), project->ProjectId); });
    }
    auto* toggle = findChild<QAction*>(QStringLiteral("autoBuild"));
    if (toggle->isChecked() != wanted) {
        toggle->setChecked(wanted);
    } else {
        autoBuild_->ProjectChanged();
    }
}

// "Meldungen": from the file list's context menu and on Ctrl+M.
void CMainDlg::ConnectMessagesWindow() {
    messages_ = new CMessagesWindow(
        this, StartDetached, [this](bool removeStale) -> std::optional<std::vector<SiteFinding>> {
            std::optional<std::vector<SiteFinding>> findings;
            RunCommand([&] { findings = App()->Session().Check({removeStale}); });
            // Deleted pages change the rows' page entries; the list shows them anew.
            RefreshFileList();
            UpdateButtons();
            return findings;
        });
    connect(messages_->OpenAfterRunBox(), &QCheckBox::toggled, this, [this](bool on) {
        RunCommand([&] { RememberOpenMessagesAfterRun(App()->Core(), on); });
    });
    auto* show = new QAction(QStringLiteral("&Meldungen"), this);
    show->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    show->setObjectName(QStringLiteral("showMessages"));
    connect(show, &QAction::triggered, this, [this] {
        messages_->show();
        messages_->raise();
        messages_->activateWindow();
    });
    addAction(show);
    fileMenu_->AddSeparator();
    ShortcutHint(*fileMenu_->AddAction(
                     show->text(), [](int) { return true; }, [show](int) { show->trigger(); }),
                 show->shortcut());
}

void CMainDlg::InitialiseContents() {
    std::array<int, CFileListView::kColumnCount> widths{};
    for (int column = 0; column < CFileListView::kColumnCount; ++column) {
        const int units = static_cast<int>(kColumnPixels[column] / kClassicPixelsPerUnit);
        widths[column] = DialogRect(0, 0, units, 0).width();
    }
    fileList_->SetInitialColumnWidths(widths);
    initialClientWidth_ = width();

    RunCommand([this] {
        App()->Session().LoadProjects();
        messages_->OpenAfterRunBox()->setChecked(OpenMessagesAfterRunRemembered(App()->Core()));
    });
    App()->SetMainWindow(this);
    FillProjectBox();
    RunCommand([this] { ChangeProject(); });
}

void CMainDlg::SetReadableMinimumSize() {
    // The layout scales with the window, so the window may shrink to the
    // share of its designed size at which the first caption stops fitting:
    // each button keeps the lines its caption wraps into now, each column
    // the width of its heading. A button no higher than the fixed height
    // keeps its height anyway. One pixel more for the layout's rounding
    // toward zero.
    double widthShare = 0.0;
    double heightShare = 0.0;
    for (const CWrapButton* button : findChildren<CWrapButton*>()) {
        const QSize needed = button->CaptionSize();
        widthShare = std::max(widthShare, (needed.width() + 1.0) / button->width());
        if (button->height() > CDialogResizer::kFixedHeight) {
            heightShare = std::max(heightShare, (needed.height() + 1.0) / button->height());
        }
    }
    for (int column = 0; column < CFileListView::kColumnCount; ++column) {
        const int heading = fileList_->header()->sectionSizeHint(column);
        widthShare = std::max(widthShare, (heading + 1.0) / fileList_->ColumnWidth(column));
    }
    setMinimumSize(std::min(width(), static_cast<int>(std::ceil(width() * widthShare))),
                   std::min(height(), static_cast<int>(std::ceil(height() * heightShare))));
}

}  // namespace pellandrix::ui
