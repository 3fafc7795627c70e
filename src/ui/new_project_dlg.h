#pragma once

#include <string>

#include "ui/base_dialog.h"

class QLineEdit;

namespace pellandrix::ui {

// Asks for the name of a new project (dialog 103, "Projekt").
//
// OK with an empty name field is refused silently: the dialog stays open and
// shows no message. A name another project has is refused with the
// session's message, and the dialog stays open for the user to change it
// (projects are addressed by name). Any other text is taken as it stands,
// not trimmed; the field accepts no more characters than
// CProjectRecord::ProjectName holds. Escape, the close box
// and "Abbruch" end the dialog with QDialog::Rejected.
//
// Run with exec(). After it returned QDialog::Accepted, EnteredName() holds
// the name; before that it is empty.
class CNewProjectDlg : public CBaseDialog {
  public:
    static constexpr int kResourceId = 103;
    static constexpr int kNameField = 1010;

    explicit CNewProjectDlg(QWidget* parent = nullptr);

    const std::string& EnteredName() const { return enteredName_; }

  private:
    void CreateControls();
    void OnOk();

    QLineEdit* name_ = nullptr;
    std::string enteredName_;
};

}  // namespace pellandrix::ui
