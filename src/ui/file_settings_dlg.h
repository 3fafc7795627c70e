#pragma once

#include "store/project_record.h"
#include "store/tpl_file_record.h"
#include "ui/base_dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace pellandrix::ui {

// Edits the settings of one template-file entry of the current project
// (dialog 105, "Dateieinstellungen"): the template file, whether and under
// which extension a file is generated, whether it is regenerated every time,
// and where its source and target directories come from.
//
// The entry changes only at OK: the name, the four flags, the selected
// extension (empty when none is selected), and each directory either from
// the project (its box ticked) or from its field. A ticked box shows the
// project's directory read-only and disables the matching ". . ." button.
// An entry with an empty extension starts with the project's default one
// selected.
//
// For an entry marked Unconfirmed (a file just added) the Cancel button reads
// "Datei nicht \nübernehmen", and Cancel (button, Escape or close box) marks
// the entry Deleted. Cancel on any other entry changes nothing. OK hands the
// settings to the session, which confirms the entry: from then on it is an
// ordinary entry. A value the session refuses is shown in a message box and
// the dialog stays open.
//
// `project` and `entry` must outlive the dialog. Requires App() to exist.
// Run with exec(); QDialog::Accepted means OK.
class CFileSettingsDlg : public CBaseDialog {
  public:
    static constexpr int kResourceId = 105;
    static constexpr int kCancelButton = kCancelId;
    static constexpr int kNameField = 1016;
    static constexpr int kCreateFileBox = 1022;
    static constexpr int kAlwaysParseBox = 1023;
    static constexpr int kExtensionCombo = 1024;
    static constexpr int kSourceFromProjectBox = 1017;
    static constexpr int kSourceField = 1021;
    static constexpr int kChooseTemplate = 1026;
    static constexpr int kTargetFromProjectBox = 1020;
    static constexpr int kTargetField = 1018;
    static constexpr int kChooseTarget = 1027;
    static constexpr int kHelpButton = kHelpModeId;

    CFileSettingsDlg(CProjectRecord& project, CTplFileRecord& entry, QWidget* parent = nullptr);

    void reject() override;

  private:
    void CreateControls();
    void CreateNameGroup();
    void CreateGenerationGroup();
    // One directory's box, field and ". . ." button.
    struct DirectoryRow {
        QCheckBox* fromProject = nullptr;
        QLineEdit* field = nullptr;
        QPushButton* choose = nullptr;
    };
    DirectoryRow CreateDirectoryGroup(int y, bool source);
    void FillControls();
    void UpdateDirectoryFields();
    static void UpdateDirectoryField(const DirectoryRow& row, const std::string& projectPath);
    void OnChooseTemplate();
    void OnChooseTarget();
    void OnOk();

    CProjectRecord& project_;
    CTplFileRecord& entry_;
    QLineEdit* name_ = nullptr;
    QCheckBox* createFile_ = nullptr;
    QCheckBox* alwaysParse_ = nullptr;
    QComboBox* extensions_ = nullptr;
    DirectoryRow source_;
    DirectoryRow target_;
    QPushButton* cancel_ = nullptr;
};

}  // namespace pellandrix::ui
