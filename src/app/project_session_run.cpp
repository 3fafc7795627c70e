// The generation verb of the session: a run with its record.
#include <sys/stat.h>

#include <algorithm>
#include <utility>

#include "app/project_session.h"
#include "app/run_key.h"
#include "app/run_record_text.h"
#include "engine/generation_run.h"
#include "engine/run_memo.h"
#include "engine/run_status.h"
#include "store/dao_exception.h"
#include "store/run_record.h"

namespace pellandrix {

namespace {

// The record only saves work: one that cannot be read is none, and one that
// cannot be written stays as it was. Either way nothing wrong can follow:
// a later run checks every observation of a step it takes against the files
// as they are then, the disk's copy of the pages included, whoever wrote
// them meanwhile (a run that died half-way, say).
RunRecord LoadRecord(CDaoDatabase& db, int projectId) {
    try {
        return LoadRunRecord(db, projectId);
    } catch (const CDaoException&) {
        return RunRecord{};
    }
}

void Planned(CRunMemo& memo, GenerateReport& report) {
    // Each file as the run knows it: a page written through a link to
    // another page is announced as the file the link leads to, once.
    for (const auto& [path, left] : memo.Files().Written()) {
        // A link still found at such a path is one the run replaces by the
        // page (a broken one) or deletes: it counts as there, and whatever
        // it leads to is no text of the path's own. A folder in the way is
        // neither replaced nor deleted.
        struct stat st;
        const bool there = ::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
        const bool link = there && S_ISLNK(st.st_mode);
        PlannedChange change;
        change.path = path;
        if (!left.hash) {
            if (!there) {
                continue;
            }
            change.kind = PlannedChange::Kind::Delete;
            change.reason = "nicht behalten";
        } else {
            if (there && !link && memo.Files().OnDisk(path) == left.hash) {
                continue;
            }
            change.kind = there ? PlannedChange::Kind::Replace : PlannedChange::Kind::Write;
            const auto writer = memo.WriterOf(path);
            change.reason = writer ? memo.ReasonFor(writer->first) : std::string();
        }
        report.planned.push_back(std::move(change));
    }
    std::sort(report.planned.begin(), report.planned.end(),
              [](const PlannedChange& a, const PlannedChange& b) { return a.path < b.path; });
}

RunInputs InputsOf(CRunMemo& memo) {
    RunInputs inputs;
    inputs.outputs.reserve(memo.Files().Written().size());
    for (const auto& [path, left] : memo.Files().Written()) {
        inputs.outputs.push_back(path);
    }
    for (const auto& [path, read] : memo.Reads()) {
        if (!memo.Files().Wrote(path)) {
            inputs.files.emplace(path, read.hash);
            inputs.changedDuringRun = inputs.changedDuringRun || read.differed;
        }
    }
    return inputs;
}

}  // namespace

void CProjectSession::Generate(IRunView& view, const GenerateOptions& options,
                               GenerateReport* report) {
    if (options.all) {
        SelectAll();
    }
    CDaoDatabase& db = core_.Database();
    const int projectId = current_ != nullptr ? current_->ProjectId : 0;
    RunRecordStamp loaded;
    RunFindings found;
    RunRecord record = TakeRecord(projectId, loaded, found);
    const std::string keyChange =
        current_ != nullptr ? RunKeyChange(record.key, *current_) : std::string();
    CRunMemo memo(std::move(record), current_ != nullptr ? RunKey(*current_) : "", options.changed,
                  options.dryRun, options.unchanged, std::move(found));
    memo.ExplainKeyChange(keyChange);
    const bool recording = !options.dryRun && current_ != nullptr;
    CTemplateParser& parser = core_.Parser();
    // Included templates report their statuses through the parser's view,
    // which must not outlive the run; nor may the memo.
    struct Scope {
        CTemplateParser& parser;
        ~Scope() {
            parser.SetView(nullptr);
            parser.SetMemo(nullptr);
        }
    } scope{parser};
    parser.SetView(&view);
    parser.SetMemo(&memo);
    if (report != nullptr && options.inputs) {
        memo.GatherReads();
    }
    RunGeneration(parser, view);
    // The inputs are taken once the record is made: what the run kept
    // meanwhile is gone already, which keeps a long-lived program's peak
    // memory lower.
    RunRecord after;
    std::optional<RunRecordStamp> saved;
    if (recording) {
        RunRecordChanges changes;
        after = memo.After(changes);
        try {
            saved = SaveRunRecord(db, projectId, after, changes);
        } catch (const CDaoException&) {
        }
    }
    if (report != nullptr && options.inputs) {
        report->inputs = InputsOf(memo);
    }
    // Kept only when no other program wrote the database between loading
    // and saving: then the database holds exactly `after`.
    if (saved && saved->dataVersion == loaded.dataVersion && saved->opening == loaded.opening) {
        kept_ = KeptRecord{projectId, *saved, std::move(after), memo.TakeFindings()};
    }
    if (report != nullptr) {
        for (const CTplFileRecord& entry : core_.Files().Records()) {
            if (!entry.Deleted && entry.Selected &&
                entry.RunStatus != static_cast<int>(RunStatus::Unchanged)) {
                report->reasons[entry.TPLFileId] = memo.ReasonFor(entry.TPLFileId);
            }
        }
        if (options.dryRun) {
            Planned(memo, *report);
        }
    }
}

RunRecord CProjectSession::TakeRecord(int projectId, RunRecordStamp& stamp, RunFindings& found) {
    std::optional<KeptRecord> kept = std::exchange(kept_, std::nullopt);
    CDaoDatabase& db = core_.Database();
    try {
        stamp = StampRunRecord(db);
    } catch (const CDaoException&) {
        return RunRecord{};
    }
    if (kept && kept->projectId == projectId && kept->stamp == stamp) {
        found = std::move(kept->found);
        return std::move(kept->record);
    }
    return LoadRecord(db, projectId);
}

std::int64_t CProjectSession::ForeignCommits() {
    try {
        return StampRunRecord(core_.Database()).dataVersion;
    } catch (const CDaoException&) {
        return -1;
    }
}

bool CProjectSession::KeepsRecord() const {
    if (!kept_ || current_ == nullptr || kept_->projectId != current_->ProjectId) {
        return false;
    }
    try {
        return StampRunRecord(core_.Database()) == kept_->stamp;
    } catch (const CDaoException&) {
        return false;
    }
}

RunRecordView CProjectSession::LastRun() {
    if (current_ == nullptr) {
        return {};
    }
    return ViewRunRecord(LoadRunRecord(core_.Database(), current_->ProjectId), core_.Files());
}

}  // namespace pellandrix
