#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/app_core.h"
#include "app/generate_options.h"
#include "app/outcome.h"
#include "app/project_text.h"
#include "app/run_record_text.h"
#include "app/settings.h"
#include "app/site_check.h"
#include "engine/run_files.h"
#include "engine/run_view.h"
#include "engine/source_place.h"
#include "store/run_record.h"

namespace pellandrix {

// The use cases of both programs on one project database: which project is
// current, what is added, changed, removed, generated and saved, and when the
// database is written. The desktop program and pellandrix-cli call these
// verbs and read the lists for display; neither writes a list or the database
// itself. A verb that refuses returns the refusal and changes nothing; none
// shows anything. Database errors leave as CDaoException.
//
// Borrows the started core, which must outlive the session.
class CProjectSession {
  public:
    explicit CProjectSession(CAppCore& core) : core_(core) {}
    CProjectSession(const CProjectSession&) = delete;
    CProjectSession& operator=(const CProjectSession&) = delete;

    // --- for display -------------------------------------------------------
    const CProjectList& Projects() const { return core_.Projects(); }
    const CTplFileList& Files() const { return core_.Files(); }
    const CFileExtList& Extensions() const { return core_.Extensions(); }
    // The project whose files the list holds, or null. Not owned.
    CProjectRecord* Current() const { return current_; }
    // The live entry shown in list row `row`, or null.
    CTplFileRecord* EntryAtRow(int row) const { return core_.Files().FindByListRow(row); }
    // The extension a file generated from `entry` of `project` gets: its
    // own, else the project's default (ExtensionFor the project).
    std::string ExtensionFor(const CTplFileRecord& entry, const CProjectRecord& project) const;
    // A project's default extension: its own, else the first one
    // fileext.def offers (empty when it offers none).
    std::string ExtensionFor(const CProjectRecord& project) const;
    // Numbers the live entries' rows 0, 1, ... in list order (-1 for dead
    // ones) and makes each status follow its tick: "deaktiviert" when
    // cleared, "aktiviert" when ticked unless a run got further. The window
    // calls it before it shows the list.
    //
    // The status stays an input of the next run: an included template that
    // is "fertig" and not always parsed has its page inserted as it is,
    // which is the run's specified include rule, not a display matter.
    void NumberRows();
    // Where a generation run is while it shows a message (see
    // CGenerationContext::Where); empty outside a run.
    std::vector<SourcePlace> RunPlace() const { return core_.Parser().Context().Where(); }

    // --- projects ----------------------------------------------------------
    // Reads every project of the database into the emptied project list;
    // then no project is current and the file list is empty.
    void LoadProjects();
    // Makes the first live project named `name` current: the files of the
    // project left are saved first, then the new project's files are loaded
    // (ListRow numbered 0, 1, ...). With no project of that name the file
    // list is emptied. Returns false, and writes nothing, when `name` names
    // the current project already.
    bool SwitchTo(std::string_view name);
    // For a program that works on one named project: loads the project list
    // and makes that project current. `name` is resolved by Find.
    Outcome Open(std::string_view name);
    // Resolves what the user calls a project: "#ID" names the live project
    // with that id, any other text the one live project of that name.
    // Refused when there is none (message 15), or when several live
    // projects share the name (message 59, with their ids), which a
    // database written by an older version may hold.
    Outcome Find(std::string_view nameOrId, CProjectRecord** found) const;
    // Refused (message 58) when a live project other than `self` is named
    // `name`: names are how both programs address projects.
    Outcome CheckNameFree(std::string_view name, const CProjectRecord* self = nullptr) const;

    // Creates a project: it takes the next id at once, then `askName` gives
    // its name (nullopt: cancelled; the id stays used and nothing else
    // happens). The new project becomes current (the files of the project
    // left are saved), `editSettings` may change its settings (through
    // ApplyProjectSettings), and then every project is saved. `created`
    // receives the new project's id when not null. Refused when the name
    // is empty, too long or taken (CheckNameFree), or when `editSettings` refuses: the project is
    // then taken out of the list again (its id stays used) and nothing of
    // it is saved.
    Outcome NewProject(const std::function<std::optional<std::string>()>& askName,
                       const std::function<Outcome(CProjectRecord&)>& editSettings,
                       int* created = nullptr);
    // Reads the projects, creates one with `settings` (an empty extension:
    // the first one fileext.def offers) and saves, as one transaction.
    Outcome AddProject(ProjectSettings settings, int* created);
    // Checks `settings` (field widths, an offered extension, texts the
    // store keeps as typed, a name no other project has) and stores them in `project`; its files
    // that take a folder from the project take the new one. Nothing is written to the database.
    Outcome ApplyProjectSettings(CProjectRecord& project, const ProjectSettings& settings);
    // What `project` stores, as the settings ApplyProjectSettings takes:
    // applying them unchanged changes nothing. A caller changes only the
    // fields the user named.
    ProjectSettings SettingsOf(const CProjectRecord& project) const;
    // Sets one folder of `project` at once (a folder chosen in the settings
    // dialog is kept even when the dialog is cancelled).
    Outcome SetProjectFolder(CProjectRecord& project, bool source, const std::string& folder);
    // Marks the first live project named `name` deleted and makes the first
    // live project current (saving the deleted project's files). The
    // project row goes at the next save of the project list.
    void DeleteProject(std::string_view name);
    // The same for `project`, however it was found (Find).
    void DeleteProject(CProjectRecord& project);

    // --- template files of the current project -----------------------------
    // Adds one entry per settings to the current project: all or none, with
    // the "from the project" rule of ApplyFileSettings. Each settings' name
    // and sourcePath give the template; one that is the same file (SameFile)
    // as a live entry's, or an earlier one's in `files`, is refused (message
    // 17), and so is every file when no project is current.
    // `unconfirmed` marks the new entries as not yet confirmed by the user.
    // `added` receives the new entries. Nothing is saved.
    Outcome AddTemplateFiles(const std::vector<FileSettings>& files, bool unconfirmed,
                             std::vector<CTplFileRecord*>* added = nullptr);
    // Adds the templates at `paths`, as typed or chosen, with `settings`
    // (whose name and sourcePath are ignored; an empty extension is
    // ExtensionFor's default). Each path is split (SplitTemplatePath). An
    // entry that takes its folder from the project must lie in that folder
    // (message 57 otherwise); the file the entry will name must exist
    // (message 18). With `unconfirmed` (the desktop program's way: a file
    // chooser's choice) neither is asked, and the entry keeps the folder the
    // file was chosen from until the user confirms its settings. Then as
    // AddTemplateFiles.
    Outcome AddTemplatePaths(const std::vector<std::string>& paths, const FileSettings& settings,
                             bool unconfirmed, std::vector<CTplFileRecord*>* added = nullptr);
    // Checks `settings` and stores them in `entry`; a folder taken from the
    // project is the project's, whatever `settings` says. Confirms the entry.
    Outcome ApplyFileSettings(CTplFileRecord& entry, const FileSettings& settings);
    // What `entry` stores, as the settings ApplyFileSettings takes (an
    // empty extension stays empty: the entry follows its project's).
    // `selected` is false, since applying it only ever selects.
    FileSettings SettingsOf(const CTplFileRecord& entry) const;
    // Resolves what the user calls an entry of the current project: "#ID"
    // names the live entry with that TPLFileId, any other text the one live
    // entry of that TPLFileName. Refused when there is none (message 87),
    // or when several share the name (message 88, with their ids).
    Outcome FindFile(std::string_view nameOrId, CTplFileRecord** found) const;
    // Marks `entry` deleted (its row goes at the next save of the files).
    void RemoveFile(CTplFileRecord& entry);
    // Ticks or clears an entry, or every live entry.
    void SetSelected(CTplFileRecord& entry, bool selected);
    void SelectAll();

    // Runs the generation over the current project's files; statuses and
    // progress go to `view`, which the run borrows only while it lasts.
    // `all` ticks every live entry first. Nothing is written to the database.
    void Generate(IRunView& view, bool all = false);
    // The same, as `options` say. Every run but a dry one also keeps, in
    // the database, the record of what each page was made from; with
    // `changed`, what did not change since is taken from it, leaving
    // exactly what a full run would (when in doubt, the work is done).
    // Entries left so read "unverändert". A dry run writes nothing at all.
    // `report`, when not null, receives the reasons and a dry run's changes.
    void Generate(IRunView& view, const GenerateOptions& options, GenerateReport* report);
    // The current project's record of its last run, ready for display;
    // empty without a current project or a record. Reads only.
    RunRecordView LastRun();
    // Changes whenever another program has committed to the database (this
    // program's own writes leave it as it is): while it stays, what was read
    // from the database is still what it holds. -1 when it cannot be read.
    std::int64_t ForeignCommits();
    // Whether the next run of the current project starts from the record
    // this session's last run saved (kept in memory, and the database still
    // holds it) rather than from one read back, which may be older.
    bool KeepsRecord() const;

    // Checks the current project's site as it is on disk and returns the
    // findings (see site_check.h), by kind, then by file and line: broken
    // links in the pages live entries keep, stale pages, missing includes.
    // Reads only, unless `options.removeStale`: then first, under the
    // database's write lock, every stale page that is exactly as a run
    // wrote it and that the output guard lets go is deleted, the record
    // forgets it, and its finding is settled. Nothing without a current
    // project.
    std::vector<SiteFinding> Check(const CheckOptions& options);

    // Makes the project `text` describes, under `name` when not empty: a
    // new one, or the live project of that name with its settings and its
    // whole file list replaced (its id stays). All or nothing, with the
    // checks of NewProject, ApplyProjectSettings and AddTemplateFiles, in
    // one transaction. `id` receives the project's id when not null.
    Outcome ImportProject(const ProjectText& text, const std::string& name, int* id = nullptr);

    // --- saving --------------------------------------------------------------
    // Runs `work` (which reads, changes and saves through the verbs above)
    // as one transaction under the database's write lock: what it reads is
    // what no other process changes before it saves. Committed when `work`
    // is done; rolled back when it refuses or throws.
    Outcome Atomically(const std::function<Outcome()>& work);
    // Writes every project.
    void SaveProjects();
    // Writes every project, then the current project's files.
    void Save();
    // Writes the current project's files.
    void SaveFiles();

  private:
    Outcome CheckFileSettings(const FileSettings& settings) const;
    // The file each live entry names, one FileIdentity each.
    std::unordered_set<std::string> LiveEntryKeys() const;
    // Refuses `file` when `taken` holds the file it will name already (a
    // live entry's, or one added before it); otherwise adds it.
    Outcome CheckDuplicate(const FileSettings& file, bool unconfirmed,
                           std::unordered_set<std::string>& taken) const;
    void StoreFileSettings(CTplFileRecord& entry, const FileSettings& settings) const;
    // The folder an entry made from `settings` names: the project's when it
    // takes it from there.
    std::string StoredFolder(const FileSettings& settings) const;
    Outcome SettingsForPath(const std::string& path, const FileSettings& common, bool unconfirmed,
                            FileSettings& file) const;
    void LoadCurrentFiles();
    // The record of the last run of `projectId`: the one this session
    // saved last while the database still holds it unchanged, or else as
    // loaded. `stamp` is the stamp taken before it was loaded; `found` what
    // that last run found at the paths it looked at, when the record is the
    // one kept (none when loaded).
    RunRecord TakeRecord(int projectId, RunRecordStamp& stamp, RunFindings& found);

    CAppCore& core_;
    CProjectRecord* current_ = nullptr;
    // What the last run saved, kept for the next: a long-lived program
    // (watch, serve, the desktop's automatic runs) then need not read the
    // record back from the database for every run.
    struct KeptRecord {
        int projectId = 0;
        RunRecordStamp stamp;
        RunRecord record;
        RunFindings found;
    };
    std::optional<KeptRecord> kept_;
};

}  // namespace pellandrix
