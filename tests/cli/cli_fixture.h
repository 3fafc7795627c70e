#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "testkit/files.h"
#include "testkit/temp_dir.h"

namespace pellandrix::testkit {

// Runs pellandrix-cli in-process on a temporary folder (-C) and keeps what
// it printed.
struct CliFixture {
    TempDir dir;
    std::string out;
    std::string err;

    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"-C", dir.Path().string()});
        std::ostringstream o;
        std::ostringstream e;
        const int status = cli::RunCli(args, o, e, false);
        out = o.str();
        err = e.str();
        return status;
    }

    std::vector<std::string> ErrLines() const { return Lines(err); }
    std::vector<std::string> OutLines() const { return Lines(out); }

    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    void Write(const std::string& name, const std::string& text) { WriteBytes(dir / name, text); }
};

}  // namespace pellandrix::testkit
