#include "app/open_commands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/desktop_entry.h"
#include "testkit/files.h"
#include "testkit/temp_dir.h"

namespace pellandrix {
namespace {

// A folder with stand-ins for programs and two application folders, the
// user's ("own") and the system's.
struct OpenCommandsTest : ::testing::Test {
    void SetUp() override {
        std::filesystem::create_directories(dir.Path() / "bin");
        std::filesystem::create_directories(dir.Path() / "own");
        std::filesystem::create_directories(dir.Path() / "system");
        desktop.searchPath = "/nirgends:" + dir / "bin";
        desktop.applicationFolders = {dir / "own", dir / "system"};
    }
    void Program(const std::string& name) {
        testkit::WriteBytes(dir / ("bin/" + name), "#!/bin/sh\n");
        std::filesystem::permissions(dir / ("bin/" + name), std::filesystem::perms::owner_all);
    }
    void Entry(const std::string& folder, const std::string& id, const std::string& body) {
        testkit::WriteBytes(dir / (folder + "/" + id), body);
    }

    testkit::TempDir dir;
    DesktopChoices desktop;
    const std::string page = "/srv/web/Über uns.html";
    const std::string url = "file:///srv/web/%C3%9Cber%20uns.html";
};

TEST_F(OpenCommandsTest, TheBrowserVariableComesFirstWithTheFirstProgramThatIsThere) {
    Program("netz");
    desktop.browserVariable = "fehlt --neu %s:netz --tab:netz";
    desktop.defaultBrowser = "web.desktop";
    Entry("own", "web.desktop", "[Desktop Entry]\nExec=web %u\n");
    EXPECT_EQ(BrowserCommand(desktop, page), (LaunchCommand{"netz", {"--tab", url}}));
    desktop.browserVariable = "netz --url=%s";
    EXPECT_EQ(BrowserCommand(desktop, page), (LaunchCommand{"netz", {"--url=" + url}}));
}

TEST_F(OpenCommandsTest, TheDesktopsDefaultBrowserRunsAsItsEntrySays) {
    desktop.defaultBrowser = "web.desktop";
    // The user's entry hides the system's; the field codes are filled in,
    // quotes group, escapes resolve, and codes for icon and name go.
    Entry("system", "web.desktop", "[Desktop Entry]\nExec=alt %u\n");
    Entry("own", "web.desktop",
          "[Desktop Entry]\nName=Web\nExec = \"/opt/mein web/web\" --name=\"a\\\\\\\\b\" 50%% "
          "%i %c %U\n[Desktop Action neu]\nExec=web --neu\n");
    EXPECT_EQ(BrowserCommand(desktop, page),
              (LaunchCommand{"/opt/mein web/web", {"--name=a\\b", "50%", url}}));

    // An entry for files by path gets the path; one without a field for a
    // file still gets the page.
    Entry("own", "web.desktop", "[Desktop Entry]\nExec=web\\s--datei %f\n");
    EXPECT_EQ(BrowserCommand(desktop, page), (LaunchCommand{"web", {"--datei", page}}));
    Entry("own", "web.desktop", "[Desktop Entry]\nExec=web\n");
    EXPECT_EQ(BrowserCommand(desktop, page), (LaunchCommand{"web", {url}}));
}

TEST_F(OpenCommandsTest, WithoutAChoiceTheSystemsBrowserThenXdgOpen) {
    desktop.browserVariable = "fehlt";
    desktop.defaultBrowser = "web.desktop";
    // A deleted entry, and one with an open quote, choose nothing.
    Entry("own", "web.desktop", "[Desktop Entry]\nExec=web %u\nHidden=true\n");
    Entry("system", "web.desktop", "[Desktop Entry]\nExec=web %u\n");
    EXPECT_EQ(BrowserCommand(desktop, page), (LaunchCommand{"xdg-open", {url}}));
    Entry("own", "web.desktop", "[Desktop Entry]\nExec=\"web %u\n");
    Program("x-www-browser");
    EXPECT_EQ(BrowserCommand(desktop, page), (LaunchCommand{"x-www-browser", {url}}));
}

TEST_F(OpenCommandsTest, TemplatesOpenInTheEditorForPlainTextFoldersWithXdgOpen) {
    EXPECT_EQ(EditorCommand(desktop, "/srv/a.tpl"), (LaunchCommand{"xdg-open", {"/srv/a.tpl"}}));
    desktop.textEditor = "editor.desktop";
    Entry("system", "editor.desktop", "[Desktop Entry]\nExec=editor --neu %F\n");
    EXPECT_EQ(EditorCommand(desktop, "/srv/a.tpl"),
              (LaunchCommand{"editor", {"--neu", "/srv/a.tpl"}}));
    EXPECT_EQ(FolderCommand("/srv/out"), (LaunchCommand{"xdg-open", {"/srv/out"}}));
    // An editor not known to take "+LINE" gets just the file at a line.
    EXPECT_EQ(EditorCommandAt(desktop, "/srv/a.tpl", 7),
              (LaunchCommand{"editor", {"--neu", "/srv/a.tpl"}}));
}

TEST_F(OpenCommandsTest, AnEditorThatTakesALineGetsItBeforeTheFile) {
    desktop.textEditor = "org.gnome.gedit.desktop";
    Entry("system", "org.gnome.gedit.desktop", "[Desktop Entry]\nExec=/usr/bin/gedit %U\n");
    EXPECT_EQ(EditorCommandAt(desktop, "/srv/a b.tpl", 12),
              (LaunchCommand{"/usr/bin/gedit", {"+12", "file:///srv/a%20b.tpl"}}));
    // The file as a whole: no line.
    EXPECT_EQ(EditorCommandAt(desktop, "/srv/a b.tpl", 0),
              (LaunchCommand{"/usr/bin/gedit", {"file:///srv/a%20b.tpl"}}));
    // xdg-open would take "+12" for a file.
    desktop.textEditor.clear();
    EXPECT_EQ(EditorCommandAt(desktop, "/srv/a.tpl", 3),
              (LaunchCommand{"xdg-open", {"/srv/a.tpl"}}));
}

TEST(OpenCommands, PlacesOfAnEntryAreAbsolute) {
    CTplFileRecord entry;
    entry.TPLFileName = "index.tpl";
    entry.SourcePath = "vorlagen";
    entry.TargetPath = "/srv/web/";
    entry.CreateFileExt = "html";
    entry.CreateFile = 1;
    EntryPlaces places = PlacesOf(entry, "/home/anna/site");
    EXPECT_EQ(places.page, "/srv/web/index.html");
    EXPECT_EQ(places.templateFile, "/home/anna/site/vorlagen/index.tpl");
    EXPECT_EQ(places.targetFolder, "/srv/web/");
    // No file made, no page; an empty folder is the current one.
    entry.CreateFile = 0;
    entry.TargetPath = "";
    places = PlacesOf(entry, "/home/anna/site");
    EXPECT_EQ(places.page, "");
    EXPECT_EQ(places.targetFolder, "/home/anna/site/");
}

TEST(OpenCommands, ApplicationFoldersPutTheUsersFirst) {
    EXPECT_EQ(
        ApplicationFolders(nullptr, "/home/anna", nullptr),
        (std::vector<std::string>{"/home/anna/.local/share/applications",
                                  "/usr/local/share/applications", "/usr/share/applications"}));
    EXPECT_EQ(ApplicationFolders("/daten", "/home/anna", "relativ:/opt/share"),
              (std::vector<std::string>{"/daten/applications", "/opt/share/applications"}));
}

}  // namespace
}  // namespace pellandrix
