#include "app/run_record_text.h"

#include <algorithm>
#include <cstdio>

namespace pellandrix {

namespace {

std::string EntryName(const CTplFileList& files, int id) {
    for (const CTplFileRecord& entry : files.Records()) {
        if (!entry.Deleted && entry.TPLFileId == id) {
            return entry.TPLFileName.str();
        }
    }
    return "Eintrag " + std::to_string(id);
}

RecordStep ViewStep(int entryId, int pass, const std::string& bytes, const CTplFileList& files) {
    RecordStep view{entryId, EntryName(files, entryId), pass, true, true, {}};
    const std::optional<Trace> trace = DecodeTrace(bytes);
    view.readable = trace.has_value();
    if (!trace) {
        return view;
    }
    view.clean = trace->clean;
    for (const TraceStep& s : trace->steps) {
        view.actions.push_back({s, s.entry != 0 ? EntryName(files, s.entry) : std::string()});
    }
    return view;
}

std::string ActionLine(const RecordAction& action) {
    const TraceStep& step = action.step;
    switch (step.op) {
        case TraceOp::Frame:
            return "liest Vorlage " + step.path + " " + HashText(step.hash) + ", Ausgabe " +
                   step.other;
        case TraceOp::Plain:
            return "liest " + step.path + " " + HashText(step.hash);
        case TraceOp::Include: {
            if (step.entry == 0) {
                return "#include \"" + step.other + ".tpl\" findet keinen Eintrag";
            }
            std::string line = "#include \"" + step.other + ".tpl\" findet " + action.entryName +
                               " (Ausgabe " + step.path;
            if (step.flags & TraceStep::kAlwaysParse) {
                line += ", AlwaysParse";
            }
            if (step.flags & TraceStep::kDone) {
                line += ", schon erzeugt";
            }
            return line + ")";
        }
        case TraceOp::Verbatim:
            return "übernimmt " + step.path + " " + HashText(step.hash);
        case TraceOp::Mark:
            return ((step.flags & TraceStep::kMarked) ? "markiert " : "markiert nicht ") +
                   action.entryName;
        case TraceOp::Written:
            return "schreibt " + step.path + " " + HashText(step.hash);
    }
    return {};
}

}  // namespace

std::string HashText(const std::optional<ContentHash>& hash) {
    if (!hash) {
        return "fehlt";
    }
    char digits[33];
    std::snprintf(digits, sizeof digits, "%016llx%016llx",
                  static_cast<unsigned long long>(hash->high),
                  static_cast<unsigned long long>(hash->low));
    return digits;
}

RunRecordView ViewRunRecord(const RunRecord& record, const CTplFileList& files) {
    RunRecordView view;
    for (const auto& [step, bytes] : record.traces) {
        view.steps.push_back(ViewStep(step.first, step.second, bytes, files));
    }
    for (const auto& [path, output] : record.outputs) {
        view.outputs.push_back(
            {path, output.hash, output.fileId, EntryName(files, output.fileId), output.pass});
    }
    std::sort(view.outputs.begin(), view.outputs.end(),
              [](const RecordOutput& a, const RecordOutput& b) { return a.path < b.path; });
    return view;
}

std::string RunRecordText(const RunRecordView& view) {
    std::string text;
    for (const RecordStep& step : view.steps) {
        text += "Schritt " + step.entryName + ", Durchgang " + std::to_string(step.pass) + "\n";
        if (!step.readable) {
            text += "  nicht lesbar\n";
            continue;
        }
        if (!step.clean) {
            text += "  mit Meldungen\n";
        }
        for (const RecordAction& action : step.actions) {
            text += "  " + ActionLine(action) + "\n";
        }
    }
    if (!view.outputs.empty()) {
        text += "Dateien\n";
    }
    for (const RecordOutput& output : view.outputs) {
        text += "  " + output.path + " " + HashText(output.hash) + " von " + output.entryName +
                ", Durchgang " + std::to_string(output.pass) + "\n";
    }
    return text;
}

}  // namespace pellandrix
