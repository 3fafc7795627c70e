#pragma once

#include <string>
#include <string_view>

#include "engine/directives.h"

namespace pellandrix {

// `directory` and `name` joined by "/". An empty directory leaves the name
// relative to the current directory rather than making it absolute.
std::string JoinPath(std::string_view directory, std::string_view name);

// A template's file name without its extension: everything from the last
// dot on is dropped; a name without a dot is kept whole. The generated file
// and the clean-up of generated files both use this one rule, so that the
// clean-up always finds the file that was written.
std::string TemplateBaseName(std::string_view fileName);

// "<directory>/<base>.<extension>": where a generated file is written.
std::string GeneratedFilePath(std::string_view directory, std::string_view baseName,
                              std::string_view extension);

// Whether an #include names a template, which the run looks up among the
// live entries by "<name>.tpl", rather than a plain file it copies.
bool IsTemplateInclude(const IncludeName& parts);

// The file a plain #include names, as written between the quotes, with
// "\" turned into "/" so templates written on Windows keep working.
std::string PlainIncludePath(const IncludeName& parts);

}  // namespace pellandrix
