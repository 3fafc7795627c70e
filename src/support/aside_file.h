#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

#include "support/file_calls.h"

namespace pellandrix {

// Copies of files set aside in one unnamed temporary file, so that keeping
// thousands of them costs room on disk rather than memory until one is
// wanted back. The file has no name: it goes when the object does, and
// nothing is left behind by a crash either.
class CAsideFile {
  public:
    // Where one copy lies in the aside file.
    struct Piece {
        off_t offset = 0;
        std::size_t size = 0;
    };

    // Appends a copy of the regular file open for reading as `fd`, read from
    // where it stands to its end. nullopt when it cannot be read or the
    // copy cannot be written; the aside file then holds nothing more.
    std::optional<Piece> Keep(int fd);
    // The bytes of `piece`; nullopt when they cannot be read back.
    std::optional<std::string> Bytes(const Piece& piece) const;
    // Drops every copy.
    void Clear();

  private:
    bool Ready();

    CFileDescriptor fd_;
    off_t end_ = 0;
};

}  // namespace pellandrix
