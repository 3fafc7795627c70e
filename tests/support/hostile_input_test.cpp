// Inputs nobody should write but somebody will: the readers must neither
// hang, nor break their own promises, nor hold a huge file in memory.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "support/delimited_text_file.h"
#include "support/file_extensions.h"
#include "support/text_file.h"
#include "testkit/files.h"
#include "testkit/temp_dir.h"

namespace pellandrix {
namespace {

using testkit::TempDir;
using testkit::WriteBytes;

// Found by fuzzing: with the double quote as separator the quotes were
// counted as separators and then removed, so ParseLine and WidestRow
// promised fields that no row had.
TEST(HostileDelimited, QuoteAsSeparatorPromisesNoMissingFields) {
    TempDir dir;
    WriteBytes(dir / "f", "\"\"tH\r\nh\n");
    CDelimitedTextFile file;
    EXPECT_EQ(file.LoadFile(dir / "f", '"'), 1);
    ASSERT_EQ(file.Rows().size(), 2u);
    EXPECT_EQ(file.WidestRow(), 1);
    EXPECT_EQ(file.Rows()[0].FieldCount(), 1);
    EXPECT_EQ(file.GetField(1, 0), "tH");
    EXPECT_EQ(file.ParseLine(3, "a\"b\"c"), 1);
    EXPECT_EQ(file.Rows().back().FieldCount(), 1);
}

TEST(HostileDelimited, NulBytesLoneCarriageReturnsAndLongLinesStayInTheirFields) {
    TempDir dir;
    const std::string nul("ht\0ml;x\n", 8);
    WriteBytes(dir / "fileext.def", nul + "php\rasp;y\r\n" + std::string(2500, 'z') + "\nlast");
    CFileExtList list;
    LoadFileExtensions(dir / "fileext.def", list);
    std::vector<std::string> names;
    for (const CFileExtEntry& e : list) {
        names.push_back(e.name.str());
    }
    // The lone CR stays inside its line; the 2500 bytes are three lines of
    // 999, 999 and 502 bytes, all too long for an extension.
    EXPECT_EQ(names, (std::vector<std::string>{std::string("ht\0ml", 5), "php\rasp", "last"}));
}

TEST(HostileTextReader, NamedPipeIsRefusedAtOnceInsteadOfWaitingForAWriter) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    CTextReader reader;
    EXPECT_FALSE(reader.Open(dir / "pipe"));
    CDelimitedTextFile file;
    EXPECT_EQ(file.LoadFile(dir / "pipe", ';'), 0);
}

TEST(HostileTextReader, TenMegabyteLineArrivesInChunksOfAtMost999Bytes) {
    TempDir dir;
    const std::size_t size = 10 * 1024 * 1024;
    WriteBytes(dir / "long", std::string(size, 'a') + "\r\nend");
    CTextReader reader;
    ASSERT_TRUE(reader.Open(dir / "long"));
    std::string chunk;
    std::size_t total = 0;
    std::size_t chunks = 0;
    while (reader.ReadChunk(chunk)) {
        ASSERT_LE(chunk.size(), kMaxChunk);
        total += chunk.size();
        ++chunks;
    }
    EXPECT_EQ(total, size + 1 + 3);  // CR LF read as one line feed
    EXPECT_EQ(chunks, (size + kMaxChunk - 1) / kMaxChunk + 1 + (size % kMaxChunk == 0 ? 1 : 0));
}

}  // namespace
}  // namespace pellandrix
