#pragma once

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace pellandrix::ui {

// ChooseTemplateFiles on QFileDialog. Returns whether a file was
// delivered: `name` gets the file name with extension, `directory` the
// directory without a trailing "/". With `several`, call it in a loop: the
// first call shows the dialog and delivers the first chosen file, each
// further call delivers the next without showing anything, and the call
// after the last returns false and empties the pending list. The dialog
// starts in `startDir` (the current directory when empty), filters
// "*.<extension>" and has that pattern in its file-name box; the current
// directory is restored afterwards. Both choosers are Qt's own dialogs (so
// they speak the program's language), modal to `parent` only.
bool ChooseTemplateFiles(QWidget* parent, const std::string& startDir, const std::string& extension,
                         std::string& name, std::string& directory, bool several);

// BrowseForFolder on QFileDialog's directory chooser. Returns
// whether a folder was chosen; `folder` gets its full path (unchanged when
// cancelled).
bool BrowseForFolder(QWidget* parent, std::string& folder);

// Test hooks. The next file dialog "returns" `paths` (full paths, in the
// dialog's order; empty = cancelled) without being shown.
void ScriptChosenFiles(std::vector<std::string> paths);
// The next folder dialog "returns" `folder` (nullopt = cancelled).
void ScriptChosenFolder(std::optional<std::string> folder);
// Forgets scripted choices and the pending list.
void ResetChoosers();
// Number of paths of the last multiple choice still pending (for tests).
int PendingChosenFiles();

}  // namespace pellandrix::ui
