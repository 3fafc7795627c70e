#pragma once

#include <string>

namespace pellandrix {

// What a long-lived caller that watches the files (watch, serve, the
// desktop's automatic runs) knows and a run cannot: the paths that nothing
// has touched since the run whose record the next run starts from began.
// For such a path the next run may trust what that run found there (its
// text by hash, its kind, its links and its modes) without looking at the
// disk again.
class IUnchangedPaths {
  public:
    virtual ~IUnchangedPaths() = default;
    // True only when the caller is sure: the path and every folder on its
    // way were watched from before that run began until now, and no event
    // touched them (and none was lost, say by an overflowing queue). Any
    // doubt answers false, and the run looks at the disk.
    virtual bool Unchanged(const std::string& path) const = 0;
};

}  // namespace pellandrix
