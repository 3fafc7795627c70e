// Missing includes: #include lines a run passes over because their file
// cannot be opened.
#include <optional>
#include <unordered_set>

#include "app/site_check.h"
#include "engine/directives.h"
#include "engine/template_paths.h"
#include "support/text_file.h"

namespace pellandrix {

namespace {

bool CanOpen(const std::string& path) {
    CTextReader reader;
    return reader.Open(path);
}

// Why the include named by `parts` would come to nothing in a run, or none.
std::optional<std::string> WhyMissing(const IncludeName& parts, const CTplFileList& files) {
    if (!IsTemplateInclude(parts)) {
        const std::string path = PlainIncludePath(parts);
        if (CanOpen(path)) {
            return std::nullopt;
        }
        return "die Datei " + path + " lässt sich nicht öffnen";
    }
    const std::string name = parts.name + ".tpl";
    const CTplFileRecord* entry = files.FindByName(name);
    if (entry == nullptr) {
        return "kein Eintrag des Projekts heißt " + name;
    }
    const std::string path = JoinPath(entry->SourcePath, entry->TPLFileName);
    if (CanOpen(path)) {
        return std::nullopt;
    }
    return "die Vorlage " + path + " lässt sich nicht öffnen";
}

// The argument as written, for the user: up to its closing quote.
std::string Written(const IncludeName& parts) {
    return parts.directory + parts.name + (parts.hasDot ? "." + parts.extension : "");
}

void CheckTemplate(const std::string& path, const CTplFileList& files,
                   std::vector<SiteFinding>& findings) {
    CTextReader reader;
    if (!reader.Open(path)) {
        return;  // a run names an unreadable template of its own
    }
    // Counted in chunks, as the run counts the lines of its messages.
    int line = 0;
    std::string_view chunk;
    while (reader.ReadChunk(&chunk)) {
        ++line;
        const std::optional<std::string_view> argument = IncludeLineArgument(chunk);
        if (!argument) {
            continue;
        }
        const IncludeName parts = SplitIncludeName(*argument);
        if (std::optional<std::string> why = WhyMissing(parts, files)) {
            findings.push_back({SiteFinding::Kind::MissingInclude, path, line,
                                "#include \"" + Written(parts) + "\": " + *why});
        }
    }
}

}  // namespace

std::vector<SiteFinding> FindMissingIncludes(const CTplFileList& files) {
    std::vector<SiteFinding> findings;
    std::unordered_set<std::string> read;
    for (const CTplFileRecord& entry : files.Records()) {
        const std::string path = JoinPath(entry.SourcePath, entry.TPLFileName);
        if (!entry.Deleted && read.insert(path).second) {
            CheckTemplate(path, files, findings);
        }
    }
    return findings;
}

}  // namespace pellandrix
