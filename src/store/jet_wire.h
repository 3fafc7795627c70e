#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/jet_import.h"

namespace pellandrix {

// How the process that reads a Jet file hands its result back through a
// pipe: either every table read (ReadJetTables), or the CDaoException that
// reading raised. The reader may have been fed a hostile file, so the
// receiving side trusts nothing of what arrives.

// The tables, as bytes for the pipe.
std::string EncodeJetTables(const std::vector<JetTableData>& tables);
// A refusal of the reader: its result code and message, as bytes.
std::string EncodeJetFailure(int code, std::string_view message);

// The tables in `bytes`; a refusal encoded by EncodeJetFailure is thrown
// again as the CDaoException it was. Bytes that are cut short, run on, or
// break the layout in any other way throw CDaoException with SQLITE_CORRUPT
// and never read outside `bytes`.
std::vector<JetTableData> DecodeJetReply(std::string_view bytes);

}  // namespace pellandrix
