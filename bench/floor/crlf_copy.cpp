// crlf-copy FILE: writes FILE to standard output line by line, every line
// ending in CR LF, and substitutes nothing.
//
// cat is the floor of copying bytes, and on Linux it hands the whole copy
// to the kernel (copy_file_range) without the bytes ever reaching it. A
// generator that writes text-mode pages cannot do that: it must look at
// every line end, to drop a CR before the LF when reading and to put one
// there when writing. This is the least that costs, measured beside cat
// and pellandrix-cli so that the distance between them can be told apart
// from the distance that text mode alone puts between any generator and
// cat. One thread, the reader's and writer's block sizes of pellandrix-cli,
// and its routine for writing a block.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "support/write_behind.h"

namespace {

constexpr std::size_t kReadSize = 64 * 1024;
constexpr std::size_t kWriteSize = 512 * 1024;

// Appends [begin, end) to out, every LF (and a CR LF) becoming CR LF.
// Returns where the caller's block ends now.
char* Translate(const char* begin, const char* end, char* out) {
    while (begin < end) {
        const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', end - begin));
        const char* stop = lf == nullptr ? end : lf;
        std::size_t length = static_cast<std::size_t>(stop - begin);
        if (lf != nullptr && length > 0 && stop[-1] == '\r') {
            --length;
        }
        std::memcpy(out, begin, length);
        out += length;
        if (lf == nullptr) {
            break;
        }
        *out++ = '\r';
        *out++ = '\n';
        begin = lf + 1;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: crlf-copy FILE\n");
        return 2;
    }
    const int in = open(argv[1], O_RDONLY);
    if (in < 0) {
        std::perror(argv[1]);
        return 1;
    }
    // A block of input can double at most (all LFs), plus a CR held back.
    std::vector<char> input(kReadSize + 1);
    std::vector<char> output(kWriteSize + 2 * kReadSize + 2);
    std::size_t held = 0;  // a CR at the end of the last block, its LF unseen
    std::size_t pending = 0;
    for (;;) {
        const ssize_t n = read(in, input.data() + held, kReadSize);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            std::perror(argv[1]);
            return 1;
        }
        std::size_t have = held + static_cast<std::size_t>(n);
        held = n > 0 && have > 0 && input[have - 1] == '\r' ? 1 : 0;
        char* end = Translate(input.data(), input.data() + have - held, output.data() + pending);
        pending = static_cast<std::size_t>(end - output.data());
        if (n == 0 || pending >= kWriteSize) {
            if (!pellandrix::WriteAll(1, output.data(), pending)) {
                std::perror("write");
                return 1;
            }
            pending = 0;
        }
        if (n == 0) {
            return 0;
        }
        if (held != 0) {
            input[0] = '\r';
        }
    }
}
