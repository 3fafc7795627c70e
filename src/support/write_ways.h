#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "support/content_hash.h"
#include "support/file_calls.h"
#include "support/file_place.h"
#include "support/temporary_file.h"

namespace pellandrix {

// Largest text a CTextWriter keeps in memory; a longer one goes on into
// its temporary file as it is written.
inline constexpr std::size_t kWriterMemoryLimit = 1024 * 1024;

// What the ways of writing one file share: where the text goes, and what
// went wrong on the way (kept until the file is opened again).
struct SWriteTarget {
    SFilePlace place;                 // the file to replace, a link to it resolved
    mode_t mode = 0;                  // the mode the new file gets
    CPlacement* placement = nullptr;  // not owned
    // Writing failed, or the temporary file could not be made or reopened.
    bool failed = false;
    // No temporary file could be created beside the target.
    bool createFailed = false;
    // Something was at the target when it was opened.
    bool found = false;
    // Commit put a new file at the target (the text was new, or no file
    // was there), rather than leaving the file there or writing into it.
    bool placedNew = false;
    // The hash of the text Commit put in place from memory (see
    // CTextWriter::CommittedHash).
    std::optional<ContentHash> textHash;
};

// Appends `text` to `out` with each line feed as CR LF: the form of a
// generated file.
void AppendTranslated(std::string& out, std::string_view text);

// One way of writing a CTextWriter's text. The writer holds one way at a
// time and hands every call to it. A call after which another way goes on
// (the text outgrows memory, a write fails, the writer is suspended or
// resumed) returns that way, which has taken over all text and files so
// far; the way called is spent then. Otherwise a call returns null.
class CWriteWay {
  public:
    using Next = std::unique_ptr<CWriteWay>;

    virtual ~CWriteWay() = default;
    // Appends `text`, each line feed as CR LF.
    virtual Next Write(std::string_view text) = 0;
    // Appends `bytes` as they are.
    virtual Next WriteAsIs(std::string_view bytes) = 0;
    // See CTextWriter::Suspend and Resume; whether resuming failed is left
    // in SWriteTarget::failed.
    virtual Next Suspend() = 0;
    virtual Next Resume() = 0;
    // Puts the text in place (see CTextWriter::Commit), after which the way
    // is spent. Text kept in memory is moved to `committed` once it is in
    // place.
    virtual bool Commit(std::optional<std::string>& committed) = 0;
    // The whole text, when it is still all in memory and no longer than
    // `limit`: handed over instead of put in place, after which the way is
    // spent. None otherwise; the way goes on as it was.
    virtual std::optional<std::string> TakeText(std::size_t) { return std::nullopt; }
};

// The ways a file starts in, chosen when it is opened; each leads on to
// the others by itself. `target` must outlive the way and every way it
// leads to.
//
// No file: calls do nothing, and Commit fails. One way shared by all
// writers, since it has no state.
CWriteWay& NoFileWay();
// A regular file at target.place (or none yet): the text waits in memory,
// and only one that differs from the file makes a temporary file. One
// past kWriterMemoryLimit goes on into its temporary file (on a thread of
// its own when one can be started); suspending moves it there too.
std::unique_ptr<CWriteWay> MemoryWay(SWriteTarget& target);
// A device or pipe, open as `device`: written into directly, by the
// bufferful; it stays open while the writer is suspended.
std::unique_ptr<CWriteWay> DeviceWay(SWriteTarget& target, CFileDescriptor device);

}  // namespace pellandrix
