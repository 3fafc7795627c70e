#include "engine/include_order.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "engine/directives.h"
#include "engine/step_rules.h"
#include "engine/template_paths.h"
#include "support/text_file.h"

namespace pellandrix {

namespace {

// The entries the template of `entry` may include, each once, in the order
// of their first #include line.
std::vector<CTplFileRecord*> IncludedBy(const CTplFileRecord& entry, const EntryIndex& index) {
    std::vector<CTplFileRecord*> included;
    CTextReader reader;
    if (!reader.Open(JoinPath(entry.SourcePath, entry.TPLFileName))) {
        return included;
    }
    std::unordered_set<const CTplFileRecord*> seen;
    std::string_view chunk;
    while (reader.ReadChunk(&chunk)) {
        const std::optional<std::string_view> argument = IncludeLineArgument(chunk);
        if (!argument) {
            continue;
        }
        const IncludeName parts = SplitIncludeName(*argument);
        if (!IsTemplateInclude(parts)) {
            continue;
        }
        CTplFileRecord* found = IncludedEntry(index, parts.name);
        if (found != nullptr && seen.insert(found).second) {
            included.push_back(found);
        }
    }
    return included;
}

}  // namespace

std::vector<CTplFileRecord*> IncludersFirst(const CTplFileList& files) {
    // As FindByName finds them: the first live entry of each name.
    EntryIndex index;
    for (CTplFileRecord& entry : files.Records()) {
        if (!entry.Deleted) {
            index.emplace(entry.TPLFileName.str(), &entry);
        }
    }
    // Depth first, without recursion (include chains may be thousands
    // deep); an entry is finished after everything it includes, so the
    // reverse of the finishing order puts includers first.
    struct Step {
        CTplFileRecord* entry;
        std::vector<CTplFileRecord*> included;
        std::size_t next = 0;
    };
    std::vector<CTplFileRecord*> finished;
    std::unordered_set<const CTplFileRecord*> visited;
    std::vector<Step> path;
    for (CTplFileRecord& root : files.Records()) {
        if (root.Deleted || !root.Selected || !visited.insert(&root).second) {
            continue;
        }
        path.push_back(Step{&root, IncludedBy(root, index)});
        while (!path.empty()) {
            Step& step = path.back();
            if (step.next == step.included.size()) {
                finished.push_back(step.entry);
                path.pop_back();
                continue;
            }
            CTplFileRecord* child = step.included[step.next++];
            if (visited.insert(child).second) {
                path.push_back(Step{child, IncludedBy(*child, index)});
            }
        }
    }
    return {finished.rbegin(), finished.rend()};
}

}  // namespace pellandrix
