#include "app/settings_checks.h"

#include "store/project_record.h"
#include "store/tpl_file_record.h"
#include "support/fixed_text.h"
#include "support/stored_text.h"

namespace pellandrix {

namespace {

template <typename Field>
Outcome Fits(const std::string& text) {
    if (TextWidth(text) <= Field::kMaxLength) {
        return {};
    }
    return Outcome::Refuse(MessageId::kTextTooLong, ShownText(text),
                           std::to_string(Field::kMaxLength));
}

// Each text against the rule for what its part of a record may hold.
Outcome Acceptable(std::initializer_list<std::pair<std::string_view, TextRole>> texts) {
    for (const auto& [text, role] : texts) {
        if (const std::optional<MessageId> refusal = TextRefusal(text, role)) {
            return Outcome::Refuse(*refusal, ShownText(text));
        }
    }
    return {};
}

Outcome Offered(const std::string& extension, const CFileExtList& offered) {
    if (extension.empty() || offered.Empty()) {
        return {};
    }
    for (const CFileExtEntry& entry : offered) {
        if (entry.name == extension) {
            return {};
        }
    }
    return Outcome::Refuse(MessageId::kExtensionNotOffered, ShownText(extension));
}

// The first refusal of `outcomes`, or done.
Outcome First(std::initializer_list<std::function<Outcome()>> checks) {
    for (const auto& check : checks) {
        if (Outcome outcome = check(); !outcome) {
            return outcome;
        }
    }
    return {};
}

using ProjectName = decltype(CProjectRecord::ProjectName);
using ProjectPath = decltype(CProjectRecord::SourcePath);
using ProjectExtension = decltype(CProjectRecord::DefCreateFileExt);
using FileName = decltype(CTplFileRecord::TPLFileName);
using FilePath = decltype(CTplFileRecord::SourcePath);
using FileExtension = decltype(CTplFileRecord::CreateFileExt);

}  // namespace

Outcome CheckProjectName(const std::string& name) {
    if (name.empty()) {
        return Outcome::Refuse(MessageId::kUsageError, "leerer Projektname");
    }
    return First({[&] { return Fits<ProjectName>(name); },
                  [&] {
                      return Acceptable({{name, TextRole::kName}});
                  }});
}

Outcome CheckPath(const std::string& path) {
    return First({[&] { return Fits<ProjectPath>(path); },
                  [&] {
                      return Acceptable({{path, TextRole::kFolder}});
                  }});
}

Outcome CheckProjectSettings(const ProjectSettings& s, const CFileExtList& offered) {
    return First({
        [&] { return Fits<ProjectName>(s.name); },
        [&] { return Fits<ProjectPath>(s.sourcePath); },
        [&] { return Fits<ProjectPath>(s.targetPath); },
        [&] { return Fits<ProjectExtension>(s.extension); },
        [&] { return Offered(s.extension, offered); },
        [&] {
            return Acceptable({{s.name, TextRole::kName},
                               {s.sourcePath, TextRole::kFolder},
                               {s.targetPath, TextRole::kFolder},
                               {s.extension, TextRole::kExtension}});
        },
    });
}

Outcome CheckFileTexts(const FileSettings& s, const std::string& projectExtension,
                       const CFileExtList& offered) {
    const bool ownExtension = s.extension != projectExtension;
    return First({
        [&] { return Fits<FileName>(s.name); },
        [&] { return Fits<FilePath>(s.sourcePath); },
        [&] { return Fits<FilePath>(s.targetPath); },
        [&] { return Fits<FileExtension>(s.extension); },
        [&] { return ownExtension ? Offered(s.extension, offered) : Outcome(); },
        [&] {
            return Acceptable({{s.name, TextRole::kFileName},
                               {s.sourcePath, TextRole::kFolder},
                               {s.targetPath, TextRole::kFolder},
                               {s.extension, TextRole::kExtension}});
        },
    });
}

}  // namespace pellandrix
