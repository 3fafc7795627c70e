#include "cli/json_lines.h"

#include <nlohmann/json.hpp>

namespace pellandrix::cli {

namespace {

// Objects keep their fields in the order written, so that "type" leads.
using Json = nlohmann::ordered_json;

// A database converted from an old program, or a file name on disk, may
// hold bytes that are no UTF-8; JSON cannot carry them, and a reader must
// never meet a line it cannot parse. They become U+FFFD.
void WriteLine(std::ostream& out, const Json& value) {
    out << value.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

Json NullWhenEmpty(const std::string& text) {
    return text.empty() ? Json() : Json(text);
}

const char* KindName(MessageKind kind) {
    switch (kind) {
        case MessageKind::Notice:
            return "notice";
        case MessageKind::Question:
            return "question";
        case MessageKind::Error:
            return "error";
    }
    return "";
}

const char* FindingKindName(SiteFinding::Kind kind) {
    switch (kind) {
        case SiteFinding::Kind::BrokenLink:
            return "link";
        case SiteFinding::Kind::StalePage:
            return "stale";
        case SiteFinding::Kind::MissingInclude:
            return "include";
    }
    return "";
}

Json HashJson(const std::optional<ContentHash>& hash) {
    return hash ? Json(HashText(hash)) : Json();
}

// The entry an action names: its id and name, or nulls for none.
void AddEntry(Json& object, int id, const std::string& name) {
    object["TPLFileId"] = id != 0 ? Json(id) : Json();
    object["TPLFileName"] = id != 0 ? Json(name) : Json();
}

Json ActionJson(const RecordAction& action) {
    const TraceStep& step = action.step;
    Json object;
    switch (step.op) {
        case TraceOp::Frame:
            object = {{"op", "template"},
                      {"path", step.path},
                      {"hash", HashJson(step.hash)},
                      {"output", step.other}};
            break;
        case TraceOp::Plain:
            object = {{"op", "read"}, {"path", step.path}, {"hash", HashJson(step.hash)}};
            break;
        case TraceOp::Include:
            object = {{"op", "include"}, {"name", step.other + ".tpl"}};
            AddEntry(object, step.entry, action.entryName);
            object["output"] = NullWhenEmpty(step.path);
            object["alwaysParse"] = (step.flags & TraceStep::kAlwaysParse) != 0;
            object["done"] = (step.flags & TraceStep::kDone) != 0;
            break;
        case TraceOp::Verbatim:
            object = {{"op", "verbatim"}, {"path", step.path}, {"hash", HashJson(step.hash)}};
            break;
        case TraceOp::Mark:
            object = {{"op", "mark"}};
            AddEntry(object, step.entry, action.entryName);
            object["marked"] = (step.flags & TraceStep::kMarked) != 0;
            break;
        case TraceOp::Written:
            object = {{"op", "write"}, {"path", step.path}, {"hash", HashJson(step.hash)}};
            break;
    }
    return object;
}

}  // namespace

void WriteProjectJson(std::ostream& out, const CProjectRecord& p) {
    WriteLine(out, {{"type", "project"},
                    {"ProjectId", p.ProjectId},
                    {"ProjectName", p.ProjectName.str()},
                    {"SourcePath", p.SourcePath.str()},
                    {"TargetPath", p.TargetPath.str()},
                    {"DefCreateFileExt", p.DefCreateFileExt.str()}});
}

void WriteFileJson(std::ostream& out, const CTplFileRecord& f) {
    WriteLine(out, {{"type", "file"},
                    {"TPLFileId", f.TPLFileId},
                    {"TPLFileName", f.TPLFileName.str()},
                    {"Selected", f.Selected != 0},
                    {"CreateFile", f.CreateFile != 0},
                    {"AlwaysParse", f.AlwaysParse != 0},
                    {"SourceFromProject", f.SourceFromProject != 0},
                    {"TargetFromProject", f.TargetFromProject != 0},
                    {"CreateFileExt", f.CreateFileExt.str()},
                    {"SourcePath", f.SourcePath.str()},
                    {"TargetPath", f.TargetPath.str()}});
}

void WriteStatusJson(std::ostream& out, const StatusLine& line) {
    WriteLine(out, {{"type", "status"},
                    {"TPLFileId", line.id},
                    {"TPLFileName", line.name},
                    {"status", line.status},
                    {"reason", line.reason ? Json(*line.reason) : Json()}});
}

void WritePlannedJson(std::ostream& out, const PlannedChange& change, std::string_view action) {
    WriteLine(out, {{"type", "planned"},
                    {"action", action},
                    {"path", change.path},
                    {"reason", change.reason}});
}

void WriteMessageJson(std::ostream& out, MessageKind kind, const std::string& text,
                      const std::vector<SourcePlace>& places) {
    Json where = Json::array();
    for (const SourcePlace& place : places) {
        where.push_back({{"path", place.path}, {"line", place.line}});
    }
    WriteLine(out,
              {{"type", "message"}, {"kind", KindName(kind)}, {"text", text}, {"places", where}});
}

void WriteFindingJson(std::ostream& out, const SiteFinding& finding) {
    WriteLine(out, {{"type", "finding"},
                    {"kind", FindingKindName(finding.kind)},
                    {"file", finding.file},
                    {"line", finding.line},
                    {"text", finding.text},
                    {"settled", finding.settled}});
}

void WriteRecordJson(std::ostream& out, const RunRecordView& record) {
    for (const RecordStep& step : record.steps) {
        Json actions = Json::array();
        for (const RecordAction& action : step.actions) {
            actions.push_back(ActionJson(action));
        }
        WriteLine(out, {{"type", "step"},
                        {"TPLFileId", step.entryId},
                        {"TPLFileName", step.entryName},
                        {"pass", step.pass},
                        {"readable", step.readable},
                        {"clean", step.clean},
                        {"actions", actions}});
    }
    for (const RecordOutput& output : record.outputs) {
        WriteLine(out, {{"type", "output"},
                        {"path", output.path},
                        {"hash", HashText(output.hash)},
                        {"TPLFileId", output.entryId},
                        {"TPLFileName", output.entryName},
                        {"pass", output.pass}});
    }
}

}  // namespace pellandrix::cli
