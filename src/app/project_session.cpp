#include "app/project_session.h"

#include "app/settings_checks.h"
#include "engine/generation_run.h"
#include "store/dao_transaction.h"
#include "store/run_record.h"

namespace pellandrix {

namespace {

using FileName = decltype(CTplFileRecord::TPLFileName);
using FilePath = decltype(CTplFileRecord::SourcePath);

}  // namespace

// --- projects ----------------------------------------------------------------

void CProjectSession::LoadProjects() {
    // A fresh start on what the database holds: no project is current, and
    // records of an earlier load do not stay in front of the new ones.
    current_ = nullptr;
    core_.Files().Records().Clear();
    core_.Projects().Records().Clear();
    core_.Projects().LoadAll(core_.Database());
}

bool CProjectSession::SwitchTo(std::string_view name) {
    if (current_ != nullptr) {
        if (current_->ProjectName.str() == name) {
            return false;
        }
        SaveFiles();
    }
    current_ = core_.Projects().FindByName(name);
    if (current_ != nullptr) {
        LoadCurrentFiles();
    } else {
        // No project is named (the last one was deleted): its files were
        // saved above and must not stay on show as if they belonged to none.
        core_.Files().Records().Clear();
    }
    return true;
}

Outcome CProjectSession::Open(std::string_view name) {
    LoadProjects();
    current_ = core_.Projects().FindByName(name);
    if (current_ == nullptr) {
        return Outcome::Refuse(MessageId::kUnknownProject, std::string(name));
    }
    LoadCurrentFiles();
    return {};
}

void CProjectSession::LoadCurrentFiles() {
    core_.LoadProjectFiles(current_->ProjectId);
}

Outcome CProjectSession::NewProject(const std::function<std::optional<std::string>()>& askName,
                                    const std::function<Outcome(CProjectRecord&)>& editSettings,
                                    int* created) {
    CProjectList& projects = core_.Projects();
    CProjectRecord* project = projects.NewProject();
    const std::optional<std::string> name = askName();
    Outcome named = name ? CheckProjectName(*name) : Outcome();
    if (!name || !named) {
        // The id stays used: the counter is not wound back.
        projects.Remove(project);
        return named;
    }
    project->ProjectName = *name;
    // Not SwitchTo: that finds the first project of the name, which may be
    // an older namesake (even the current one, whose files would then go
    // unsaved). The new project becomes current whatever its name.
    SaveFiles();
    current_ = project;
    LoadCurrentFiles();
    if (Outcome edited = editSettings(*project); !edited) {
        current_ = nullptr;
        projects.Remove(project);
        core_.Files().Records().Clear();
        return edited;
    }
    SaveProjects();
    if (created != nullptr) {
        *created = project->ProjectId;
    }
    return {};
}

Outcome CProjectSession::ApplyProjectSettings(CProjectRecord& project,
                                              const ProjectSettings& settings) {
    if (Outcome checked = pellandrix::CheckProjectSettings(settings, core_.Extensions());
        !checked) {
        return checked;
    }
    project.ProjectName = settings.name;
    project.SourcePath = settings.sourcePath;
    project.TargetPath = settings.targetPath;
    project.DefCreateFileExt = settings.extension;
    core_.Files().ApplyProjectPaths(&project);
    return {};
}

Outcome CProjectSession::SetProjectFolder(CProjectRecord& project, bool source,
                                          const std::string& folder) {
    if (Outcome checked = CheckPath(folder); !checked) {
        return checked;
    }
    (source ? project.SourcePath : project.TargetPath) = folder;
    return {};
}

void CProjectSession::DeleteProject(std::string_view name) {
    if (CProjectRecord* project = core_.Projects().FindByName(name)) {
        project->Deleted = 1;
    }
    // The deleted project is still current, so this saves its files before
    // the first live project takes over.
    const CProjectRecord* first = nullptr;
    for (const CProjectRecord& project : core_.Projects().Records()) {
        if (!project.Deleted) {
            first = &project;
            break;
        }
    }
    SwitchTo(first != nullptr ? first->ProjectName.str() : std::string());
}

// --- template files ------------------------------------------------------------

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
        if (Outcome unique = CheckDuplicate(file, taken); !unique) {
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
    return {};
}

Outcome CProjectSession::CheckFileSettings(const FileSettings& file) const {
    return CheckFileTexts(file, current_ != nullptr ? current_->DefCreateFileExt.str() : "",
                          core_.Extensions());
}

namespace {

// A name and a folder as one key. Neither may hold a control character, so
// a line feed between them cannot make two pairs alike.
std::string EntryKey(std::string_view name, std::string_view folder) {
    std::string key(name);
    key += '\n';
    key += folder;
    return key;
}

}  // namespace

std::unordered_set<std::string> CProjectSession::LiveEntryKeys() const {
    std::unordered_set<std::string> keys;
    for (const CTplFileRecord& entry : core_.Files().Records()) {
        if (!entry.Deleted) {
            keys.insert(EntryKey(entry.TPLFileName.str(), entry.SourcePath.str()));
        }
    }
    return keys;
}

Outcome CProjectSession::CheckDuplicate(const FileSettings& file,
                                        std::unordered_set<std::string>& taken) const {
    // Compared as the record would store them, so that an over-long name or
    // path still matches its stored, cut form.
    const FileName name(file.name);
    const FilePath directory(file.sourcePath);
    if (taken.insert(EntryKey(name.str(), directory.str())).second) {
        return {};
    }
    return Outcome::Refuse(MessageId::kFileAlreadyInProject, name.str(),
                           current_ != nullptr ? current_->ProjectName.str() : std::string());
}

Outcome CProjectSession::ApplyFileSettings(CTplFileRecord& entry, const FileSettings& settings) {
    if (Outcome checked = CheckFileSettings(settings); !checked) {
        return checked;
    }
    StoreFileSettings(entry, settings);
    // Once the user has confirmed an entry's settings it is an ordinary
    // entry: cancelling its dialog later must not remove it.
    entry.Unconfirmed = 0;
    return {};
}

void CProjectSession::StoreFileSettings(CTplFileRecord& entry, const FileSettings& settings) const {
    entry.TPLFileName = settings.name;
    entry.CreateFile = settings.createFile ? 1 : 0;
    entry.AlwaysParse = settings.alwaysParse ? 1 : 0;
    entry.SourceFromProject = settings.sourceFromProject ? 1 : 0;
    entry.TargetFromProject = settings.targetFromProject ? 1 : 0;
    entry.CreateFileExt = settings.extension;
    // A folder taken from the project is the project's, whatever the
    // settings held: this is the one place that decides it.
    const CProjectRecord* project = current_;
    entry.SourcePath = settings.sourceFromProject && project != nullptr ? project->SourcePath.str()
                                                                        : settings.sourcePath;
    entry.TargetPath = settings.targetFromProject && project != nullptr ? project->TargetPath.str()
                                                                        : settings.targetPath;
    entry.Selected = settings.selected ? 1 : entry.Selected;
}

void CProjectSession::RemoveFile(CTplFileRecord& entry) {
    entry.Deleted = 1;
}

void CProjectSession::SetSelected(CTplFileRecord& entry, bool selected) {
    entry.Selected = selected ? 1 : 0;
}

void CProjectSession::SelectAll() {
    for (CTplFileRecord& entry : core_.Files().Records()) {
        if (!entry.Deleted) {
            entry.Selected = 1;
        }
    }
}

void CProjectSession::Generate(IRunView& view, bool all) {
    GenerateOptions options;
    options.all = all;
    Generate(view, options, nullptr);
}

// --- saving --------------------------------------------------------------------

Outcome CProjectSession::ImportProject(const ProjectText& text, const std::string& name, int* id) {
    ProjectSettings settings = text.project;
    if (!name.empty()) {
        settings.name = name;
    }
    return Atomically([&]() -> Outcome {
        LoadProjects();
        if (CProjectRecord* existing = core_.Projects().FindByName(settings.name)) {
            SwitchTo(settings.name);
            if (Outcome applied = ApplyProjectSettings(*existing, settings); !applied) {
                return applied;
            }
            for (CTplFileRecord& entry : core_.Files().Records()) {
                RemoveFile(entry);
            }
        } else {
            const Outcome created = NewProject(
                [&] { return std::optional<std::string>(settings.name); },
                [&](CProjectRecord& project) { return ApplyProjectSettings(project, settings); });
            if (!created) {
                return created;
            }
        }
        if (Outcome added = AddTemplateFiles(text.files, false); !added) {
            return added;
        }
        Save();
        if (id != nullptr) {
            *id = current_->ProjectId;
        }
        return {};
    });
}

Outcome CProjectSession::Atomically(const std::function<Outcome()>& work) {
    CDaoTransaction transaction(core_.Database());
    Outcome outcome = work();
    if (outcome) {
        transaction.Commit();
    }
    return outcome;
}

void CProjectSession::SaveProjects() {
    // A deleted project's record goes with its row, so that a project that
    // later takes the id does not inherit what it never wrote.
    for (const CProjectRecord& project : core_.Projects().Records()) {
        if (project.Deleted) {
            DeleteRunRecord(core_.Database(), project.ProjectId);
        }
    }
    core_.Projects().SaveAll(core_.Database());
}

void CProjectSession::Save() {
    if (current_ == nullptr) {
        SaveProjects();
        return;
    }
    core_.Projects().SaveProjectAndFiles(core_.Database(), current_->ProjectId, core_.Files());
}

void CProjectSession::SaveFiles() {
    if (current_ != nullptr) {
        core_.Files().SaveAll(core_.Database(), current_->ProjectId);
    }
}

}  // namespace pellandrix
