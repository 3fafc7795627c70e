// The commands that change or remove what add-project and add-file made.
// Each is the desktop program's session verb, run as one transaction so
// that it reads what it changes and changes all or nothing.
#include "cli/cli.h"
#include "cli/commands.h"

namespace pellandrix::cli {

namespace {

// The entry's settings as the session reads them, with what the options
// change; an option not given keeps what the entry stores.
FileSettings ChangedFileSettings(FileSettings file, const CliOptions& o) {
    file.createFile = o.create || (file.createFile && !o.noCreate);
    file.alwaysParse = o.alwaysParse || (file.alwaysParse && !o.noAlwaysParse);
    file.sourceFromProject = o.projectSource || (file.sourceFromProject && !o.ownSource);
    file.targetFromProject = o.projectTarget || (file.targetFromProject && !o.target);
    file.extension = o.ext.value_or(file.extension);
    file.sourcePath = o.source.value_or(file.sourcePath);
    file.targetPath = o.target.value_or(file.targetPath);
    return file;
}

Outcome SetFile(CommandContext& c, const CliOptions& o) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return opened;
    }
    CTplFileRecord* entry = nullptr;
    if (Outcome found = c.session.FindFile(o.arguments[1], &entry); !found) {
        return found;
    }
    if (Outcome applied = c.session.ApplyFileSettings(
            *entry, ChangedFileSettings(c.session.SettingsOf(*entry), o));
        !applied) {
        return applied;
    }
    if (o.select || o.unselect) {
        c.session.SetSelected(*entry, o.select);
    }
    c.session.SaveFiles();
    return {};
}

Outcome RemoveFiles(CommandContext& c, const CliOptions& o) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return opened;
    }
    // Every name is resolved before any entry goes: one unknown name
    // removes none.
    std::vector<CTplFileRecord*> entries;
    for (auto name = o.arguments.begin() + 1; name != o.arguments.end(); ++name) {
        CTplFileRecord* entry = nullptr;
        if (Outcome found = c.session.FindFile(*name, &entry); !found) {
            return found;
        }
        entries.push_back(entry);
    }
    for (CTplFileRecord* entry : entries) {
        c.session.RemoveFile(*entry);
    }
    c.session.SaveFiles();
    return {};
}

Outcome SetProject(CommandContext& c, const CliOptions& o) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return opened;
    }
    CProjectRecord& project = *c.session.Current();
    ProjectSettings settings = c.session.SettingsOf(project);
    settings.name = o.name.value_or(settings.name);
    settings.sourcePath = o.source.value_or(settings.sourcePath);
    settings.targetPath = o.target.value_or(settings.targetPath);
    settings.extension = o.ext.value_or(settings.extension);
    // The entries that follow the project take its new folders, as in the
    // project's settings dialog; both are saved together.
    if (Outcome applied = c.session.ApplyProjectSettings(project, settings); !applied) {
        return applied;
    }
    c.session.Save();
    return {};
}

Outcome RemoveProject(CommandContext& c, const CliOptions& o) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return opened;
    }
    c.session.DeleteProject(*c.session.Current());
    c.session.Save();
    return {};
}

int RunAtomically(CommandContext& c, const CliOptions& o,
                  Outcome (*verb)(CommandContext&, const CliOptions&)) {
    const Outcome outcome = c.session.Atomically([&] { return verb(c, o); });
    return outcome ? kExitOk : Refused(c, outcome);
}

}  // namespace

int SetFileCommand(CommandContext& c, const CliOptions& o) {
    return RunAtomically(c, o, SetFile);
}

int RemoveFileCommand(CommandContext& c, const CliOptions& o) {
    return RunAtomically(c, o, RemoveFiles);
}

int SetProjectCommand(CommandContext& c, const CliOptions& o) {
    return RunAtomically(c, o, SetProject);
}

int RemoveProjectCommand(CommandContext& c, const CliOptions& o) {
    return RunAtomically(c, o, RemoveProject);
}

}  // namespace pellandrix::cli
