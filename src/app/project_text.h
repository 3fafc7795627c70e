#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/outcome.h"
#include "app/settings.h"
#include "store/project_record.h"
#include "store/tpl_file_list.h"

namespace pellandrix {

// A project and its template files as a plain UTF-8 text, for version
// control beside the templates: one setting a line ("Name=value"), the
// project first, then one block per file in list order, nothing that
// depends on the machine but the paths that lie outside the text's folder,
// and a closing line that tells a whole text from a cut one.
struct ProjectText {
    ProjectSettings project;
    std::vector<FileSettings> files;
};

// The text of `project` and the live entries of `files`. A path lies
// relative to `workDir` when it is relative; it is written relative to
// `base` (the folder of the text) when it lies under it, else absolute. A
// folder an entry takes from the project is not written.
std::string WriteProjectText(const CProjectRecord& project, const CTplFileList& files,
                             const std::string& base, const std::string& workDir);

// Reads a text WriteProjectText wrote. A relative path is taken relative to
// `base`; it comes back relative to `workDir` when it lies under it, else
// absolute. Refused, naming `source` (the text's file) and the line, when a
// line is not understood, a key comes twice in one block, something follows
// the closing line or no project is named; refused as cut short
// (kProjectTextCut) without the closing line.
Outcome ReadProjectText(std::string_view text, const std::string& base, const std::string& workDir,
                        const std::string& source, ProjectText* out);

}  // namespace pellandrix
