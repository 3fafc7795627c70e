// The Jet reader on a file holding the input, as a conversion runs it: in a
// child process of its own (ReadJetTablesApart). Seeded with the test-only
// Jet writer's samples (jet_samples, made by fuzz/run.sh).
//
// Checked: whatever libmdb does with the file, this process lives on and
// gets tables or a refusal; every row has one value per column; the file
// stays as it was and nothing is left beside it. The input taken as a
// reply of the child (DecodeJetReply) is refused or read, never read
// beyond.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz_support.h"
#include "store/dao_exception.h"
#include "store/jet_child.h"
#include "store/jet_wire.h"

using namespace pellandrix;
using namespace pellandrix::fuzz;

namespace {

bool RowsFit(const std::vector<JetTableData>& tables) {
    for (const JetTableData& table : tables) {
        for (const std::vector<JetValue>& row : table.rows) {
            if (row.size() != table.columns.size()) {
                return false;
            }
        }
    }
    return true;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& dir = ScratchDir();
    EmptyDir(dir);
    const std::string path = dir + "/Pellandrix.mdb";
    const std::string_view input = AsText(data, size);
    WriteFile(path, input);

    try {
        const std::vector<JetTableData> tables = ReadJetTablesApart(path, {"project", "TPLFile"});
        FUZZ_CHECK(tables.size() == 2, "both tables or a refusal");
        FUZZ_CHECK(RowsFit(tables), "one value per column");
    } catch (const CDaoException&) {
    }
    FUZZ_CHECK(Contents(path) == input, "the Jet file is only read");
    FUZZ_CHECK(std::distance(std::filesystem::directory_iterator(dir),
                             std::filesystem::directory_iterator()) == 1,
               "nothing left beside it");

    try {
        FUZZ_CHECK(RowsFit(DecodeJetReply(input)), "a decoded reply has one value per column");
    } catch (const CDaoException&) {
    }
    return 0;
}
