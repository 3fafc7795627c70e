// Writes the test-only Jet writer's sample project databases into a folder,
// as seeds for the Jet reader's fuzz harness and for fuzz/jet_mutants.sh.
//   jet_samples FOLDER
#include <filesystem>
#include <iostream>
#include <string>

#include "testkit/files.h"
#include "testkit/jet_file.h"

int main(int argc, char** argv) {
    using namespace pellandrix::testkit;
    if (argc != 2) {
        std::cerr << "usage: jet_samples FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::filesystem::create_directories(folder);
    for (const JetVersion version : {JetVersion::kJet3, JetVersion::kJet4}) {
        const std::string stem = version == JetVersion::kJet3 ? "jet3" : "jet4";
        WriteBytes((folder / (stem + "-3.mdb")).string(),
                   JetFileBytes(version, SampleProjectJetTables(3)));
        WriteBytes((folder / (stem + "-40.mdb")).string(),
                   JetFileBytes(version, SampleProjectJetTables(40)));
        WriteBytes((folder / (stem + "-old.mdb")).string(),
                   JetFileBytes(version, SampleProjectJetTables(2, false)));
    }
    return 0;
}
