#include "ui/new_project_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "store/project_record.h"
#include "ui/pellandrix_app.h"

namespace pellandrix::ui {

namespace {
constexpr int kOk = 1;
constexpr int kCancel = 2;
}  // namespace

CNewProjectDlg::CNewProjectDlg(QWidget* parent) : CBaseDialog(kResourceId, parent) {
    setWindowTitle(QStringLiteral("Projekt"));
    CreateControls();
}

void CNewProjectDlg::CreateControls() {
    SetDialogSize(147, 55);

    auto* label = new QLabel(QStringLiteral("neuer Projektname:"), this);
    label->setGeometry(DialogRect(7, 7, 133, 8));

    auto* name = name_ = new QLineEdit(this);
    name->setGeometry(DialogRect(7, 17, 133, 12));
    name->setMaxLength(static_cast<int>(decltype(CProjectRecord::ProjectName)::kMaxLength));
    name->setAccessibleName(QStringLiteral("neuer Projektname"));
    label->setBuddy(name);
    SetControlId(name, kNameField);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(DialogRect(36, 36, 50, 14));
    ok->setDefault(true);
    SetControlId(ok, kOk);
    connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });

    auto* cancel = new QPushButton(QStringLiteral("Abbruch"), this);
    cancel->setGeometry(DialogRect(90, 36, 50, 14));
    SetControlId(cancel, kCancel);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    name->setFocus();
}

void CNewProjectDlg::OnOk() {
    std::string name = name_->text().toStdString();
    // An empty name cannot be told apart in the project box, so the user
    // has to type one or cancel; a message would only repeat that.
    if (name.empty()) {
        return;
    }
    if (!App()->ShowRefusal(App()->Session().CheckNameFree(name))) {
        return;
    }
    enteredName_ = std::move(name);
    accept();
}

}  // namespace pellandrix::ui
