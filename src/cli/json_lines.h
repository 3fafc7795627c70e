#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/generate_options.h"
#include "app/run_record_text.h"
#include "app/site_check.h"
#include "engine/source_place.h"
#include "store/project_record.h"
#include "store/tpl_file_record.h"
#include "support/message_service.h"

namespace pellandrix::cli {

// One status line of generate, as the text line and the JSON object both
// say it.
struct StatusLine {
    int id = 0;
    std::string name;
    std::string_view status;            // RunStatusText
    std::optional<std::string> reason;  // why it was generated; none: it was not
};

// Each function writes one object (record: one per step and per file) as
// a line of JSON Lines on `out`: compact, UTF-8, with "type" first and the
// field names the README lists. Texts go out as stored; bytes in them that
// are no valid UTF-8 become U+FFFD, so that every line stays valid JSON.
void WriteProjectJson(std::ostream& out, const CProjectRecord& project);
void WriteFileJson(std::ostream& out, const CTplFileRecord& file);
void WriteStatusJson(std::ostream& out, const StatusLine& line);
// A dry run's planned change; `action` as the text line names it.
void WritePlannedJson(std::ostream& out, const PlannedChange& change, std::string_view action);
// A message with its places, innermost first (line 0: the file as a whole).
void WriteMessageJson(std::ostream& out, MessageKind kind, const std::string& text,
                      const std::vector<SourcePlace>& places);
void WriteFindingJson(std::ostream& out, const SiteFinding& finding);
void WriteRecordJson(std::ostream& out, const RunRecordView& record);

}  // namespace pellandrix::cli
