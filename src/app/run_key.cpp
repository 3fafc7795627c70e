#include "app/run_key.h"

#include <array>
#include <optional>
#include <sstream>

#include "app/app_core.h"
#include "support/content_hash.h"

namespace pellandrix {

namespace {

// Bumped whenever what a run writes could change for the same inputs (a
// new program version may generate differently) or the record is laid out
// anew, so that no record of another version is trusted.
constexpr const char* kRecordVersion = "Pellandrix-Lauf 2";

// The extension file by its content, "-" when there is none. A FIFO or
// device in its place counts as none: HashFile opens without waiting for a
// writer and reads regular files only, so it neither stalls nor never ends.
std::string ExtensionsPart() {
    const std::optional<HashedFile> file = HashFile(kExtensionFileName);
    return file ? std::to_string(file->hash.low) + ':' + std::to_string(file->hash.high) : "-";
}

struct KeyPart {
    const char* setting;
    std::string value;
};

// The key's lines in order, each with the name of the setting it holds.
std::array<KeyPart, 7> KeyParts(const CProjectRecord& project) {
    return {{{"Programmversion", kRecordVersion},
             {"ProjectId", std::to_string(project.ProjectId)},
             {"ProjectName", project.ProjectName.str()},
             {"SourcePath", project.SourcePath.str()},
             {"TargetPath", project.TargetPath.str()},
             {"DefCreateFileExt", project.DefCreateFileExt.str()},
             {kExtensionFileName, ExtensionsPart()}}};
}

}  // namespace

std::string RunKey(const CProjectRecord& project) {
    std::string key;
    for (const KeyPart& part : KeyParts(project)) {
        key += (key.empty() ? "" : "\n") + part.value;
    }
    return key;
}

std::string RunKeyChange(const std::string& recorded, const CProjectRecord& project) {
    if (recorded.empty()) {
        return {};
    }
    std::istringstream lines(recorded);
    for (const KeyPart& part : KeyParts(project)) {
        std::string then;
        std::getline(lines, then);
        if (then == part.value) {
            continue;
        }
        // The extension list is known by its hash only: no values to show.
        if (part.setting == std::string(kExtensionFileName)) {
            return std::string(kExtensionFileName) + " geändert";
        }
        return std::string(part.setting) + " des Projekts jetzt \"" + part.value + "\" statt \"" +
               then + "\"";
    }
    return {};
}

}  // namespace pellandrix
