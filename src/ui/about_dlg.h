#pragma once

#include <ctime>
#include <string>

#include "ui/base_dialog.h"

namespace pellandrix::ui {

// Control ids of the about box.
inline constexpr int kAboutDialogId = 136;
inline constexpr int kAboutVersion = 1027;
inline constexpr int kAboutDatabaseDir = 1028;
inline constexpr int kAboutCreated = 1029;
inline constexpr int kAboutWorkingDir = 1030;
inline constexpr int kAboutHelp = 1025;

// The about box, dialog 136 "Info über Pellandrix", 267 × 161 dialog units:
// version, database directory, the database file's creation date, and the
// working folder (the current directory) when the database lies elsewhere;
// otherwise that row is hidden. Run modally by the main window's button
// 1026.
class CAboutDlg : public CBaseDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // "dd.mm.yyyy" of the file's birth time (statx) where the file system
    // records one, else of its modification time, in local time; empty when
    // the file's status cannot be read.
    static std::string CreationDate(const std::string& path);
    // "dd.mm.yyyy" of `when` in local time (05.03.2007).
    static std::string FormatDate(std::time_t when);

    static constexpr const char* kVersionText = "Version 1.020";
};

}  // namespace pellandrix::ui
