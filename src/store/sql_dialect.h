#pragma once

#include <string>
#include <string_view>

namespace pellandrix {

// The program writes its SQL in the dialect of its original database engine
// and keeps it that way everywhere. These two rewrites, applied by the
// database layer just before a statement reaches SQLite, are the only
// places where the dialects differ for the statements the store sends.

// "delete * from ..." (any case, any blanks) becomes "delete from ...";
// any other statement comes back unchanged.
std::string ToEngineDelete(std::string_view sql);

// A select without an ORDER BY gets " order by Id" before its closing ";"
// (or at its end), so rows come in ascending Id, the order of insertion,
// as the loads expect. Any other statement comes back unchanged.
std::string ToEngineSelect(std::string_view sql);

}  // namespace pellandrix
