#pragma once

#include "store/project_record.h"
#include "ui/base_dialog.h"

class QComboBox;
class QLineEdit;

namespace pellandrix::ui {

// Edits one project record (dialog 104, "Projekteinstellungen"): its name,
// source directory, target directory and default extension for generated
// files. Writes only the in-memory record; the caller decides when the
// project list is saved.
//
// A directory chosen with one of the ". . ." buttons is written into the
// record at once and shown in its field; the other fields keep what was
// typed into them. Such a choice stays in the record even when the dialog
// is then cancelled.
//
// OK hands the fields to the session (the extension is the selected entry
// of the combo box, empty when none is selected), which stores them and has
// every template file of the current list that takes its directories from
// the project take the new ones. A value the session refuses is shown in a
// message box and the dialog stays open.
//
// `project` must outlive the dialog. Requires App() to exist. Run with
// exec(); QDialog::Accepted means OK.
class CProjectSettingsDlg : public CBaseDialog {
  public:
    static constexpr int kResourceId = 104;
    static constexpr int kNameField = 1011;
    static constexpr int kSourceField = 1012;
    static constexpr int kTargetField = 1013;
    static constexpr int kChooseSource = 1014;
    static constexpr int kChooseTarget = 1015;
    static constexpr int kExtensionCombo = 1023;
    static constexpr int kHelpButton = kHelpModeId;

    explicit CProjectSettingsDlg(CProjectRecord& project, QWidget* parent = nullptr);

  private:
    void CreateControls();
    void CreateFields();
    void FillFields();
    void ChooseDirectory(bool source);
    void OnOk();

    CProjectRecord& project_;
    QLineEdit* name_ = nullptr;
    QLineEdit* source_ = nullptr;
    QLineEdit* target_ = nullptr;
    QComboBox* extensions_ = nullptr;
};

}  // namespace pellandrix::ui
