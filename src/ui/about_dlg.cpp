#include "ui/about_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "store/database_location.h"
#include "ui/pellandrix_app.h"

namespace pellandrix::ui {

namespace {

// The about box's control table: fields 1028 and 1029, with no
// help topic and no tooltip.
constexpr ControlInfo kAboutControls[] = {
    {kAboutDatabaseDir, nullptr, 0},
    {kAboutCreated, nullptr, 0},
    {0, nullptr, 0},
};

}  // namespace

std::string CAboutDlg::CreationDate(const std::string& path) {
    std::time_t when = 0;
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) == 0) {
        // The birth time where the file system records one, else the time of
        // the last modification.
        when = (sx.stx_mask & STATX_BTIME) != 0 ? static_cast<std::time_t>(sx.stx_btime.tv_sec)
                                                : static_cast<std::time_t>(sx.stx_mtime.tv_sec);
    } else {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) {
            return {};
        }
        when = st.st_mtime;
    }
    return FormatDate(when);
}

std::string CAboutDlg::FormatDate(std::time_t when) {
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        return {};
    }
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", local.tm_mday, local.tm_mon + 1,
                  local.tm_year + 1900);
    return text;
}

CAboutDlg::CAboutDlg(QWidget* parent) : CBaseDialog(kAboutDialogId, parent) {
    setWindowTitle(QStringLiteral("Info über Pellandrix"));

    auto* icon = new QLabel(this);
    icon->setPixmap(LoadIconResource(kAppIconResource).pixmap(32, 32));
    icon->setGeometry(DialogRect(11, 10, 21, 20));

    auto* name = new QLabel(QStringLiteral("Pellandrix"), this);
    name->setGeometry(DialogRect(40, 10, 150, 8));

    auto* version = new QLabel(QStringLiteral("Versionsdatum"), this);
    SetControlId(version, kAboutVersion);
    version->setGeometry(DialogRect(40, 24, 150, 8));

    auto* dirLabel = new QLabel(QStringLiteral("Datenbankverzeichnis:"), this);
    dirLabel->setGeometry(DialogRect(40, 48, 150, 8));
    auto* dir = new QLineEdit(this);
    SetControlId(dir, kAboutDatabaseDir);
    dir->setReadOnly(true);
    dir->setAccessibleName(QStringLiteral("Datenbankverzeichnis"));
    dirLabel->setBuddy(dir);
    dir->setGeometry(DialogRect(40, 59, 216, 14));

    auto* createdLabel = new QLabel(QStringLiteral("erstellt am:"), this);
    createdLabel->setGeometry(DialogRect(40, 84, 100, 8));
    auto* created = new QLineEdit(this);
    SetControlId(created, kAboutCreated);
    created->setReadOnly(true);
    created->setAccessibleName(QStringLiteral("erstellt am"));
    createdLabel->setBuddy(created);
    created->setGeometry(DialogRect(40, 95, 80, 14));

    // Once the INI file puts the database elsewhere, the folder that holds
    // the INI file and fileext.def is no longer shown; it is named then, in
    // a row like the ones above, and the buttons move below it.
    const DatabaseLocation location = LocateDatabase();
    const std::string workingDir = CurrentDirectory() + "/";
    const bool elsewhere = std::filesystem::path(workingDir).lexically_normal() !=
                           std::filesystem::path(location.directory).lexically_normal();
    auto* workLabel = new QLabel(QStringLiteral("Arbeitsordner:"), this);
    workLabel->setGeometry(DialogRect(40, 120, 150, 8));
    auto* work = new QLineEdit(this);
    SetControlId(work, kAboutWorkingDir);
    work->setReadOnly(true);
    work->setAccessibleName(QStringLiteral("Arbeitsordner"));
    workLabel->setBuddy(work);
    work->setGeometry(DialogRect(40, 131, 216, 14));
    const int shift = elsewhere ? 15 : 0;

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    SetControlId(ok, 1);
    ok->setDefault(true);
    ok->setGeometry(DialogRect(206, 140 + shift, 50, 14));

    auto* help = new QPushButton(QStringLiteral("Hilfe"), this);
    SetControlId(help, kAboutHelp);
    help->setAutoDefault(false);
    help->setGeometry(DialogRect(150, 140 + shift, 50, 14));

    SetDialogSize(267, 161 + shift);

    // Initialisation.
    RegisterControls(kAboutControls);
    if (App() != nullptr) {
        SetImageList(&App()->ImageList(), &App()->IconSlots());
        if (App()->IconSlots().size() <= static_cast<std::size_t>(kHelpIconSlot) ||
            App()->IconSlots()[kHelpIconSlot] < 0) {
            // The main window normally fills the slot; the about box may be
            // the first to need it.
            AddIcon(kHelpIconSlot, kHelpIconResource);
        }
        SetButtonIcon(help, kHelpIconSlot);
    }
    version->setText(QString::fromUtf8(kVersionText));
    dir->setText(QString::fromStdString(location.directory));
    created->setText(QString::fromStdString(CreationDate(location.fullPath)));
    work->setText(QString::fromStdString(workingDir));
    workLabel->setVisible(elsewhere);
    work->setVisible(elsewhere);

    connect(ok, &QPushButton::clicked, this, [this] {
        LeaveHelpMode();
        accept();
    });
    // Left to the implementer: the help button gives the dialog's F1 help
    // (the help's start page, topic 0).
    connect(help, &QPushButton::clicked, this, [this] { ShowDialogHelp(); });
}

}  // namespace pellandrix::ui
