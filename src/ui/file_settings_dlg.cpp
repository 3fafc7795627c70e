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
    source_ = CreateDirectoryGroup(80, true);
    target_ = CreateDirectoryGroup(120, false);
    // Cancel is two lines high, for the caption of an unconfirmed file.
    cancel_ = CreateOkCancelHelpButtons(DialogRect(4, 160, 50, 18), DialogRect(58, 160, 60, 18),
                                        DialogRect(153, 160, 20, 18), [this] { OnOk(); })
                  .cancel;
}

void CFileSettingsDlg::CreateNameGroup() {
    auto* label = new QLabel(QStringLiteral("Dateiname:"), this);
    label->setGeometry(DialogRect(8, 12, 161, 8));
    name_ = new QLineEdit(this);
    name_->setGeometry(DialogRect(8, 21, 161, 12));
    name_->setMaxLength(static_cast<int>(decltype(CTplFileRecord::TPLFileName)::kMaxLength));
    name_->setAccessibleName(QStringLiteral("Dateiname"));
    label->setBuddy(name_);
    SetControlId(name_, kNameField);
}

void CFileSettingsDlg::CreateGenerationGroup() {
    createFile_ = new QCheckBox(QStringLiteral("Datei erstellen"), this);
    createFile_->setGeometry(DialogRect(8, 47, 90, 10));
    SetControlId(createFile_, kCreateFileBox);
    alwaysParse_ = new QCheckBox(QStringLiteral("immer neu erstellen"), this);
    alwaysParse_->setGeometry(DialogRect(8, 61, 90, 10));
    SetControlId(alwaysParse_, kAlwaysParseBox);

    auto* label = new QLabel(QStringLiteral("Dateiendung"), this);
    label->setGeometry(DialogRect(104, 47, 65, 8));
    extensions_ = new QComboBox(this);
    extensions_->setEditable(false);
    extensions_->setGeometry(DialogRect(104, 58, 65, 12));
    extensions_->setAccessibleName(QStringLiteral("Dateiendung"));
    label->setBuddy(extensions_);
    SetControlId(extensions_, kExtensionCombo);
}

CFileSettingsDlg::DirectoryRow CFileSettingsDlg::CreateDirectoryGroup(int y, bool source) {
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
    return {box, field, choose};
}

void CFileSettingsDlg::FillControls() {
    FillExtensionCombo(extensions_);
    const FileSettings stored = App()->Session().SettingsOf(entry_);
    name_->setText(QString::fromStdString(stored.name));
    createFile_->setChecked(stored.createFile);
    alwaysParse_->setChecked(stored.alwaysParse);
    source_.fromProject->setChecked(stored.sourceFromProject);
    target_.fromProject->setChecked(stored.targetFromProject);
    SelectExtension(extensions_, App()->Session().ExtensionFor(entry_, project_));
    if (!stored.sourceFromProject) {
        source_.field->setText(QString::fromStdString(stored.sourcePath));
    }
    if (!stored.targetFromProject) {
        target_.field->setText(QString::fromStdString(stored.targetPath));
    }
    if (entry_.Unconfirmed) {
        cancel_->setText(QStringLiteral("Datei nicht \nübernehmen"));
    }
}

void CFileSettingsDlg::UpdateDirectoryFields() {
    // The name is shown for reference only; it changes through the
    // template-file choice, which also sets the source directory.
    name_->setEnabled(true);
    name_->setReadOnly(true);
    UpdateDirectoryField(source_, project_.SourcePath.str());
    UpdateDirectoryField(target_, project_.TargetPath.str());
}

void CFileSettingsDlg::UpdateDirectoryField(const DirectoryRow& row,
                                            const std::string& projectPath) {
    const bool fromProject = row.fromProject->isChecked();
    if (fromProject) {
        row.field->setText(QString::fromStdString(projectPath));
    }
    // A cleared box keeps the project's directory in the field as a
    // starting point for the user's own.
    row.field->setEnabled(true);
    row.field->setReadOnly(fromProject);
    row.choose->setEnabled(!fromProject);
}

void CFileSettingsDlg::OnChooseTemplate() {
    std::string name;
    std::string directory;
    if (!ChooseTemplateFiles(this, entry_.SourcePath.str(), "tpl", name, directory, false)) {
        return;
    }
    name_->setText(QString::fromStdString(name));
    source_.field->setText(QString::fromStdString(directory));
}

void CFileSettingsDlg::OnChooseTarget() {
    std::string folder = target_.field->text().toStdString();
    if (BrowseForFolder(this, folder)) {
        target_.field->setText(QString::fromStdString(folder));
    }
}

void CFileSettingsDlg::OnOk() {
    FileSettings settings;
    settings.name = name_->text().toStdString();
    settings.createFile = createFile_->isChecked();
    settings.alwaysParse = alwaysParse_->isChecked();
    settings.sourceFromProject = source_.fromProject->isChecked();
    settings.targetFromProject = target_.fromProject->isChecked();
    settings.extension = SelectedExtension(extensions_);
    settings.sourcePath = source_.field->text().toStdString();
    settings.targetPath = target_.field->text().toStdString();
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
