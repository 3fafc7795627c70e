#include "support/delimited_text_file.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "testkit/files.h"
#include "testkit/temp_dir.h"

namespace pellandrix {
namespace {

using testkit::TempDir;
using testkit::WriteBytes;

using Fields = std::vector<std::optional<std::string>>;

// Every row's fields, in row order.
std::vector<Fields> AllFields(const CDelimitedTextFile& file) {
    std::vector<Fields> out;
    for (const CDelimitedRow& row : file.Rows()) {
        out.push_back(row.fields);
    }
    return out;
}

TEST(CountChar, CountsEveryOccurrence) {
    EXPECT_EQ(CountChar("", '"'), 0u);
    EXPECT_EQ(CountChar("\"a\";\"", '"'), 3u);
    EXPECT_EQ(CountChar(std::string("a\0a", 3), 'a'), 2u);
}

TEST(DelimitedParseLine, EmptyStretchesAreAbsentButTheLastFieldIsAlwaysPresent) {
    CDelimitedTextFile file;
    EXPECT_EQ(file.ParseLine(1, ";a;;b;\n"), 5);
    EXPECT_EQ(file.ParseLine(2, "\n"), 1);
    EXPECT_EQ(file.ParseLine(3, "x"), 1);
    EXPECT_EQ(AllFields(file),
              (std::vector<Fields>{{std::nullopt, "a", std::nullopt, "b", ""}, {""}, {"x"}}));
    EXPECT_EQ(file.WidestRow(), 5);
}

TEST(DelimitedParseLine, EmptyTextMakesNoRow) {
    CDelimitedTextFile file;
    EXPECT_EQ(file.ParseLine(1, ""), 0);
    EXPECT_TRUE(file.Rows().empty());
    EXPECT_EQ(file.WidestRow(), 0);
}

TEST(DelimitedParseLine, QuotesVanishAndDoNotProtectTheSeparator) {
    CDelimitedTextFile file;
    EXPECT_EQ(file.ParseLine(1, "\"a;b\";c\"\"d\n"), 3);
    EXPECT_EQ(file.ParseLine(2, "\"\";x"), 2);
    EXPECT_EQ(AllFields(file), (std::vector<Fields>{{"a", "b", "cd"}, {std::nullopt, "x"}}));
}

TEST(DelimitedParseLine, OnlyOneTrailingLineFeedIsRemoved) {
    CDelimitedTextFile file;
    file.ParseLine(1, "a\r\n\n");
    EXPECT_EQ(file.GetField(1, 0), "a\r\n");
}

TEST(DelimitedGetField, AbsentForMissingRowsFieldsAndSlots) {
    CDelimitedTextFile file;
    file.ParseLine(1, ";b");
    file.ParseLine(7, "only");
    EXPECT_EQ(file.GetField(1, 1), "b");
    EXPECT_EQ(file.GetField(7, 0), "only");
    EXPECT_EQ(file.GetField(1, 0), std::nullopt);
    EXPECT_EQ(file.GetField(7, 1), std::nullopt);
    EXPECT_EQ(file.GetField(1, 2), std::nullopt);
    EXPECT_EQ(file.GetField(1, -1), std::nullopt);
    EXPECT_EQ(file.GetField(2, 0), std::nullopt);
    EXPECT_EQ(file.GetField(0, 0), std::nullopt);
}

TEST(DelimitedGetField, BufferGetsAtMostSizeMinusOneBytesAndATerminator) {
    CDelimitedTextFile file;
    file.ParseLine(1, "abcdef;x;y");
    file.ParseLine(2, ";x");
    std::array<char, 4> buffer;
    buffer.fill('#');
    EXPECT_EQ(file.GetField(1, 0, buffer), "abcdef");
    EXPECT_EQ(std::string(buffer.data(), buffer.size()), std::string("abc\0", 4));

    // A field index within the widest row clears the buffer even when the
    // field is absent; one beyond every row leaves it alone.
    buffer.fill('#');
    EXPECT_EQ(file.GetField(2, 0, buffer), std::nullopt);
    EXPECT_EQ(std::string(buffer.data(), buffer.size()), std::string(4, '\0'));
    buffer.fill('#');
    EXPECT_EQ(file.GetField(1, 3, buffer), std::nullopt);
    EXPECT_EQ(std::string(buffer.data(), buffer.size()), "####");
}

TEST(DelimitedLoadFile, FailsWithoutRowsForEmptyPathMissingFileOrDirectory) {
    TempDir dir;
    CDelimitedTextFile file;
    EXPECT_EQ(file.LoadFile("", ';'), 0);
    EXPECT_EQ(file.LoadFile(dir / "missing", ';'), 0);
    EXPECT_EQ(file.LoadFile(dir.Path().string(), ';'), 0);
    EXPECT_TRUE(file.Rows().empty());
}

TEST(DelimitedLoadFile, ReadsEveryLineInTextModeWithConsecutiveNumbers) {
    TempDir dir;
    WriteBytes(dir / "f", "a,b\r\n\r\nc\rd,,e\nlast");
    CDelimitedTextFile file;
    EXPECT_EQ(file.LoadFile(dir / "f", ','), 1);
    ASSERT_EQ(file.Rows().size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(file.Rows()[static_cast<std::size_t>(i)].line_number, i + 1);
    }
    EXPECT_EQ(AllFields(file),
              (std::vector<Fields>{{"a", "b"}, {""}, {"c\rd", std::nullopt, "e"}, {"last"}}));
    EXPECT_EQ(file.WidestRow(), 3);
}

TEST(DelimitedLoadFile, EmptyFileSucceedsWithNoRows) {
    TempDir dir;
    WriteBytes(dir / "f", "");
    CDelimitedTextFile file;
    EXPECT_EQ(file.LoadFile(dir / "f", ';'), 1);
    EXPECT_TRUE(file.Rows().empty());
    EXPECT_EQ(file.WidestRow(), 0);
}

TEST(DelimitedLoadFile, ALoadReplacesTheRowsOfTheLastOne) {
    TempDir dir;
    WriteBytes(dir / "one", "a;b;c\nd\n");
    WriteBytes(dir / "two", "x\n");
    CDelimitedTextFile file;
    file.LoadFile(dir / "one", ';');
    file.LoadFile(dir / "two", ';');
    EXPECT_EQ(AllFields(file), (std::vector<Fields>{{"x"}}));
    EXPECT_EQ(file.WidestRow(), 1);
}

TEST(DelimitedLoadFile, LongPhysicalLinesAreReadAsSeveralLines) {
    TempDir dir;
    WriteBytes(dir / "f", std::string(2500, 'x') + "\nend\n");
    CDelimitedTextFile file;
    file.LoadFile(dir / "f", ';');
    EXPECT_EQ(
        AllFields(file),
        (std::vector<Fields>{
            {std::string(999, 'x')}, {std::string(999, 'x')}, {std::string(502, 'x')}, {"end"}}));
}

TEST(DelimitedJoining, OddQuotesJoinWithOneSpaceAndNoInnerLineEnd) {
    TempDir dir;
    WriteBytes(dir / "f", "\"a;b\r\nc\"\r\n\"x\r\ny\r\nz\"\nnext\n");
    CDelimitedTextFile file;
    file.LoadFile(dir / "f", ';');
    // The second logical line takes three physical lines: after "y" the
    // count over the joined text is still odd.
    EXPECT_EQ(AllFields(file), (std::vector<Fields>{{"a", "b c"}, {"x y z"}, {"next"}}));
    EXPECT_EQ(file.GetField(3, 0), "next");
}

TEST(DelimitedJoining, StopsAtEndOfFile) {
    TempDir dir;
    WriteBytes(dir / "f", "a\n\"b;c\n");
    CDelimitedTextFile file;
    EXPECT_EQ(file.LoadFile(dir / "f", ';'), 1);
    EXPECT_EQ(AllFields(file), (std::vector<Fields>{{"a"}, {"b", "c"}}));
}

TEST(DelimitedJoining, ALineThatWouldPassTheLimitStartsTheNextLogicalLine) {
    TempDir dir;
    // 2 + 1 + 996 = 999 characters fit; one more does not.
    const std::string fits = std::string(995, 'f') + "\n";
    const std::string too_long = std::string(996, 'g') + "\n";
    WriteBytes(dir / "f", "\"a\n" + fits + "\"b\n" + too_long + "c\n");
    CDelimitedTextFile file;
    file.LoadFile(dir / "f", ';');
    EXPECT_EQ(AllFields(file),
              (std::vector<Fields>{
                  {"a " + std::string(995, 'f')}, {"b"}, {std::string(996, 'g')}, {"c"}}));
}

TEST(DelimitedJoining, AMaximalPhysicalLineIsNeverJoined) {
    TempDir dir;
    WriteBytes(dir / "f", "\"" + std::string(998, 'q') + "\nrest\n");
    CDelimitedTextFile file;
    file.LoadFile(dir / "f", ';');
    EXPECT_EQ(AllFields(file), (std::vector<Fields>{{std::string(998, 'q')}, {""}, {"rest"}}));
}

}  // namespace
}  // namespace pellandrix
