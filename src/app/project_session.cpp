#include "app/project_session.h"

#include <limits>

#include "app/settings_checks.h"
#include "engine/generation_run.h"
#include "store/dao_transaction.h"
#include "support/stored_text.h"

namespace pellandrix {

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
    CProjectRecord* found = nullptr;
    if (Outcome resolved = Find(name, &found); !resolved) {
        return resolved;
    }
    current_ = found;
    LoadCurrentFiles();
    return {};
}

namespace {

// The id in "#ID", or nullopt when `text` is no such reference.
std::optional<int> IdReference(std::string_view text) {
    if (text.size() < 2 || text.size() > 10 || text.front() != '#') {
        return std::nullopt;
    }
    long long id = 0;
    for (const char c : text.substr(1)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        id = id * 10 + (c - '0');
    }
    return id <= std::numeric_limits<int>::max() ? std::optional<int>(static_cast<int>(id))
                                                 : std::nullopt;
}

// The records of `records` that `nameOrId` names: by id for "#ID", else by
// name; deleted ones never. `id` and `name` read a record's.
template <typename Records, typename Id, typename Name>
auto Named(Records& records, std::string_view nameOrId, Id id, Name name) {
    const std::optional<int> wanted = IdReference(nameOrId);
    std::vector<decltype(&*records.begin())> named;
    for (auto& record : records) {
        const bool match = wanted ? id(record) == *wanted : name(record) == nameOrId;
        if (!record.Deleted && match) {
            named.push_back(&record);
        }
    }
    return named;
}

// "#1, #4": the ids of the records a name is ambiguous between.
template <typename Named, typename Id>
std::string IdList(const Named& named, Id id) {
    std::string ids;
    for (const auto* record : named) {
        ids += (ids.empty() ? "#" : ", #") + std::to_string(id(*record));
    }
    return ids;
}

}  // namespace

Outcome CProjectSession::Find(std::string_view nameOrId, CProjectRecord** found) const {
    const auto id = [](const CProjectRecord& p) { return p.ProjectId; };
    const auto named = Named(core_.Projects().Records(), nameOrId, id,
                             [](const CProjectRecord& p) { return p.ProjectName.str(); });
    if (named.empty()) {
        return Outcome::Refuse(MessageId::kUnknownProject, ShownText(nameOrId));
    }
    if (named.size() > 1) {
        return Outcome::Refuse(MessageId::kProjectNameAmbiguous, ShownText(nameOrId),
                               IdList(named, id));
    }
    *found = named.front();
    return {};
}

Outcome CProjectSession::FindFile(std::string_view nameOrId, CTplFileRecord** found) const {
    const auto id = [](const CTplFileRecord& f) { return f.TPLFileId; };
    const auto named = Named(core_.Files().Records(), nameOrId, id,
                             [](const CTplFileRecord& f) { return f.TPLFileName.str(); });
    if (named.empty()) {
        return Outcome::Refuse(MessageId::kUnknownTemplateFile, ShownText(nameOrId),
                               current_ != nullptr ? current_->ProjectName.str() : std::string());
    }
    if (named.size() > 1) {
        return Outcome::Refuse(MessageId::kTemplateFileAmbiguous, ShownText(nameOrId),
                               IdList(named, id));
    }
    *found = named.front();
    return {};
}

Outcome CProjectSession::CheckNameFree(std::string_view name, const CProjectRecord* self) const {
    for (const CProjectRecord& project : core_.Projects().Records()) {
        if (!project.Deleted && &project != self && project.ProjectName.str() == name) {
            return Outcome::Refuse(MessageId::kProjectNameTaken, ShownText(name));
        }
    }
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
    if (named && name) {
        named = CheckNameFree(*name, project);
    }
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

Outcome CProjectSession::AddProject(ProjectSettings settings, int* created) {
    if (settings.extension.empty()) {
        settings.extension = ExtensionFor(CProjectRecord());
    }
    // Read, add and save as one unit, so that a second process adding at
    // the same moment neither loses its row nor gets the same id or name.
    return Atomically([&] {
        LoadProjects();
        return NewProject(
            [&] { return std::optional<std::string>(settings.name); },
            [&](CProjectRecord& project) { return ApplyProjectSettings(project, settings); },
            created);
    });
}

Outcome CProjectSession::ApplyProjectSettings(CProjectRecord& project,
                                              const ProjectSettings& settings) {
    if (Outcome checked = pellandrix::CheckProjectSettings(settings, core_.Extensions());
        !checked) {
        return checked;
    }
    if (Outcome free = CheckNameFree(settings.name, &project); !free) {
        return free;
    }
    project.ProjectName = settings.name;
    project.SourcePath = settings.sourcePath;
    project.TargetPath = settings.targetPath;
    project.DefCreateFileExt = settings.extension;
    core_.Files().ApplyProjectPaths(&project);
    return {};
}

ProjectSettings CProjectSession::SettingsOf(const CProjectRecord& project) const {
    return {project.ProjectName.str(), project.SourcePath.str(), project.TargetPath.str(),
            project.DefCreateFileExt.str()};
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
        DeleteProject(*project);
    }
}

void CProjectSession::DeleteProject(CProjectRecord& project) {
    project.Deleted = 1;
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
        CProjectRecord* existing = nullptr;
        const Outcome found = Find(settings.name, &existing);
        if (!found &&
            (found.Refused().id != MessageId::kUnknownProject || IdReference(settings.name))) {
            return found;
        }
        if (existing != nullptr) {
            // Addressed by "#ID", the project keeps its name.
            settings.name = existing->ProjectName.str();
            SaveFiles();
            current_ = existing;
            LoadCurrentFiles();
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
    // A deleted project's files and run record go with its row, in the
    // same transaction.
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
