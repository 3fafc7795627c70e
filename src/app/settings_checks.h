#pragma once

#include <string>

#include <functional>
#include <initializer_list>

#include "app/outcome.h"
#include "app/settings.h"
#include "support/file_extensions.h"

namespace pellandrix {

// The checks of what a user hands over before it goes into a record: what
// the record could not hold whole, what no record may hold (TextRefusal:
// control characters, text that is not UTF-8, a file name or extension
// that names a folder), and an extension the
// project's extension list does not offer. Each
// returns the first refusal, in the order the fields are listed.

// A new project's name: not empty, and no longer than the record holds.
Outcome CheckProjectName(const std::string& name);
// A folder for a project or an entry.
Outcome CheckPath(const std::string& path);
// A project's settings. An extension must be offered (when `offered` lists
// any) unless it is empty.
Outcome CheckProjectSettings(const ProjectSettings& settings, const CFileExtList& offered);
// An entry's settings. Its extension must be offered, unless it is empty or
// the project's own default `projectExtension`, which the project already
// holds.
Outcome CheckFileTexts(const FileSettings& settings, const std::string& projectExtension,
                       const CFileExtList& offered);

}  // namespace pellandrix
