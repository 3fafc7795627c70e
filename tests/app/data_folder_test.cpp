#include "app/data_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "support/file_extensions.h"
#include "testkit/files.h"
#include "testkit/temp_dir.h"

namespace pellandrix {
namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(DataFolder, XdgDataHomeWhenAbsoluteElseTheHomeFolder) {
    EXPECT_EQ(DataFolderPath("/daten/", "/home/anna"), "/daten/pellandrix");
    // A relative or empty value counts as unset.
    EXPECT_EQ(DataFolderPath("daten", "/home/anna"), "/home/anna/.local/share/pellandrix");
    EXPECT_EQ(DataFolderPath("", "/home/anna/"), "/home/anna/.local/share/pellandrix");
    EXPECT_EQ(DataFolderPath(nullptr, "/"), "/.local/share/pellandrix");
    EXPECT_EQ(DataFolderPath(nullptr, "anna"), "");
    EXPECT_EQ(DataFolderPath(nullptr, nullptr), "");
}

TEST(DataFolder, MadeWithPrivateParentsAndTheDefaultExtensions) {
    testkit::TempDir home;
    ::chmod(home.Path().c_str(), 0755);
    const std::string folder = home / ".local/share/pellandrix";
    ASSERT_TRUE(PrepareDataFolder(folder));

    // What it made is private; what was there keeps its mode.
    EXPECT_EQ(ModeOf(home / ".local"), 0700u);
    EXPECT_EQ(ModeOf(home / ".local/share"), 0700u);
    EXPECT_EQ(ModeOf(folder), 0700u);
    EXPECT_EQ(ModeOf(home.Path().string()), 0755u);
    CFileExtList offered;
    LoadFileExtensions(folder + "/fileext.def", offered);
    std::vector<std::string> names;
    for (const CFileExtEntry& entry : offered) {
        names.push_back(entry.name.str());
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"html", "htm", "shtml", "php", "css", "js", "txt", "xml"}));

    // The user's own list, even an empty one, is never written over.
    testkit::WriteBytes(folder + "/fileext.def", "");
    ASSERT_TRUE(PrepareDataFolder(folder));
    EXPECT_EQ(testkit::ReadBytes(folder + "/fileext.def"), "");
}

TEST(DataFolder, RefusedWithMessage51WhenItCannotBeMade) {
    testkit::TempDir dir;
    testkit::WriteBytes(dir / "datei", "x");
    const Outcome blocked = PrepareDataFolder(dir / "datei/pellandrix");
    ASSERT_FALSE(blocked);
    EXPECT_EQ(blocked.Refused().id, MessageId::kDataFolderFailed);
    EXPECT_EQ(blocked.Refused().first, dir / "datei/pellandrix");
    EXPECT_EQ(blocked.Refused().second, std::strerror(ENOTDIR));

    // A folder where the list should go.
    std::filesystem::create_directories(dir.Path() / "p/fileext.def");
    EXPECT_TRUE(PrepareDataFolder(dir / "p"));  // a name that is taken counts as the user's
    const Outcome noHome = PrepareDataFolder("");
    ASSERT_FALSE(noHome);
    EXPECT_EQ(FormatMessage(noHome.Refused().id, noHome.Refused().first, noHome.Refused().second),
              "Der Arbeitsordner ~/.local/share/pellandrix kann nicht angelegt werden (HOME ist "
              "nicht gesetzt). Das Programm wird beendet.");
}

}  // namespace
}  // namespace pellandrix
