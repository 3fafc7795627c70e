#pragma once

#include <string_view>

namespace pellandrix {

// Generation status of a template-file entry, shown in the file list.
enum class RunStatus : int {
    Deactivated = 0,
    Activated = 1,
    Waiting = 2,
    InProgress = 3,
    Done = 4,
    // The entry's own generated file was not put in place: its template
    // could not be read, the file could not be created or written, or the
    // run refused to write it. A message said why.
    Failed = 5,
    // An incremental run found nothing that the entry's page is made from
    // changed, and left the page as it was.
    Unchanged = 6,
};

// Done, or left unchanged by an incremental run (which a full run would
// have made Done): an include may copy the entry's generated file then.
inline bool IsDone(int status) {
    return status == static_cast<int>(RunStatus::Done) ||
           status == static_cast<int>(RunStatus::Unchanged);
}

// The text shown for `status` ("deaktiviert", ... "fertig", "Fehler"); the empty text
// for a value outside the enumeration.
std::string_view RunStatusText(int status);

}  // namespace pellandrix
