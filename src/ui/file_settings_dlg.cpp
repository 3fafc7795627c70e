#include "ui/file_settings_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/extension_combo.h"
#include "ui/file_choosers.h"
#include "ui/pellandrix_app.h"

namespace pellandrix::ui {

namespace {

constexpr int kPathWidth = static_cast<int>(decltype(CTplFileRecord::SourcePath)::kMaxLength);

const ControlInfo kControls[] = {
    {CFileSettingsDlg::kNameField, nullptr, 3001},
    {CFileSettingsDlg::kCreateFileBox, nullptr, 3002},
    {CFileSettingsDlg::kAlwaysParseBox, nullptr, 3003},
    {CFileSettingsDlg::kExtensionCombo, nullptr, 3004},
    {CFileSettingsDlg::kSourceFromProjectBox, nullptr, 3005},
    {CFileSettingsDlg::kTargetFromProjectBox, nullptr, 3006},
    {CFileSettingsDlg::kSourceField, nullptr, 3007},
    {CFileSettingsDlg::kTargetField, nullptr, 3008},
    {CFileSettingsDlg::kChooseTemplate, nullptr, 3009},
    {CFileSettingsDlg::kChooseTarget, nullptr, 3010},
    {CFileSettingsDlg::kHelpButton, nullptr, 0},
    {0, nullptr, 0},
};

}  // namespace

CFileSettingsDlg::CFileSettingsDlg(CProjectRecord& project, CTplFileRecord& entry, QWidget* parent)
    : CBaseDialog(kResourceId, parent), project_(project), entry_(entry) {
    setWindowTitle(QStringLiteral("Dateieinstellungen"));
    CreateControls();
    RegisterControls(kControls);
    FillControls();
    UpdateDirectoryFields();
}

void CFileSettingsDlg::CreateControls() {
    SetDialogSize(177, 181);
    // The four frames come first so that they lie beneath their controls.
    // Narrow margins leave the long check box captions room at any font.
    for (const QRect& r : {DialogRect(4, 7, 169, 31), DialogRect(4, 42, 169, 34),
                           DialogRect(4, 80, 169, 36), DialogRect(4, 120, 169, 36)}) {
        auto* frame = new QFrame(this);
        frame->setFrameShape(QFrame::Box);
        frame->setFrameShadow(QFrame::Sunken);
        frame->setGeometry(r);
    }
    CreateNameGroup();
    CreateGenerationGroup();
    CreateDirectoryGroup(80, true);
    CreateDirectoryGroup(120, false);
    // Cancel is two lines high, for the caption of an unconfirmed file.
    CreateOkCancelHelpButtons(DialogRect(4, 160, 50, 18), DialogRect(58, 160, 60, 18),
                              DialogRect(153, 160, 20, 18), [this] { OnOk(); });
}

void CFileSettingsDlg::CreateNameGroup() {
    auto* label = new QLabel(QStringLiteral("Dateiname:"), this);
    label->setGeometry(DialogRect(8, 12, 161, 8));
    auto* name = new QLineEdit(this);
    name->setGeometry(DialogRect(8, 21, 161, 12));
    name->setMaxLength(static_cast<int>(decltype(CTplFileRecord::TPLFileName)::kMaxLength));
    name->setAccessibleName(QStringLiteral("Dateiname"));
    label->setBuddy(name);
    SetControlId(name, kNameField);
}

void CFileSettingsDlg::CreateGenerationGroup() {
    auto* create = new QCheckBox(QStringLiteral("Datei erstellen"), this);
    create->setGeometry(DialogRect(8, 47, 90, 10));
    SetControlId(create, kCreateFileBox);
    auto* always = new QCheckBox(QStringLiteral("immer neu erstellen"), this);
    always->setGeometry(DialogRect(8, 61, 90, 10));
    SetControlId(always, kAlwaysParseBox);

    auto* label = new QLabel(QStringLiteral("Dateiendung"), this);
    label->setGeometry(DialogRect(104, 47, 65, 8));
    extensions_ = new QComboBox(this);
    extensions_->setEditable(false);
    extensions_->setGeometry(DialogRect(104, 58, 65, 12));
    extensions_->setAccessibleName(QStringLiteral("Dateiendung"));
    label->setBuddy(extensions_);
    SetControlId(extensions_, kExtensionCombo);
}

void CFileSettingsDlg::CreateDirectoryGroup(int y, bool source) {
    auto* box = new QCheckBox(source ? QStringLiteral("Quellverzeichnis aus Projekt übernehmen")
                                     : QStringLiteral("Zielverzeichnis aus Projekt übernehmen"),
                              this);
    box->setGeometry(DialogRect(8, y + 5, 161, 10));
    SetControlId(box, source ? kSourceFromProjectBox : kTargetFromProjectBox);
    connect(box, &QCheckBox::clicked, this, [this] { UpdateDirectoryFields(); });

    auto* field = new QLineEdit(this);
    field->setGeometry(DialogRect(8, y + 18, 141, 12));
    field->setMaxLength(kPathWidth);
    field->setAccessibleName(source ? QStringLiteral("Quellverzeichnis")
                                    : QStringLiteral("Zielverzeichnis"));
    SetControlId(field, source ? kSourceField : kTargetField);

    auto* choose = new QPushButton(QStringLiteral(". . ."), this);
    choose->setGeometry(DialogRect(151, y + 18, 18, 12));
    choose->setAccessibleName(source ? QStringLiteral("Vorlagendatei wählen")
                                     : QStringLiteral("Zielverzeichnis wählen"));
    SetControlId(choose, source ? kChooseTemplate : kChooseTarget);
    if (source) {
        connect(choose, &QPushButton::clicked, this, [this] { OnChooseTemplate(); });
    } else {
        connect(choose, &QPushButton::clicked, this, [this] { OnChooseTarget(); });
    }
}

void CFileSettingsDlg::FillControls() {
    FillExtensionCombo(extensions_);
    SetControlText(kNameField, entry_.TPLFileName.str());
    SetCheck(kCreateFileBox, entry_.CreateFile);
    SetCheck(kAlwaysParseBox, entry_.AlwaysParse);
    SetCheck(kSourceFromProjectBox, entry_.SourceFromProject);
    SetCheck(kTargetFromProjectBox, entry_.TargetFromProject);
    SelectExtension(extensions_, App()->Session().ExtensionFor(entry_, project_));
    if (!entry_.SourceFromProject) {
        SetControlText(kSourceField, entry_.SourcePath.str());
    }
    if (!entry_.TargetFromProject) {
        SetControlText(kTargetField, entry_.TargetPath.str());
    }
    if (entry_.Unconfirmed) {
        SetControlText(kCancelButton, "Datei nicht \nübernehmen");
    }
}

void CFileSettingsDlg::UpdateDirectoryFields() {
    // The name is shown for reference only; it changes through the
    // template-file choice, which also sets the source directory.
    EnableControl(kNameField, true);
    SetReadOnly(kNameField, true);
    UpdateDirectoryField(kSourceFromProjectBox, kSourceField, kChooseTemplate,
                         project_.SourcePath.str());
    UpdateDirectoryField(kTargetFromProjectBox, kTargetField, kChooseTarget,
                         project_.TargetPath.str());
}

void CFileSettingsDlg::UpdateDirectoryField(int boxId, int fieldId, int buttonId,
                                            const std::string& projectPath) {
    const bool fromProject = GetCheck(boxId) != 0;
    if (fromProject) {
        SetControlText(fieldId, projectPath);
    }
    // A cleared box keeps the project's directory in the field as a
    // starting point for the user's own.
    SetReadOnly(fieldId, fromProject);
    EnableControl(buttonId, !fromProject);
}

void CFileSettingsDlg::OnChooseTemplate() {
    std::string name;
    std::string directory;
    if (!ChooseTemplateFiles(this, entry_.SourcePath.str(), "tpl", name, directory, false)) {
        return;
    }
    SetControlText(kNameField, name);
    SetControlText(kSourceField, directory);
}

void CFileSettingsDlg::OnChooseTarget() {
    std::string folder = GetControlText(kTargetField);
    if (BrowseForFolder(this, folder)) {
        SetControlText(kTargetField, folder);
    }
}

void CFileSettingsDlg::OnOk() {
    FileSettings settings;
    settings.name = GetControlText(kNameField);
    settings.createFile = GetCheck(kCreateFileBox) != 0;
    settings.alwaysParse = GetCheck(kAlwaysParseBox) != 0;
    settings.sourceFromProject = GetCheck(kSourceFromProjectBox) != 0;
    settings.targetFromProject = GetCheck(kTargetFromProjectBox) != 0;
    settings.extension = SelectedExtension(extensions_);
    settings.sourcePath = GetControlText(kSourceField);
    settings.targetPath = GetControlText(kTargetField);
    // Refused: the dialog stays open so that the user can mend the value.
    if (App()->ShowRefusal(App()->Session().ApplyFileSettings(entry_, settings))) {
        accept();
    }
}

void CFileSettingsDlg::reject() {
    // Adding a file asks for its settings at once; declining them means the
    // file is not wanted, so the entry leaves the project's list.
    if (entry_.Unconfirmed) {
        App()->Session().RemoveFile(entry_);
    }
    CBaseDialog::reject();
}

}  // namespace pellandrix::ui
