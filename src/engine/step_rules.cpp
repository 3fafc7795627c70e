#include "engine/step_rules.h"

#include <string>

#include "engine/run_status.h"
#include "engine/template_paths.h"

namespace pellandrix {

std::string OutputPath(const CTplFileRecord& entry) {
    return GeneratedFilePath(entry.TargetPath, TemplateBaseName(entry.TPLFileName),
                             entry.CreateFileExt);
}

CTplFileRecord* IncludedEntry(const EntryIndex& byName, std::string_view name) {
    const auto found = byName.find(std::string(name) + ".tpl");
    return found != byName.end() ? found->second : nullptr;
}

bool InsertsVerbatim(const CTplFileRecord& included, int runStatus) {
    return !included.AlwaysParse && IsDone(runStatus);
}

bool MarksForRegeneration(const CTplFileRecord& included, int standaloneDone) {
    return standaloneDone && included.Selected && included.CreateFile;
}

}  // namespace pellandrix
