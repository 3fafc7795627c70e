#pragma once

#include <cstddef>
#include <string>

class QComboBox;

namespace pellandrix {
class CProjectList;
}

namespace pellandrix::ui {

// The project box of the main window and the project list it shows. None
// of these emits the box's "activated" signal, which only a user's choice
// does, so filling the box never switches the current project by itself.

// Empties the box and appends the name of every live project in list order.
// The first entry is then selected (none when no project is live).
void FillProjectCombo(QComboBox& combo, const CProjectList& projects);

// Selects the entry of the live project with `projectId`; nothing changes
// when no live project has that id.
void SelectProjectInCombo(QComboBox& combo, const CProjectList& projects, int projectId);

// The ProjectId of the live project named by the text the box shows, or 0
// when the text names none.
int ProjectIdFromCombo(const QComboBox& combo, const CProjectList& projects);

// The text the box shows, cut to `maxChars` characters.
std::string ComboText(const QComboBox& combo, std::size_t maxChars);

}  // namespace pellandrix::ui
