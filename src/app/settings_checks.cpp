#include "app/settings_checks.h"

#include "store/project_record.h"
#include "store/tpl_file_record.h"
#include "support/fixed_text.h"
#include "support/printable_text.h"

namespace pellandrix {

namespace {

template <typename Field>
Outcome Fits(const std::string& text) {
    if (TextWidth(text) <= Field::kMaxLength) {
        return {};
    }
    return Outcome::Refuse(MessageId::kTextTooLong, text, std::to_string(Field::kMaxLength));
}

Outcome Printable(std::initializer_list<std::string_view> texts) {
    for (const std::string_view text : texts) {
        if (HoldsControlCharacter(text)) {
            return Outcome::Refuse(MessageId::kControlCharacter, std::string(text));
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
    return Outcome::Refuse(MessageId::kExtensionNotOffered, extension);
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
    return First({[&] { return Fits<ProjectName>(name); }, [&] { return Printable({name}); }});
}

Outcome CheckPath(const std::string& path) {
    return First({[&] { return Fits<ProjectPath>(path); }, [&] { return Printable({path}); }});
}

Outcome CheckProjectSettings(const ProjectSettings& s, const CFileExtList& offered) {
    return First({
        [&] { return Fits<ProjectName>(s.name); },
        [&] { return Fits<ProjectPath>(s.sourcePath); },
        [&] { return Fits<ProjectPath>(s.targetPath); },
        [&] { return Fits<ProjectExtension>(s.extension); },
        [&] { return Offered(s.extension, offered); },
        [&] {
            return Printable({s.name, s.sourcePath, s.targetPath, s.extension});
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
            return Printable({s.name, s.sourcePath, s.targetPath, s.extension});
        },
    });
}

}  // namespace pellandrix
