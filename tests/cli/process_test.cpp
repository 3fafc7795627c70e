// Runs the built pellandrix-cli as a separate process, the way scripts use
// it, on a copy of the example site.
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "testkit/files.h"
#include "testkit/temp_dir.h"

namespace pellandrix {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status;
    std::string out;
    std::string err;
};

// Runs `command` through the shell inside `dir`; standard error is a file,
// never a terminal, so no progress bar may appear.
Result Shell(const testkit::TempDir& dir, const std::string& command) {
    const std::string line =
        "cd '" + dir.Path().string() + "' && " + command + " >stdout.txt 2>stderr.txt </dev/null";
    const int raw = std::system(line.c_str());
    Result r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testkit::ReadBytes(dir / "stdout.txt"),
             testkit::ReadBytes(dir / "stderr.txt")};
    fs::remove(dir / "stdout.txt");
    fs::remove(dir / "stderr.txt");
    return r;
}

const std::string kCli = PELLANDRIX_CLI_PATH;

TEST(CliProcess, ExampleSiteIsSetUpAndGenerated) {
    testkit::TempDir dir;
    fs::copy(fs::path(PELLANDRIX_EXAMPLES_DIR) / "site", dir.Path() / "site",
             fs::copy_options::recursive);
    fs::remove_all(dir.Path() / "site/data");
    fs::remove_all(dir.Path() / "site/out");

    Result setup = Shell(dir, "bash site/setup.sh '" + kCli + "'");
    ASSERT_EQ(setup.status, 0) << setup.err;
    EXPECT_NE(setup.err.find("Es wird eine neue Datenbank in dem Verzeichnis "), std::string::npos);

    Result run = Shell(dir, "'" + kCli + "' -C site generate Website");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "fertig\tsite.tpl\nfertig\theader.tpl\nfertig\tnav.tpl\nfertig\tfooter.tpl\n"
              "fertig\tindex.tpl\nfertig\tabout.tpl\nfertig\tcontact.tpl\nfertig\tnews.tpl\n");

    const fs::path out = dir.Path() / "site/out";
    std::vector<std::string> pages;
    for (const auto& entry : fs::directory_iterator(out)) {
        pages.push_back(entry.path().filename().string());
    }
    std::sort(pages.begin(), pages.end());
    EXPECT_EQ(pages,
              (std::vector<std::string>{"about.html", "contact.html", "index.html", "news.html"}));

    const std::string contact = testkit::ReadBytes(out / "contact.html");
    EXPECT_NE(contact.find("<title>Kontakt – Bäckerei Morgenrot</title>\r\n"), std::string::npos);
    // The news link is switched off on this page, and so is the footer's
    // mail line; the plain includes arrive verbatim.
    EXPECT_EQ(contact.find("news.html"), std::string::npos);
    EXPECT_EQ(contact.find("Post an"), std::string::npos);
    EXPECT_NE(contact.find("/* the text SITE_NAME stays as written"), std::string::npos);
    EXPECT_NE(contact.find("Öffnungszeiten"), std::string::npos);
    const std::string index = testkit::ReadBytes(out / "index.html");
    EXPECT_NE(index.find("<a href=\"news.html\">Neuigkeiten</a>\r\n"), std::string::npos);
    EXPECT_NE(index.find("<p>Post an info@morgenrot.example</p>\r\n"), std::string::npos);
    EXPECT_EQ(index.find('\n'), index.find("\r\n") + 1);

    // A second run of the unchanged site leaves every page as it was.
    const auto before = fs::last_write_time(out / "index.html");
    EXPECT_EQ(Shell(dir, "'" + kCli + "' -C site generate Website").status, 0);
    EXPECT_EQ(fs::last_write_time(out / "index.html"), before);

    // Setting up again changes nothing.
    Result again = Shell(dir, "bash site/setup.sh '" + kCli + "'");
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(Shell(dir, "'" + kCli + "' -C site files Website").out.size(),
              Shell(dir, "'" + kCli + "' -C site files Website").out.size());
}

// Project P with the template t/a.tpl holding `text`, selected.
void OneTemplateProject(const testkit::TempDir& dir, const std::string& text) {
    fs::create_directory(dir.Path() / "t");
    testkit::WriteBytes(dir / "t/a.tpl", text);
    ASSERT_EQ(Shell(dir, "'" + kCli + "' add-project P --source t --target t --ext html").status,
              0);
    ASSERT_EQ(Shell(dir, "'" + kCli + "' add-file P t/a.tpl --select").status, 0);
}

TEST(CliProcess, ParseErrorsGoToStandardErrorAndSetTheExitStatus) {
    testkit::TempDir dir;
    ASSERT_NO_FATAL_FAILURE(OneTemplateProject(dir, "#else\nok\n"));
    Result run = Shell(dir, "'" + kCli + "' generate P");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "Parse-Fehler in Datei a.tpl in Zeile  1: Es wurde ein #else  ohne #ifdef "
              "verwendet. Die Anweisung wird ignoriert.\n");
    EXPECT_EQ(run.out, "fertig\ta.tpl\n");
    EXPECT_EQ(testkit::ReadBytes(dir / "t/a.html"), "ok\r\n");
    EXPECT_EQ(Shell(dir, "'" + kCli + "' generate Q").status, 2);
}

// A listing, page list or project text that could not be written whole
// must not pass for written: a script would go on with a cut one.
TEST(CliProcess, StandardOutputThatCannotBeWrittenFailsTheCommand) {
    testkit::TempDir dir;
    ASSERT_NO_FATAL_FAILURE(OneTemplateProject(dir, "ok\n"));
    for (const char* command : {"projects", "files P", "generate P", "export P", "--help"}) {
        Result run = Shell(dir, "('" + kCli + "' " + command + " >/dev/full)");
        EXPECT_EQ(run.status, 1) << command;
        // The reason is the system's, when it is still known at the end.
        EXPECT_TRUE(
            run.err.starts_with("Die Datei (Standardausgabe) konnte nicht geschrieben werden: "))
            << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << command;
    }
}

}  // namespace
}  // namespace pellandrix
