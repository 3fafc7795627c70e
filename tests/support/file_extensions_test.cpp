#include "support/file_extensions.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "testkit/files.h"
#include "testkit/temp_dir.h"

namespace pellandrix {
namespace {

using testkit::ScopedCurrentDir;
using testkit::TempDir;
using testkit::WriteBytes;

std::vector<std::string> Names(const CFileExtList& list) {
    std::vector<std::string> out;
    for (const CFileExtEntry& entry : list) {
        out.push_back(entry.name.str());
    }
    return out;
}

// Loads `content` as fileext.def from the current directory, the way
// start-up does.
std::vector<std::string> LoadFrom(const std::string& content) {
    TempDir dir;
    WriteBytes(dir / "fileext.def", content);
    ScopedCurrentDir cwd(dir.Path());
    CFileExtList list;
    EXPECT_EQ(LoadFileExtensions("fileext.def", list), 1);
    return Names(list);
}

TEST(FileExtensions, FirstFieldOfEachLineInFileOrder) {
    TempDir dir;
    WriteBytes(dir / "fileext.def", "htm\r\nhtml;HTML-Seite\r\n\"php\"\r\n");
    CFileExtList list;
    EXPECT_EQ(LoadFileExtensions(dir / "fileext.def", list), 1);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"htm", "html", "php"}));
    EXPECT_EQ(list.At(2)->Position(), 2);
}

TEST(FileExtensions, FurtherFieldsAndQuotesDoNotChangeTheName) {
    EXPECT_EQ(LoadFrom("asp;Active Server Page;x\n\"shtml\"\n\"a;b\"\n"),
              (std::vector<std::string>{"asp", "shtml", "a"}));
}

TEST(FileExtensions, NamesAreTakenAsWritten) {
    // Duplicates stay, spaces belong to the name, and there is no comment
    // syntax; the last line needs no line end.
    EXPECT_EQ(LoadFrom("htm\nhtm\n htm \n   \n#inc\n//x\nlast"),
              (std::vector<std::string>{"htm", "htm", " htm ", "   ", "#inc", "//x", "last"}));
}

TEST(FileExtensions, LinesWithoutAFirstFieldAreSkippedAndLoadingGoesOn) {
    EXPECT_EQ(LoadFrom("htm\n\n;no name\n\"\"\n;\nhtml\n"),
              (std::vector<std::string>{"htm", "html"}));
}

// The width counts characters: 19 umlauts (38 bytes) fit, 20 do not.
TEST(FileExtensions, NamesLongerThanTheColumnAreSkippedNotCut) {
    const std::string longest(19, 'n');
    std::string umlauts;
    for (int i = 0; i < 19; ++i) {
        umlauts += "ö";
    }
    EXPECT_EQ(LoadFrom(longest + "\n" + std::string(20, 'o') + ";x\n" + std::string(49, 'p') +
                       "\n" + std::string(300, 'q') + "\n" + umlauts + "\n" + umlauts + "ü\nhtm\n"),
              (std::vector<std::string>{longest, umlauts, "htm"}));
}

TEST(FileExtensions, AJoinedLineKeepsItsFirstFieldAndTheLinesAfterIt) {
    EXPECT_EQ(LoadFrom("\"shtml;Server\r\nSide Include\"\r\njs\r\n"),
              (std::vector<std::string>{"shtml", "js"}));
}

TEST(FileExtensions, MissingFileLeavesTheListAsItWas) {
    TempDir dir;
    ScopedCurrentDir cwd(dir.Path());
    CFileExtList list;
    list.Append(std::make_unique<CFileExtEntry>("txt"));
    EXPECT_EQ(LoadFileExtensions("fileext.def", list), 1);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"txt"}));
}

TEST(FileExtensions, AppendsAfterExistingEntries) {
    TempDir dir;
    WriteBytes(dir / "fileext.def", "css\n");
    CFileExtList list;
    list.Append(std::make_unique<CFileExtEntry>("txt"));
    LoadFileExtensions(dir / "fileext.def", list);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"txt", "css"}));
    EXPECT_EQ(list.At(1)->Position(), 1);
}

}  // namespace
}  // namespace pellandrix
