// Runs the built pellandrix-cli as a separate process, the way scripts use
// it, on a copy of the example site.
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "store/dao_database.h"
#include "support/string_table.h"
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

// What a second process sees is what the first one stored: each case runs
// the real program once per command.
TEST(CliProcess, OneFileIsOneEntryHoweverSpeltAndMustLieInTheSourceFolder) {
    testkit::TempDir dir;
    fs::create_directory(dir.Path() / "src");
    fs::create_directory(dir.Path() / "other");
    testkit::WriteBytes(dir / "src/x.tpl", "x\n");
    testkit::WriteBytes(dir / "other/y.tpl", "y\n");
    const std::string cli = "'" + kCli + "' ";
    ASSERT_EQ(Shell(dir, cli + "add-project P --source src --target src --ext html").status, 0);
    const Result twice = Shell(dir, cli + "add-project P");
    EXPECT_EQ(twice.status, 2);
    EXPECT_EQ(twice.err, FormatMessage(MessageId::kProjectNameTaken, "P", "") + "\n");

    const Result outside = Shell(dir, cli + "add-file P other/y.tpl");
    EXPECT_EQ(outside.status, 2);
    EXPECT_NE(outside.err.find("--own-source"), std::string::npos) << outside.err;
    ASSERT_EQ(Shell(dir, cli + "add-file P src/x.tpl --select").status, 0);
    for (const std::string& spelling : {std::string("./src/x.tpl"), dir / "src/x.tpl"}) {
        EXPECT_EQ(Shell(dir, cli + "add-file P '" + spelling + "'").status, 2) << spelling;
    }
    ASSERT_EQ(Shell(dir, cli + "add-file P other/y.tpl --own-source --select").status, 0);
    EXPECT_EQ(Shell(dir, cli + "files P").out,
              "1\tx.tpl\t1\t1\t1\t1\t1\thtml\tsrc\tsrc\n"
              "2\ty.tpl\t1\t1\t1\t0\t1\thtml\tother\tsrc\n");
    const Result run = Shell(dir, cli + "generate P");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "fertig\tx.tpl\nfertig\ty.tpl\n");
}

TEST(CliProcess, OlderDatabasesNamesakesAreReachedByIdAndOrphansStayHidden) {
    testkit::TempDir dir;
    fs::create_directory(dir.Path() / "src");
    testkit::WriteBytes(dir / "src/x.tpl", "x\n");
    const std::string cli = "'" + kCli + "' ";
    for (const char* name : {"A", "B", "Alt"}) {
        ASSERT_EQ(Shell(dir, cli + "add-project " + name + " --source src --ext html").status, 0);
    }
    ASSERT_EQ(Shell(dir, cli + "add-file Alt src/x.tpl").status, 0);
    {
        // What an older version left: two projects of one name, and the
        // files of a deleted project with the highest id.
        CDaoDatabase db;
        db.Open((dir.Path() / "Pellandrix.mdb").string());
        db.Execute("update [project] set ProjectName = 'A' where ProjectId = 2;");
        db.Execute("delete * from [project] where ProjectId = 3;");
    }
    const Result ambiguous = Shell(dir, cli + "files A");
    EXPECT_EQ(ambiguous.status, 2);
    EXPECT_EQ(ambiguous.err, FormatMessage(MessageId::kProjectNameAmbiguous, "A", "#1, #2") + "\n");
    EXPECT_EQ(Shell(dir, cli + "add-file '#2' src/x.tpl").status, 0);
    EXPECT_EQ(Shell(dir, cli + "files '#2'").out.substr(0, 7), "2\tx.tpl");

    const Result created = Shell(dir, cli + "add-project Neu --source src");
    EXPECT_EQ(created.out, "4\n");
    EXPECT_EQ(Shell(dir, cli + "files Neu").out, "");
    EXPECT_EQ(Shell(dir, cli + "add-file Neu src/x.tpl").out, "3\n");
}

TEST(CliProcess, ChangesAndRemovalsShowInTheNextListingAndRefusalsWriteNothing) {
    testkit::TempDir dir;
    fs::create_directory(dir.Path() / "src");
    testkit::WriteBytes(dir / "src/x.tpl", "x\n");
    testkit::WriteBytes(dir / "src/y.tpl", "y\n");
    const std::string cli = "'" + kCli + "' ";
    ASSERT_EQ(Shell(dir, cli + "add-project P --source src --target out --ext html").status, 0);
    ASSERT_EQ(Shell(dir, cli + "add-project Q").status, 0);
    ASSERT_EQ(Shell(dir, cli + "add-file P src/x.tpl src/y.tpl").status, 0);

    EXPECT_EQ(Shell(dir, cli + "set-file P x.tpl --select --no-create --target own").status, 0);
    EXPECT_EQ(Shell(dir, cli + "set-project P --name R --source src --target neu").status, 0);
    EXPECT_EQ(Shell(dir, cli + "files R").out,
              "1\tx.tpl\t1\t0\t1\t1\t0\thtml\tsrc\town\n"
              "2\ty.tpl\t0\t1\t1\t1\t1\thtml\tsrc\tneu\n");
    EXPECT_EQ(Shell(dir, cli + "set-file R '#1' --unselect --project-target").status, 0);
    const std::string followsAgain = "1\tx.tpl\t0\t0\t1\t1\t1\thtml\tsrc\tneu\n";
    EXPECT_EQ(Shell(dir, cli + "files R").out.substr(0, followsAgain.size()), followsAgain);

    const std::string before = testkit::ReadBytes(dir / "Pellandrix.mdb");
    const std::string wide(300, 'w');
    const std::vector<std::string> refusals{
        "remove-file R y.tpl nichtda.tpl", "set-project R --name Q", "set-project R --name " + wide,
        "set-file R y.tpl --ext \"$(printf 'a\\tb')\"", "remove-project Nichtda"};
    for (const std::string& refused : refusals) {
        const Result r = Shell(dir, cli + refused);
        EXPECT_EQ(r.status, 2) << refused;
        EXPECT_FALSE(r.err.empty()) << refused;
        EXPECT_EQ(testkit::ReadBytes(dir / "Pellandrix.mdb"), before) << refused;
    }
    EXPECT_EQ(Shell(dir, cli + "remove-file R y.tpl").status, 0);
    EXPECT_EQ(Shell(dir, cli + "files R").out.substr(0, 7), "1\tx.tpl");
    EXPECT_EQ(Shell(dir, cli + "files R").out.find("y.tpl"), std::string::npos);
    EXPECT_EQ(Shell(dir, cli + "remove-project R").status, 0);
    EXPECT_EQ(Shell(dir, cli + "projects").out, "2\tQ\t\t\t\n");
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
