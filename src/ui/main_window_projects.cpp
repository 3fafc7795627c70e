#include "ui/main_window_projects.h"

#include <QComboBox>
#include <QSignalBlocker>

#include "store/project_list.h"
#include "support/fixed_text.h"

namespace pellandrix::ui {

void FillProjectCombo(QComboBox& combo, const CProjectList& projects) {
    // Clearing and appending move the current index; none of these moves
    // is a user's choice.
    const QSignalBlocker blocker(combo);
    combo.clear();
    for (const CProjectRecord& project : projects.Records()) {
        if (!project.Deleted) {
            combo.addItem(QString::fromStdString(project.ProjectName.str()));
        }
    }
    combo.setCurrentIndex(combo.count() > 0 ? 0 : -1);
}

void SelectProjectInCombo(QComboBox& combo, const CProjectList& projects, int projectId) {
    // Entries are the live projects in list order, so the index is the
    // project's rank among them; names alone would miss a second project
    // that shares the first one's name.
    int index = 0;
    for (const CProjectRecord& project : projects.Records()) {
        if (project.Deleted) {
            continue;
        }
        if (project.ProjectId == projectId) {
            const QSignalBlocker blocker(combo);
            combo.setCurrentIndex(index);
            return;
        }
        ++index;
    }
}

int ProjectIdFromCombo(const QComboBox& combo, const CProjectList& projects) {
    const CProjectRecord* project =
        projects.FindByName(ComboText(combo, decltype(CProjectRecord::ProjectName)::kMaxLength));
    return project == nullptr ? 0 : project->ProjectId;
}

std::string ComboText(const QComboBox& combo, std::size_t maxChars) {
    const std::string text = combo.currentText().toStdString();
    return std::string(CutToWidth(text, maxChars));
}

}  // namespace pellandrix::ui
