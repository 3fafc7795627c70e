// The template-file verbs of the session: every rule about what an entry
// stores is applied here, once, to the values it will store.

#include <unordered_set>
#include "app/project_session.h"
#include "app/settings_checks.h"

#include "app/template_location.h"
#include "engine/run_status.h"
#include "engine/template_paths.h"
#include "support/stored_text.h"

namespace pellandrix {

Outcome CProjectSession::AddTemplatePaths(const std::vector<std::string>& paths,
                                          const FileSettings& settings, bool unconfirmed,
                                          std::vector<CTplFileRecord*>* added) {
    if (current_ == nullptr) {
        return Outcome::Refuse(MessageId::kUnknownProject, "");
    }
    std::vector<FileSettings> files;
    for (const std::string& path : paths) {
        FileSettings file;
        if (Outcome accepted = SettingsForPath(path, settings, unconfirmed, file); !accepted) {
            return accepted;
        }
        files.push_back(std::move(file));
    }
    return AddTemplateFiles(files, unconfirmed, added);
}

Outcome CProjectSession::SettingsForPath(const std::string& path, const FileSettings& common,
                                         bool unconfirmed, FileSettings& file) const {
    const TemplateLocation location = SplitTemplatePath(path);
    file = common;
    file.name = location.name;
    file.sourcePath = location.folder;
    if (file.extension.empty()) {
        file.extension = ExtensionFor(*current_);
    }
    // An unconfirmed entry names the file where it was chosen; the user
    // decides about the project's folder in its settings dialog.
    const std::string folder = unconfirmed ? location.folder : StoredFolder(file);
    if (!unconfirmed && file.sourceFromProject && !SameFile(location.folder, folder)) {
        return Outcome::Refuse(MessageId::kOutsideSourceFolder, ShownText(path), ShownText(folder));
    }
    // The file checked is the one the entry will name, not the spelling
    // typed. A file chooser offers only files that exist, and its choice is
    // still to be confirmed.
    const std::string stored = JoinPath(folder, file.name);
    if (!unconfirmed && !IsRegularFile(stored)) {
        return Outcome::Refuse(MessageId::kTemplateNotFound, ShownText(stored));
    }
    return {};
}

Outcome CProjectSession::AddTemplateFiles(const std::vector<FileSettings>& files, bool unconfirmed,
                                          std::vector<CTplFileRecord*>* added) {
    if (current_ == nullptr) {
        return Outcome::Refuse(MessageId::kUnknownProject, "");
    }
    // Every file is checked before the first is added: all or none. The
    // keys are hashed: an import brings many thousand files at once.
    std::unordered_set<std::string> taken = LiveEntryKeys();
    for (const FileSettings& file : files) {
        if (Outcome checked = CheckFileSettings(file); !checked) {
            return checked;
        }
        if (Outcome unique = CheckDuplicate(file, unconfirmed, taken); !unique) {
            return unique;
        }
    }
    for (const FileSettings& file : files) {
        CTplFileRecord* entry = core_.Files().NewFile();
        entry->ProjectId = current_->ProjectId;
        if (unconfirmed) {
            // The user confirms the entry's settings next; until then it
            // holds the template as it was chosen.
            entry->TPLFileName = file.name;
            entry->SourcePath = file.sourcePath;
            entry->Unconfirmed = 1;
        } else {
            StoreFileSettings(*entry, file);
        }
        if (added != nullptr) {
            added->push_back(entry);
        }
    }
    NumberRows();
    return {};
}

Outcome CProjectSession::CheckFileSettings(const FileSettings& file) const {
    return CheckFileTexts(file, current_ != nullptr ? current_->DefCreateFileExt.str() : "",
                          core_.Extensions());
}

std::unordered_set<std::string> CProjectSession::LiveEntryKeys() const {
    std::unordered_set<std::string> keys;
    for (const CTplFileRecord& entry : core_.Files().Records()) {
        if (!entry.Deleted) {
            keys.insert(FileIdentity(JoinPath(entry.SourcePath.str(), entry.TPLFileName.str())));
        }
    }
    return keys;
}

Outcome CProjectSession::CheckDuplicate(const FileSettings& file, bool unconfirmed,
                                        std::unordered_set<std::string>& taken) const {
    // Every spelling of one file is one entry: compared as resolved files,
    // where the entry will look for its template (an unconfirmed one where
    // it was chosen).
    const std::string folder = unconfirmed ? file.sourcePath : StoredFolder(file);
    if (taken.insert(FileIdentity(JoinPath(folder, file.name))).second) {
        return {};
    }
    return Outcome::Refuse(MessageId::kFileAlreadyInProject, ShownText(file.name),
                           current_ != nullptr ? current_->ProjectName.str() : std::string());
}

std::string CProjectSession::StoredFolder(const FileSettings& settings) const {
    // A folder taken from the project is the project's, whatever the
    // settings held: this is the one place that decides it.
    return settings.sourceFromProject && current_ != nullptr ? current_->SourcePath.str()
                                                             : settings.sourcePath;
}

Outcome CProjectSession::ApplyFileSettings(CTplFileRecord& entry, const FileSettings& settings) {
    if (Outcome checked = CheckFileSettings(settings); !checked) {
        return checked;
    }
    StoreFileSettings(entry, settings);
    // Once the user has confirmed an entry's settings it is an ordinary
    // entry: cancelling its dialog later must not remove it.
    entry.Unconfirmed = 0;
    NumberRows();
    return {};
}

void CProjectSession::StoreFileSettings(CTplFileRecord& entry, const FileSettings& settings) const {
    entry.TPLFileName = settings.name;
    entry.CreateFile = settings.createFile ? 1 : 0;
    entry.AlwaysParse = settings.alwaysParse ? 1 : 0;
    entry.SourceFromProject = settings.sourceFromProject ? 1 : 0;
    entry.TargetFromProject = settings.targetFromProject ? 1 : 0;
    entry.CreateFileExt = settings.extension;
    entry.SourcePath = StoredFolder(settings);
    const CProjectRecord* project = current_;
    entry.TargetPath = settings.targetFromProject && project != nullptr ? project->TargetPath.str()
                                                                        : settings.targetPath;
    entry.Selected = settings.selected ? 1 : entry.Selected;
}

FileSettings CProjectSession::SettingsOf(const CTplFileRecord& entry) const {
    FileSettings settings;
    settings.name = entry.TPLFileName.str();
    settings.createFile = entry.CreateFile != 0;
    settings.alwaysParse = entry.AlwaysParse != 0;
    settings.sourceFromProject = entry.SourceFromProject != 0;
    settings.targetFromProject = entry.TargetFromProject != 0;
    settings.extension = entry.CreateFileExt.str();
    settings.sourcePath = entry.SourcePath.str();
    settings.targetPath = entry.TargetPath.str();
    return settings;
}

std::string CProjectSession::ExtensionFor(const CTplFileRecord& entry,
                                          const CProjectRecord& project) const {
    return entry.CreateFileExt.empty() ? ExtensionFor(project) : entry.CreateFileExt.str();
}

std::string CProjectSession::ExtensionFor(const CProjectRecord& project) const {
    if (!project.DefCreateFileExt.empty()) {
        return project.DefCreateFileExt.str();
    }
    const CFileExtList& offered = core_.Extensions();
    return offered.Empty() ? std::string() : offered.First()->name.str();
}

void CProjectSession::RemoveFile(CTplFileRecord& entry) {
    entry.Deleted = 1;
    NumberRows();
}

void CProjectSession::SetSelected(CTplFileRecord& entry, bool selected) {
    entry.Selected = selected ? 1 : 0;
    NumberRows();
}

void CProjectSession::SelectAll() {
    for (CTplFileRecord& entry : core_.Files().Records()) {
        if (!entry.Deleted) {
            entry.Selected = 1;
        }
    }
    NumberRows();
}

void CProjectSession::NumberRows() {
    int row = 0;
    for (CTplFileRecord& entry : core_.Files().Records()) {
        entry.ListRow = -1;
        if (entry.Deleted) {
            continue;
        }
        if (!entry.Selected) {
            entry.RunStatus = static_cast<int>(RunStatus::Deactivated);
        } else if (entry.RunStatus == static_cast<int>(RunStatus::Deactivated)) {
            entry.RunStatus = static_cast<int>(RunStatus::Activated);
        }
        entry.ListRow = row++;
    }
}

}  // namespace pellandrix
