#pragma once

#include <string>
#include <vector>

#include "store/jet_import.h"

namespace pellandrix {

// ReadJetTables, run in a child process of its own, so that a hostile or
// damaged Jet file can crash or stall libmdb (which was not written for such
// input) without taking the program with it.
//
// The child reads the file and sends the tables back through a pipe
// (EncodeJetTables). It runs under limits: CPU time, address space (left
// out in a build under AddressSanitizer, which reserves more), no file may
// be written or grow, none opened once the Jet file is open, no core dump,
// no further process; its standard
// streams go to /dev/null, so libmdb's warnings never reach the program's
// output. A child that takes longer than the time limit is killed.
//
// Returns the tables as ReadJetTables returns them; a refusal of
// ReadJetTables leaves as the same CDaoException. A child that dies by a
// signal, runs out of a limit, is killed or sends a broken reply throws
// CDaoException with SQLITE_CORRUPT and a German cause beginning "die alte
// Datenbank ist beschädigt". Nothing is left behind: the child is waited
// for in every case, and the file is only ever read.
std::vector<JetTableData> ReadJetTablesApart(const std::string& path,
                                             const std::vector<std::string>& tables);

}  // namespace pellandrix
