// site-floor LIST IN OUT: for every name in the file LIST (one a line),
// reads IN/NAME.html whole and writes it to OUT/NAME.html through the
// generator's text-mode writer, which is all a generation run must do for
// a page once its text is known. It substitutes and records nothing, so
// its time is the floor under a full run over the same pages.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/text_file.h"

namespace {

bool ReadWhole(const std::string& path, std::string& text) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    text.clear();
    char block[64 * 1024];
    ssize_t n = 0;
    while ((n = read(fd, block, sizeof block)) > 0) {
        text.append(block, static_cast<std::size_t>(n));
    }
    close(fd);
    return n == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: site-floor LIST IN OUT\n");
        return 2;
    }
    std::ifstream list(argv[1]);
    const std::string in = argv[2];
    const std::string out = argv[3];
    std::string name;
    std::string text;
    while (std::getline(list, name)) {
        if (name.empty()) {
            continue;
        }
        if (!ReadWhole(in + "/" + name + ".html", text)) {
            std::perror(name.c_str());
            return 1;
        }
        pellandrix::CTextWriter writer;
        if (!writer.Open(out + "/" + name + ".html")) {
            std::fprintf(stderr, "%s: cannot create\n", name.c_str());
            return 1;
        }
        writer.Write(text);
        if (!writer.Commit()) {
            std::fprintf(stderr, "%s: cannot write\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
