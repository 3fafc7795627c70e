// Taking a step of a run from the record instead of doing it: every
// observation of the step's trace is checked in order against the run as it
// stands, with the step's own effects laid over it as they happen, and only
// when all still hold are the effects applied.
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/run_status.h"
#include "engine/step_recorder.h"
#include "engine/template_paths.h"
#include "support/text_file.h"

namespace pellandrix {

namespace {

// The causes a step's settings give for being done again, each naming the
// setting, the entry and the file concerned, as --explain shows them.
std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

std::string EntryGone(int id) {
    return "Eintrag " + std::to_string(id) + " entfernt";
}

std::string PathMoved(const std::string& what, const std::string& name, const std::string& then,
                      const std::string& now) {
    return what + " von " + Quoted(name) + " jetzt " + now + " statt " + then;
}

std::string FlagChanged(const std::string& setting, const CTplFileRecord& entry) {
    return setting + " von " + Quoted(entry.TPLFileName.str()) + " geändert";
}

std::string ContentReason(const std::string& path, const std::optional<ContentHash>& now,
                          const std::optional<ContentHash>& then) {
    if (!now) {
        return path + " fehlt";
    }
    return path + (then ? " geändert" : " neu");
}

}  // namespace

struct CStepRecorder::Replay {
    struct EntryState {
        int runStatus = 0;
        int standaloneDone = 0;
        bool marked = false;
    };

    CGenerationContext& context;
    CRunFiles& files;
    std::unordered_map<CTplFileRecord*, EntryState> entries;
    std::vector<std::pair<const TraceStep*, CTplFileRecord*>> writes;
    // By the paths of the trace's own steps, which outlive the replay: a
    // step's paths are not copied again.
    struct Text {
        const std::string* path;
        std::optional<ContentHash> hash;
    };
    std::unordered_map<std::string_view, Text> written;
    std::unordered_set<std::string_view> inPlace;
    std::string reason;

    EntryState& State(CTplFileRecord& entry) {
        const auto found = entries.find(&entry);
        if (found != entries.end()) {
            return found->second;
        }
        return entries[&entry] = {entry.RunStatus, entry.StandaloneDone, false};
    }

    std::optional<ContentHash> Current(const std::string& path) {
        const auto found = written.find(path);
        return found != written.end() ? found->second.hash : files.Current(path);
    }

    bool Fail(std::string why) {
        reason = std::move(why);
        return false;
    }

    bool Content(const TraceStep& step) {
        const std::optional<ContentHash> now = Current(step.path);
        return now == step.hash || Fail(ContentReason(step.path, now, step.hash));
    }

    bool Frame(const TraceStep& step) {
        CTplFileRecord* entry = context.EntryById(step.entry);
        if (entry == nullptr) {
            return Fail(EntryGone(step.entry));
        }
        const std::string source = JoinPath(entry->SourcePath, entry->TPLFileName);
        if (source != step.path) {
            return Fail(PathMoved("Vorlage", entry->TPLFileName.str(), step.path, source));
        }
        if (!Content(step)) {
            return false;
        }
        if (!step.hash) {
            return true;
        }
        const std::string output = OutputPath(*entry);
        if (output != step.other) {
            return Fail(PathMoved("Ausgabe", entry->TPLFileName.str(), step.other, output));
        }
        return TakesText(output, *entry);
    }

    // Whether writing `output` now would do what the record says: the
    // guard allows it, the writer takes the file, and no other page path
    // reaches it.
    bool TakesText(const std::string& output, const CTplFileRecord& entry) {
        if (files.KnownWritable(output)) {
            return true;
        }
        if (files.FoundWritable(output)) {
            // The file is as the last run found it; only where the
            // templates or target folders changed since is the guard asked
            // again.
            if (!context.Guard().SameAsBefore() &&
                context.WriteVerdict(output) != COutputGuard::Verdict::Allowed) {
                return Fail(output + " darf nicht geschrieben werden");
            }
            files.NoteWritable(output);
            return true;
        }
        // One look by the guard gives both the verdict and the place.
        const COutputGuard::Decision decision = context.Guard().DecideWrite(output);
        if (decision.verdict != COutputGuard::Verdict::Allowed) {
            return Fail(output + " darf nicht geschrieben werden");
        }
        if (!decision.place) {
            return Fail(entry.TargetPath.str() + " fehlt");
        }
        // A page reached through a link or a second name may be another
        // page: what was written there can not be told by path alone.
        // The guard's look at the page and the run's answer for its folder
        // stand in for the writer's own.
        if (!files.OwnFile(output) ||
            !CTextWriter::CanOpen(*decision.place, decision.status,
                                  files.FolderTakesFiles(*decision.place))) {
            return Fail(output + " kann so nicht geschrieben werden");
        }
        files.NoteWritable(output);
        return true;
    }

    // A page or file read as text must be one of its own that can be read.
    bool Readable(const TraceStep& step) {
        if (!files.Readable(step.path)) {
            return Fail(step.path + " kann so nicht gelesen werden");
        }
        return Content(step);
    }

    bool Include(const TraceStep& step) {
        CTplFileRecord* found = IncludedEntry(context.ByName(), step.other);
        if ((found != nullptr ? found->TPLFileId : 0) != step.entry) {
            const std::string now =
                found != nullptr ? "Eintrag " + std::to_string(found->TPLFileId) : "keinen Eintrag";
            return Fail("#include " + Quoted(step.other + ".tpl") + " findet jetzt " + now);
        }
        if (found == nullptr) {
            return true;
        }
        if ((found->AlwaysParse != 0) != ((step.flags & TraceStep::kAlwaysParse) != 0)) {
            return Fail(FlagChanged("AlwaysParse", *found));
        }
        if (IsDone(State(*found).runStatus) != ((step.flags & TraceStep::kDone) != 0)) {
            return Fail(Quoted(found->TPLFileName.str()) + " beim Einbinden " +
                        (IsDone(State(*found).runStatus) ? "schon" : "noch nicht") + " erzeugt");
        }
        const std::string output = OutputPath(*found);
        return output == step.path ||
               Fail(PathMoved("Ausgabe", found->TPLFileName.str(), step.path, output));
    }

    bool Mark(const TraceStep& step) {
        CTplFileRecord* entry = context.EntryById(step.entry);
        if (entry == nullptr) {
            return Fail(EntryGone(step.entry));
        }
        EntryState& state = State(*entry);
        const bool marked = MarksForRegeneration(*entry, state.standaloneDone);
        if (marked != ((step.flags & TraceStep::kMarked) != 0)) {
            return Fail(MarkReason(*entry, state));
        }
        if (marked) {
            state.standaloneDone = 0;
            state.runStatus = static_cast<int>(RunStatus::InProgress);
            state.marked = true;
        }
        return true;
    }

    // Why an include now marks `entry` for its own generation where it did
    // not before, or the other way round.
    static std::string MarkReason(const CTplFileRecord& entry, const EntryState& state) {
        const std::string name = Quoted(entry.TPLFileName.str());
        if (!entry.Selected) {
            return name + " nicht mehr ausgewählt";
        }
        if (!entry.CreateFile) {
            return FlagChanged("CreateFile", entry);
        }
        return name + " beim Einbinden " + (state.standaloneDone ? "schon" : "noch nicht") +
               " erzeugt";
    }

    bool Written(const TraceStep& step) {
        CTplFileRecord* entry = context.EntryById(step.entry);
        if (entry == nullptr) {
            return Fail(EntryGone(step.entry));
        }
        if (!step.hash) {
            return Fail(step.path + " fehlte nach dem Schreiben");
        }
        State(*entry).runStatus = static_cast<int>(RunStatus::Done);
        writes.emplace_back(&step, entry);
        written[step.path] = {&step.path, step.hash};
        return true;
    }

    // A file this step wrote last the time before must still hold that
    // text, or the step is done again to put it back.
    bool StillInPlace(std::pair<int, int> at) {
        for (const auto& [path, text] : written) {
            if (context.Memo()->WroteLast(*text.path, at.first, at.second)) {
                const std::optional<ContentHash> disk = files.OnDisk(*text.path);
                if (disk != text.hash) {
                    return Fail(*text.path + (disk ? " von Hand geändert" : " fehlt"));
                }
                inPlace.insert(path);
            }
        }
        return true;
    }

    bool Check(const Trace& trace, std::pair<int, int> at) {
        for (const TraceStep& step : trace.steps) {
            bool holds = true;
            switch (step.op) {
                case TraceOp::Frame:
                    holds = Frame(step);
                    break;
                case TraceOp::Plain:
                case TraceOp::Verbatim:
                    holds = Readable(step);
                    break;
                case TraceOp::Include:
                    holds = Include(step);
                    break;
                case TraceOp::Mark:
                    holds = Mark(step);
                    break;
                case TraceOp::Written:
                    holds = Written(step);
                    break;
            }
            if (!holds) {
                return false;
            }
        }
        return StillInPlace(at);
    }

    void Apply() {
        for (const auto& [step, entry] : writes) {
            if (files.Current(step->path) != step->hash) {
                context.MarkOverwritten(*entry);
            }
            // The last text a step put at a path is the one found in place.
            const bool last = written[step->path].hash == step->hash;
            files.NoteKept(step->path, *step->hash, last && inPlace.count(step->path) != 0);
            context.Memo()->NoteWriter(step->path);
        }
        for (auto& [entry, state] : entries) {
            entry->RunStatus = state.runStatus;
            entry->StandaloneDone = state.standaloneDone;
            if (state.marked && context.View() != nullptr) {
                context.View()->RefreshRowStatus(entry->ListRow);
            }
        }
    }
};

bool CStepRecorder::TakeRecorded(CTplFileRecord& entry, const Trace& trace) {
    CRunMemo& memo = *context_.Memo();
    Replay replay{context_, memo.Files(), {}, {}, {}, {}, {}};
    if (!replay.Check(trace, memo.Step())) {
        memo.NoteReason(entry.TPLFileId, replay.reason);
        return false;
    }
    replay.Apply();
    // The entry's own frame finishes last, so its text is the last written.
    std::optional<ContentHash> own;
    if (!replay.writes.empty() && replay.writes.back().second == &entry) {
        own = replay.writes.back().first->hash;
    }
    context_.SetLastOwnText(own);
    return true;
}

}  // namespace pellandrix
