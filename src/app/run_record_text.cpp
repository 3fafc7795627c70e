#include "app/run_record_text.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "engine/run_trace.h"

namespace pellandrix {

namespace {

std::string Hex(const std::optional<ContentHash>& hash) {
    if (!hash) {
        return "fehlt";
    }
    char digits[33];
    std::snprintf(digits, sizeof digits, "%016llx%016llx",
                  static_cast<unsigned long long>(hash->high),
                  static_cast<unsigned long long>(hash->low));
    return digits;
}

std::string EntryName(const CTplFileList& files, int id) {
    for (const CTplFileRecord& entry : files.Records()) {
        if (!entry.Deleted && entry.TPLFileId == id) {
            return entry.TPLFileName.str();
        }
    }
    return "Eintrag " + std::to_string(id);
}

std::string StepLine(const TraceStep& step, const CTplFileList& files) {
    switch (step.op) {
        case TraceOp::Frame:
            return "liest Vorlage " + step.path + " " + Hex(step.hash) + ", Ausgabe " + step.other;
        case TraceOp::Plain:
            return "liest " + step.path + " " + Hex(step.hash);
        case TraceOp::Include: {
            if (step.entry == 0) {
                return "#include \"" + step.other + ".tpl\" findet keinen Eintrag";
            }
            std::string line = "#include \"" + step.other + ".tpl\" findet " +
                               EntryName(files, step.entry) + " (Ausgabe " + step.path;
            if (step.flags & TraceStep::kAlwaysParse) {
                line += ", AlwaysParse";
            }
            if (step.flags & TraceStep::kDone) {
                line += ", schon erzeugt";
            }
            return line + ")";
        }
        case TraceOp::Verbatim:
            return "übernimmt " + step.path + " " + Hex(step.hash);
        case TraceOp::Mark:
            return ((step.flags & TraceStep::kMarked) ? "markiert " : "markiert nicht ") +
                   EntryName(files, step.entry);
        case TraceOp::Written:
            return "schreibt " + step.path + " " + Hex(step.hash);
    }
    return {};
}

}  // namespace

std::string RunRecordText(const RunRecord& record, const CTplFileList& files) {
    std::string text;
    for (const auto& [step, bytes] : record.traces) {
        text += "Schritt " + EntryName(files, step.first) + ", Durchgang " +
                std::to_string(step.second) + "\n";
        const std::optional<Trace> trace = DecodeTrace(bytes);
        if (!trace) {
            text += "  nicht lesbar\n";
            continue;
        }
        if (!trace->clean) {
            text += "  mit Meldungen\n";
        }
        for (const TraceStep& s : trace->steps) {
            text += "  " + StepLine(s, files) + "\n";
        }
    }
    // The files in path order, so that two records compare line by line.
    std::vector<std::pair<std::string, RunRecord::Output>> outputs(record.outputs.begin(),
                                                                   record.outputs.end());
    std::sort(outputs.begin(), outputs.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    if (!outputs.empty()) {
        text += "Dateien\n";
    }
    for (const auto& [path, output] : outputs) {
        text += "  " + path + " " + Hex(output.hash) + " von " + EntryName(files, output.fileId) +
                ", Durchgang " + std::to_string(output.pass) + "\n";
    }
    return text;
}

}  // namespace pellandrix
