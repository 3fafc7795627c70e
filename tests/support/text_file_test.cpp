#include "support/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/file_place.h"
#include "testkit/faults.h"
#include "testkit/files.h"
#include "testkit/temp_dir.h"

namespace pellandrix {
namespace {

using testkit::ReadBytes;
using testkit::TempDir;
using testkit::WriteBytes;

// A time stamp long past: anything that changes a file or a folder's
// entries afterwards moves its time stamp away from it.
constexpr time_t kSetBack = 1000000000;

void SetBack(const std::filesystem::path& path) {
    const struct timespec times[2] = {{kSetBack, 0}, {kSetBack, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

struct stat StatOf(const std::filesystem::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

std::ptrdiff_t Entries(const TempDir& dir) {
    return std::distance(std::filesystem::directory_iterator(dir.Path()),
                         std::filesystem::directory_iterator());
}

std::vector<std::string> Chunks(const std::string& path) {
    CTextReader reader;
    EXPECT_TRUE(reader.Open(path));
    std::vector<std::string> out;
    std::string chunk;
    while (reader.ReadChunk(chunk)) {
        out.push_back(chunk);
    }
    return out;
}

TEST(TextReader, TranslatesCrLfAndKeepsOtherBytes) {
    TempDir dir;
    WriteBytes(dir / "t", std::string("a\r\nb\rc\n\r\nx\0y\r", 13));
    EXPECT_EQ(Chunks(dir / "t"),
              (std::vector<std::string>{"a\n", "b\rc\n", "\n", std::string("x\0y\r", 4)}));
}

TEST(TextReader, LongLinesArriveInChunksOf999) {
    TempDir dir;
    WriteBytes(dir / "t", std::string(2500, 'x') + "\r\nend");
    const auto chunks = Chunks(dir / "t");
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[0].size(), 999u);
    EXPECT_EQ(chunks[1].size(), 999u);
    EXPECT_EQ(chunks[2], std::string(502, 'x') + "\n");
    EXPECT_EQ(chunks[3], "end");
}

TEST(TextReader, CrLfAcrossTheReadBlockBoundaryIsOneLineEnd) {
    TempDir dir;
    // 64 KiB blocks: put the CR as the last byte of the first block.
    std::string text;
    while (text.size() < 64 * 1024 - 1) {
        text += std::string(99, 'q') + "\n";
    }
    text.resize(64 * 1024 - 1);
    text += "\r\nz";
    WriteBytes(dir / "t", text);
    std::string joined;
    for (const auto& c : Chunks(dir / "t")) {
        joined += c;
    }
    EXPECT_EQ(joined, text.substr(0, 64 * 1024 - 1) + "\nz");
}

// The text-mode rule byte by byte: a CR directly before an LF is dropped,
// a chunk ends after an LF or at 999 bytes.
std::vector<std::string> ChunksByTheRule(const std::string& raw) {
    std::vector<std::string> out;
    std::string chunk;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            c = '\n';
            ++i;
        }
        chunk += c;
        if (c == '\n' || chunk.size() == kMaxChunk) {
            out.push_back(chunk);
            chunk.clear();
        }
    }
    if (!chunk.empty()) {
        out.push_back(chunk);
    }
    return out;
}

TEST(TextReader, ChunksFollowTheTextModeRuleAcrossEveryReadBoundary) {
    // Lines of every length up to past the chunk limit, ended by LF, CR LF
    // or nothing, with lone CRs here and there: several read blocks long,
    // so that CRs, LFs and long lines fall on block boundaries.
    std::mt19937 random(99);
    for (int round = 0; round < 6; ++round) {
        std::string raw;
        while (raw.size() < 300 * 1024) {
            const std::size_t length = random() % 4 == 0 ? random() % 2100 : random() % 120;
            for (std::size_t k = 0; k < length; ++k) {
                raw += random() % 97 == 0 ? '\r' : static_cast<char>('a' + random() % 26);
            }
            const unsigned end = random() % 10;
            raw += end < 5 ? "\n" : end < 9 ? "\r\n" : "";
        }
        TempDir dir;
        WriteBytes(dir / "t", raw);
        const std::vector<std::string> expected = ChunksByTheRule(raw);
        const std::vector<std::string> chunks = Chunks(dir / "t");
        ASSERT_EQ(chunks.size(), expected.size()) << "round " << round;
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            ASSERT_EQ(chunks[i], expected[i]) << "round " << round << " chunk " << i;
        }
    }
}

TEST(TextReader, RefusesDirectoriesDevicesAndMissingFiles) {
    TempDir dir;
    CTextReader reader;
    EXPECT_FALSE(reader.Open(dir.Path().string()));
    EXPECT_FALSE(reader.Open("/dev/zero"));
    EXPECT_FALSE(reader.Open(dir / "missing"));
}

TEST(TextReader, SuspendAndResumeContinueWhereReadingStopped) {
    TempDir dir;
    WriteBytes(dir / "t", "one\ntwo\nthree\n");
    CTextReader reader;
    ASSERT_TRUE(reader.Open(dir / "t"));
    std::string chunk;
    ASSERT_TRUE(reader.ReadChunk(chunk));
    reader.Suspend();
    ASSERT_TRUE(reader.Resume());
    ASSERT_TRUE(reader.ReadChunk(chunk));
    EXPECT_EQ(chunk, "two\n");
    ASSERT_TRUE(reader.ReadChunk(chunk));
    EXPECT_EQ(chunk, "three\n");
    EXPECT_FALSE(reader.ReadChunk(chunk));
}

// The hash covers every byte read, a file that grew after it was opened
// included, and then tells by its stamps that the file changed meanwhile.
TEST(TextReader, HashesAllItReadAndTellsAFileThatChangedMeanwhile) {
    TempDir dir;
    const std::string path = dir / "t";
    for (const std::size_t size : {std::size_t{10}, kFileBufferSize + 10}) {
        const std::string text(size, 'x');
        WriteBytes(path, text);
        CTextReader reader;
        ASSERT_TRUE(reader.Open(path));
        reader.StartHashing();
        WriteBytes(path, text + "grown\n");  // in place: the same file, longer
        std::string read;
        std::string chunk;
        while (reader.ReadChunk(chunk)) {
            read += chunk;
        }
        EXPECT_EQ(read, text + "grown\n") << size;
        const std::optional<HashedFile> hashed = reader.HashRead();
        ASSERT_TRUE(hashed) << size;
        EXPECT_EQ(hashed->hash, HashBytes(read));
        EXPECT_FALSE(hashed->before == hashed->after) << size;
    }
}

TEST(TextWriter, WritesCrLfAndReplacesOnlyOnCommit) {
    TempDir dir;
    const std::string path = dir / "out.html";
    WriteBytes(path, "old");
    {
        CTextWriter writer;
        ASSERT_TRUE(writer.Open(path));
        writer.Write("a\nb\n");
        EXPECT_EQ(ReadBytes(path), "old");
        ASSERT_TRUE(writer.Commit());
    }
    EXPECT_EQ(ReadBytes(path), "a\r\nb\r\n");
    {
        CTextWriter writer;
        ASSERT_TRUE(writer.Open(path));
        writer.Write("half");
        // Destroyed without Commit: the old text stays and no litter is left.
    }
    EXPECT_EQ(ReadBytes(path), "a\r\nb\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(TextWriter, UnchangedContentTouchesNeitherTheFileNorItsFolder) {
    TempDir dir;
    const std::string path = dir / "out.html";
    WriteBytes(path, "same\r\n");
    SetBack(path);
    SetBack(dir.Path());
    const struct stat before = StatOf(path);
    CTextWriter writer;
    ASSERT_TRUE(writer.Open(path));
    writer.Write("same\n");
    ASSERT_TRUE(writer.Commit());
    EXPECT_FALSE(writer.PutNewFile());
    const struct stat after = StatOf(path);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    // No temporary file came and went: the folder's time stamp stays too.
    EXPECT_EQ(StatOf(dir.Path()).st_mtim.tv_sec, kSetBack);
}

TEST(TextWriter, ChangedTextWaitsInMemoryThenReplacesTheFileWhole) {
    TempDir dir;
    const std::string path = dir / "out.html";
    WriteBytes(path, "old\r\n");
    SetBack(dir.Path());
    const ino_t old = StatOf(path).st_ino;
    CTextWriter writer;
    ASSERT_TRUE(writer.Open(path));
    writer.Write("new\n");
    EXPECT_EQ(ReadBytes(path), "old\r\n");
    EXPECT_EQ(StatOf(dir.Path()).st_mtim.tv_sec, kSetBack);
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(ReadBytes(path), "new\r\n");
    // Put in place by renaming a complete file, never rewritten in place.
    EXPECT_NE(StatOf(path).st_ino, old);
    EXPECT_TRUE(writer.PutNewFile());
    ASSERT_NE(writer.CommittedHash(), nullptr);
    EXPECT_EQ(*writer.CommittedHash(), HashBytes("new\r\n"));
    EXPECT_EQ(Entries(dir), 1);
}

TEST(TextWriter, TextBeyondTheMemoryLimitGoesOnThroughATemporaryFile) {
    TempDir dir;
    const std::string path = dir / "big.html";
    WriteBytes(path, "old");
    const std::string line = std::string(1023, 'x') + "\n";  // 1025 bytes once written
    const std::size_t lines = kWriterMemoryLimit / 1025 + 1;
    std::string expected;
    for (std::size_t i = 0; i < lines; ++i) {
        expected += line.substr(0, 1023) + "\r\n";
    }
    expected += "end";
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const ino_t before = StatOf(path).st_ino;
        CTextWriter writer;
        ASSERT_TRUE(writer.Open(path));
        for (std::size_t i = 0; i + 1 < lines; ++i) {
            writer.Write(line);
        }
        EXPECT_EQ(Entries(dir), 1);
        writer.Write(line);
        EXPECT_EQ(Entries(dir), 2);  // the temporary file
        writer.Write("end");
        EXPECT_EQ(ReadBytes(path), round == 0 ? "old" : expected);
        ASSERT_TRUE(writer.Commit());
        EXPECT_EQ(ReadBytes(path), expected);
        EXPECT_EQ(Entries(dir), 1);
        // Written again unchanged, the file stays the one it was.
        EXPECT_EQ(StatOf(path).st_ino == before, round == 1);
    }
}

// Past the memory limit the text goes on through a writing thread; text
// already in the file's form, a suspension and the commit must each find
// everything before them in the file, in order.
TEST(TextWriter, ALongTextKeepsItsOrderThroughTheWritingThread) {
    TempDir dir;
    const std::string path = dir / "long.html";
    CTextWriter writer;
    ASSERT_TRUE(writer.Open(path));
    std::string expected;
    for (int i = 0; i < 120000; ++i) {
        const std::string line = "line " + std::to_string(i) + (i % 7 == 0 ? "\n\n" : "\n");
        writer.Write(line);
        for (const char c : line) {
            expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        if (i == 50000 || i == 90000) {
            writer.WriteAsIs("as is\n");
            expected += "as is\n";
        }
        if (i == 70000) {
            writer.Suspend();
            ASSERT_TRUE(writer.Resume());
        }
        if (i == 30000) {
            // One line longer than the thread's own buffer.
            const std::string huge = std::string(1300 * 1024, 'q') + "\n";
            writer.Write(huge);
            expected += huge.substr(0, huge.size() - 1) + "\r\n";
        }
    }
    writer.Write("end");
    expected += "end";
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(Entries(dir), 1);
}

TEST(TextWriter, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir / "page.html";
    WriteBytes(path, "old");
    // Written at Commit from memory, written on the way past the limit, and
    // written by the writing thread, which fails only after megabytes.
    for (const std::size_t size : {std::size_t{10000}, kWriterMemoryLimit + 10000}) {
        SCOPED_TRACE(size);
        testkit::FileSizeLimit limit(4096);
        CTextWriter writer;
        ASSERT_TRUE(writer.Open(path));
        writer.Write(std::string(size, 'y'));
        EXPECT_FALSE(writer.Commit());
        EXPECT_FALSE(writer.CreateFailed());
        EXPECT_EQ(ReadBytes(path), "old");
        EXPECT_EQ(Entries(dir), 1);
    }
    {
        testkit::FileSizeLimit limit(3 * kWriterMemoryLimit);
        CTextWriter writer;
        ASSERT_TRUE(writer.Open(path));
        for (int i = 0; i < 8000; ++i) {
            writer.Write(std::string(999, 'z') + "\n");
        }
        EXPECT_FALSE(writer.Commit());
        EXPECT_FALSE(writer.CreateFailed());
        EXPECT_EQ(ReadBytes(path), "old");
        EXPECT_EQ(Entries(dir), 1);
    }
}

// Given spares, a target written again and again in one run takes turns
// between two files the run made, instead of a new file per write; every
// text is whole in the target, and no file the run did not make (the
// target it found, a link made meanwhile) is ever written into.
TEST(TextWriter, ATargetWrittenAgainTakesTurnsWithOneSpare) {
    TempDir dir;
    const std::string path = dir / "head.html";
    WriteBytes(path, "the user's file");
    const int users = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);  // keeps its inode alive
    ASSERT_GE(users, 0);
    CSpareFiles spares;
    auto write = [&](int i, std::ptrdiff_t others) {
        // Lengths that grow and shrink: a reused spare must lose its old tail.
        const std::string text = "text " + std::to_string(i) + std::string(i % 3 * 50, '.') + "\n";
        CTextWriter writer;
        ASSERT_TRUE(writer.Open(path, &spares));
        writer.Write(text);
        ASSERT_TRUE(writer.Commit());
        EXPECT_TRUE(writer.PutNewFile()) << "swapped in, the new text is a file of its own";
        EXPECT_EQ(ReadBytes(path), text.substr(0, text.size() - 1) + "\r\n");
        EXPECT_LE(Entries(dir), 2 + others);  // the target and at most one spare
    };
    std::set<ino_t> placed;
    for (int i = 0; i < 6; ++i) {
        write(i, 0);
        placed.insert(StatOf(path).st_ino);
    }
    EXPECT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed.count(StatOf(std::string("/proc/self/fd/") + std::to_string(users)).st_ino),
              0u);
    char found[32] = {};
    EXPECT_EQ(::pread(users, found, sizeof found, 0), 15);
    EXPECT_STREQ(found, "the user's file");
    ::close(users);

    std::filesystem::create_hard_link(path, dir / "linked.html");
    const std::string linked = ReadBytes(dir / "linked.html");
    for (int i = 6; i < 9; ++i) {
        write(i, 1);
    }
    EXPECT_EQ(ReadBytes(dir / "linked.html"), linked);
    spares.Release();
    EXPECT_EQ(Entries(dir), 2);  // the target and the link: no spare left
}

// Given spares, a text the run already put in a target is not read back to
// be found unchanged, but only while nothing has touched the file since:
// bytes changed in place, time stamps set back, must still be replaced.
TEST(TextWriter, ATextWrittenAgainIsTrustedOnlyWhileTheFileIsUntouched) {
    TempDir dir;
    const std::string path = dir / "foot.html";
    CSpareFiles spares;
    auto write = [&](const std::string& text) {
        CTextWriter writer;
        ASSERT_TRUE(writer.Open(path, &spares));
        writer.Write(text);
        ASSERT_TRUE(writer.Commit());
        EXPECT_EQ(ReadBytes(path), text.substr(0, text.size() - 1) + "\r\n");
    };
    write("same\n");
    write("same\n");
    const ino_t kept = StatOf(path).st_ino;
    write("same\n");
    EXPECT_EQ(StatOf(path).st_ino, kept);
    WriteBytes(path, "SAME\r\n");
    SetBack(path);
    write("same\n");
    write("other\n");
    WriteBytes(path, "same\r\n");
    write("other\n");
    write("same\n");
}

// A suspension moves text kept in memory into the temporary file; here that
// is a reused spare still holding a longer text, and writing must go on at
// the end of the new text, not of the file. Text written while suspended
// waits for Resume.
TEST(TextWriter, ResumingGoesOnWhereTheTextEndsInAReusedSpare) {
    TempDir dir;
    const std::string path = dir / "head.html";
    CSpareFiles spares;
    for (const char* text : {"first, a long text\n", "second, a long text\n"}) {
        CTextWriter writer;
        ASSERT_TRUE(writer.Open(path, &spares));
        writer.Write(text);
        ASSERT_TRUE(writer.Commit());
    }
    CTextWriter writer;
    ASSERT_TRUE(writer.Open(path, &spares));
    writer.Write("a\n");
    writer.Suspend();
    writer.Write("b\n");
    ASSERT_TRUE(writer.Resume());
    writer.WriteAsIs("c\n");
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(ReadBytes(path), "a\r\nb\r\nc\n");
    EXPECT_EQ(Entries(dir), 2);  // the target and its spare
}

TEST(TextWriter, MissingDirectoryCannotBeCreated) {
    TempDir dir;
    CTextWriter writer;
    EXPECT_FALSE(writer.Open(dir / "nope/out.html"));
    EXPECT_FALSE(writer.Commit());
    EXPECT_FALSE(testkit::Exists(dir / "nope"));
}

TEST(TextWriter, CanOpenTakesTheCallersLookAndAsksTheFolderOnlyWhenNotToldItTakesFiles) {
    TempDir dir;
    const std::optional<SFilePlace> page = LocateFile(dir / "page.html");
    ASSERT_TRUE(page);
    EXPECT_TRUE(CTextWriter::FolderTakesFiles(*page));
    EXPECT_TRUE(CTextWriter::CanOpen(*page, std::nullopt, false));
    std::filesystem::create_directory(dir / "page.html");
    EXPECT_FALSE(CTextWriter::CanOpen(*page, page->Status(), true));
    // Nothing can be created in /proc/self, whoever asks.
    const std::optional<SFilePlace> proc = LocateFile("/proc/self/page.html");
    ASSERT_TRUE(proc);
    EXPECT_FALSE(CTextWriter::FolderTakesFiles(*proc));
    EXPECT_FALSE(CTextWriter::CanOpen(*proc, std::nullopt, false));
}

TEST(TextWriter, FullDiskIsReportedByCommit) {
    TempDir dir;
    const std::string path = dir / "full.html";
    std::filesystem::create_symlink("/dev/full", path);
    CTextWriter writer;
    ASSERT_TRUE(writer.Open(path));
    writer.Write("text\n");
    EXPECT_FALSE(writer.Commit());
}

TEST(TextWriter, ALinkKeepsPointingAtTheReplacedFile) {
    TempDir dir;
    WriteBytes(dir / "real.html", "old");
    std::filesystem::create_symlink(dir / "real.html", dir / "link.html");
    CTextWriter writer;
    ASSERT_TRUE(writer.Open(dir / "link.html"));
    writer.Write("new\n");
    ASSERT_TRUE(writer.Commit());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.html"));
    EXPECT_EQ(ReadBytes(dir / "real.html"), "new\r\n");
}

TEST(TextWriter, KeepsTheModeOfTheReplacedFile) {
    TempDir dir;
    const std::string path = dir / "page.html";
    WriteBytes(path, "old");
    ::chmod(path.c_str(), 0640);
    CTextWriter writer;
    ASSERT_TRUE(writer.Open(path));
    writer.Write("new");
    ASSERT_TRUE(writer.Commit());
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace pellandrix
