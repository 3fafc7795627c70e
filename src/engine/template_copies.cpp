#include "engine/template_copies.h"

#include <sys/stat.h>

namespace pellandrix {

namespace {

// The copies kept in all, at most.
constexpr std::size_t kMaxCopiedBytes = 8 * 1024 * 1024;

}  // namespace

bool CTemplateCopies::OpenCopy(CTextReader& reader, const std::string& path) const {
    const auto found = copies_.find(path);
    if (found == copies_.end()) {
        return false;
    }
    // Looked at as opening it would: a link followed.
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        !(StampOf(st) == found->second.stamp)) {
        return false;
    }
    reader.OpenCopy(path, found->second.bytes, found->second.stamp);
    return true;
}

void CTemplateCopies::Keep(const std::string& path, const CTextReader& reader,
                           std::int64_t startedNs) {
    if (reader.IsCopy() || copies_.count(path) != 0) {
        return;
    }
    std::shared_ptr<const std::string> whole = reader.Whole();
    if (!whole || bytes_ + whole->size() > kMaxCopiedBytes) {
        return;
    }
    const FileStamp stamp = reader.Stamp();
    if (stamp.changedNs >= startedNs - settledNs_ || stamp.modifiedNs >= startedNs - settledNs_) {
        return;
    }
    bytes_ += whole->size();
    copies_.emplace(path, Copy{std::move(whole), stamp});
}

void CTemplateCopies::Clear() {
    copies_.clear();
    bytes_ = 0;
}

}  // namespace pellandrix
