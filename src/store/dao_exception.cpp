#include "store/dao_exception.h"

#include <sqlite3.h>

namespace pellandrix {

void ThrowEngineError(sqlite3* db, int rc) {
    // The extended code only refines the primary one; callers compare
    // against the primary codes, so keep those.
    const int primary = rc & 0xff;
    std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    throw CDaoException(primary, std::move(message));
}

void ThrowLayerError(int code, std::string message) {
    throw CDaoException(code, std::move(message));
}

}  // namespace pellandrix
