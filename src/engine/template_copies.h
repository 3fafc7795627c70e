#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "support/content_hash.h"
#include "support/text_file.h"

namespace pellandrix {

// The texts of included templates as a full run read them, to read again
// from memory while each file is still as it was: a piece every page
// includes then costs one look at its file per page instead of opening,
// reading and closing it. A file counts as unchanged while its stamp (see
// FileStamp) is the one it had when it was read, and that stamp's change
// time lay safely before the reading began (as CRunFiles trusts a known
// hash), so that a change within the same clock tick cannot go unseen.
class CTemplateCopies {
  public:
    // Opens `reader` on the copy of the template at `path` when one is kept
    // and the file is still as it was. Returns false otherwise (the reader
    // is left alone).
    bool OpenCopy(CTextReader& reader, const std::string& path) const;
    // Keeps the text `reader` read of `path` (see CTextReader::Whole),
    // reading having begun at `startedNs`, within a few megabytes in all.
    void Keep(const std::string& path, const CTextReader& reader, std::int64_t startedNs);
    void Clear();
    // How long before a reading a file must have last changed for a copy
    // to be kept; kSettledNs unless lowered (for a test, which cannot wait).
    void SetSettledNs(std::int64_t ns) { settledNs_ = ns; }

    static constexpr std::int64_t kSettledNs = 2'000'000'000;

  private:
    struct Copy {
        std::shared_ptr<const std::string> bytes;
        FileStamp stamp;
    };
    std::unordered_map<std::string, Copy> copies_;
    std::size_t bytes_ = 0;
    std::int64_t settledNs_ = kSettledNs;
};

}  // namespace pellandrix
