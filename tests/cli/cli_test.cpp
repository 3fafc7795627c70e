#include "cli/cli.h"

#include <algorithm>
#include <filesystem>
#include <tuple>

#include <gtest/gtest.h>

#include "cli_fixture.h"
#include "support/string_table.h"
#include "testkit/jet_file.h"

namespace pellandrix {
namespace {

using testkit::CliFixture;
using Lines = std::vector<std::string>;

// A project "Web" with templates in src/ and pages in out/.
struct WebProject : CliFixture {
    WebProject() {
        std::filesystem::create_directory(dir / "src");
        std::filesystem::create_directory(dir / "out");
        Write("fileext.def", "html\r\nhtm\r\nphp\r\n");
        EXPECT_EQ(Run({"add-project", "Web", "--source", "src", "--target", "out"}), 0);
    }
    int AddFile(const std::string& name, const std::string& text, std::vector<std::string> extra) {
        Write("src/" + name, text);
        std::vector<std::string> args{"add-file", "Web", dir / ("src/" + name)};
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(args);
    }
};

TEST(Cli, FirstStartCreatesTheDatabaseAndSaysSo) {
    CliFixture f;
    EXPECT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.out, "");
    EXPECT_EQ(f.ErrLines(),
              Lines{FormatMessage(MessageId::kNewDatabase,
                                  std::filesystem::canonical(f.dir.Path()).string() + "/", "")});
    EXPECT_TRUE(testkit::Exists(f.dir / "Pellandrix.mdb"));
    EXPECT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.err, "");
}

TEST(Cli, AddProjectAndFilesAreListedWithTheirSettings) {
    WebProject p;
    EXPECT_EQ(p.out, "1\n");
    EXPECT_EQ(p.AddFile("index.tpl", "x\n", {"--select"}), 0);
    EXPECT_EQ(p.out, "1\n");
    EXPECT_EQ(p.AddFile("part.tpl", "y\n",
                        {"--ext", "php", "--no-create", "--no-always-parse", "--own-source",
                         "--target", "elsewhere"}),
              0);
    EXPECT_EQ(p.out, "2\n");
    EXPECT_EQ(p.Run({"projects"}), 0);
    EXPECT_EQ(p.out, "1\tWeb\tsrc\tout\thtml\n");
    EXPECT_EQ(p.Run({"files", "Web"}), 0);
    EXPECT_EQ(p.OutLines(),
              (Lines{"1\tindex.tpl\t1\t1\t1\t1\t1\thtml\tsrc\tout",
                     "2\tpart.tpl\t0\t0\t0\t0\t0\tphp\t" + (p.dir / "src") + "\telsewhere"}));
}

TEST(Cli, AddFileTakesSeveralFilesAllOrNone) {
    WebProject p;
    for (const char* name : {"a.tpl", "b.tpl", "c.tpl", "d.tpl"}) {
        p.Write(std::string("src/") + name, "x\n");
    }
    EXPECT_EQ(p.Run({"add-file", "Web", "src/a.tpl", "src/b.tpl", "--no-create", "src/c.tpl"}), 0)
        << p.err;
    EXPECT_EQ(p.OutLines(), (Lines{"1", "2", "3"}));
    const Lines listed{"1\ta.tpl\t0\t0\t1\t1\t1\thtml\tsrc\tout",
                       "2\tb.tpl\t0\t0\t1\t1\t1\thtml\tsrc\tout",
                       "3\tc.tpl\t0\t0\t1\t1\t1\thtml\tsrc\tout"};
    ASSERT_EQ(p.Run({"files", "Web"}), 0);
    EXPECT_EQ(p.OutLines(), listed);

    // One refused file, already there or named twice, refuses them all.
    const std::vector<std::vector<std::string>> refused{
        {"src/d.tpl", "src/b.tpl"}, {"src/d.tpl", "src/d.tpl"}, {"src/d.tpl", "src/e.tpl"}};
    const Lines messages{FormatMessage(MessageId::kFileAlreadyInProject, "b.tpl", "Web"),
                         FormatMessage(MessageId::kFileAlreadyInProject, "d.tpl", "Web"),
                         FormatMessage(MessageId::kTemplateNotFound, "src/e.tpl", "")};
    for (std::size_t i = 0; i < refused.size(); ++i) {
        std::vector<std::string> args{"add-file", "Web"};
        args.insert(args.end(), refused[i].begin(), refused[i].end());
        EXPECT_EQ(p.Run(args), 2);
        EXPECT_EQ(p.out, "");
        EXPECT_EQ(p.ErrLines(), Lines{messages[i]});
    }
    ASSERT_EQ(p.Run({"files", "Web"}), 0);
    EXPECT_EQ(p.OutLines(), listed);
    EXPECT_EQ(p.Run({"add-file", "Web", "src/d.tpl"}), 0);
    EXPECT_EQ(p.out, "4\n");
    EXPECT_EQ(p.Run({"add-file", "Web"}), 2);
}

TEST(Cli, GenerateWritesPagesAndReportsParseErrorsInOrder) {
    WebProject p;
    p.AddFile("head.tpl", "<h1>T</h1>\n#endif\n", {"--no-create"});
    p.AddFile("page.tpl", "#define T Hallo\n#include \"head.tpl\"\n#ifdef X\n#ifdef Y\n#endif\n",
              {"--select"});
    EXPECT_EQ(p.Run({"generate", "Web"}), 1);
    EXPECT_EQ(testkit::ReadBytes(p.dir / "out/page.html"), "<h1>Hallo</h1>\r\n");
    EXPECT_FALSE(testkit::Exists(p.dir / "out/head.html"));
    EXPECT_EQ(p.ErrLines(),
              (Lines{"Parse-Fehler in Datei head.tpl in Zeile  2: Es wurde ein #endif ohne "
                     "#ifdef verwendet. Die Anweisung wird ignoriert.",
                     "Parse-Fehler in Datei page.tpl in Zeile  4: geschachteltes #ifdef nicht "
                     "erlaubt. Die Anweisung wird ignoriert."}));
    EXPECT_EQ(p.OutLines(), (Lines{"fertig\thead.tpl", "fertig\tpage.tpl"}));
}

// With --locations each message names its place and the chain of
// includes that led there; without, the same run's lines stay as they were.
TEST(Cli, GenerateLocationsNameTheIncludeChain) {
    WebProject p;
    p.AddFile("inner.tpl", "i\n#else\n", {"--no-create"});
    p.AddFile("middle.tpl", "m\nm\n#include \"inner.tpl\"\n", {"--no-create"});
    p.AddFile("page.tpl", "#include \"middle.tpl\"\n#endif\n", {"--select"});
    const std::string inner = FormatMessage(MessageId::kElseWithoutIfdef, "inner.tpl", "2");
    const std::string page = FormatMessage(MessageId::kEndifWithoutIfdef, "page.tpl", "2");
    EXPECT_EQ(p.Run({"generate", "Web", "--locations"}), 1);
    EXPECT_EQ(p.ErrLines(),
              (Lines{"src/inner.tpl:2: " + inner, "  eingebunden von src/middle.tpl:3",
                     "  eingebunden von src/page.tpl:1", "src/page.tpl:2: " + page}));
    EXPECT_EQ(p.Run({"generate", "Web"}), 1);
    EXPECT_EQ(p.ErrLines(), (Lines{inner, page}));
    // A message about a page as a whole names its template without a line.
    std::filesystem::remove_all(p.dir / "out");
    EXPECT_EQ(p.Run({"generate", "Web", "--locations"}), 1);
    EXPECT_EQ(p.ErrLines().back(),
              "src/page.tpl: " +
                  FormatMessage(MessageId::kTargetDirectoryMissing, "out", "out/page.html"));
}

TEST(Cli, GenerateAllSelectsForThisRunOnly) {
    WebProject p;
    p.AddFile("a.tpl", "a\n", {});
    EXPECT_EQ(p.Run({"generate", "Web"}), 0);
    EXPECT_EQ(p.out, "deaktiviert\ta.tpl\n");
    EXPECT_FALSE(testkit::Exists(p.dir / "out/a.html"));
    EXPECT_EQ(p.Run({"generate", "Web", "--all"}), 0);
    EXPECT_EQ(p.out, "fertig\ta.tpl\n");
    EXPECT_EQ(testkit::ReadBytes(p.dir / "out/a.html"), "a\r\n");
    EXPECT_EQ(p.Run({"files", "Web"}), 0);
    EXPECT_EQ(p.out.substr(0, 12), "1\ta.tpl\t0\t1\t");
}

TEST(Cli, UsageErrorsExitWithTwo) {
    CliFixture f;
    const std::vector<std::vector<std::string>> bad{{},
                                                    {"frobnicate"},
                                                    {"files"},
                                                    {"files", "a", "b"},
                                                    {"generate", "W", "--bogus"},
                                                    {"add-project", "X", "--ext"},
                                                    {"projects", "--all"}};
    for (const auto& args : bad) {
        std::ostringstream out, err;
        EXPECT_EQ(cli::RunCli(args, out, err, false), 2) << ::testing::PrintToString(args);
        EXPECT_EQ(err.str().rfind("Fehlerhafter Aufruf: ", 0), 0u) << err.str();
        EXPECT_EQ(out.str(), "");
    }
    std::ostringstream out, err;
    EXPECT_EQ(cli::RunCli({"--help"}, out, err, false), 0);
    for (const char* command : {"projects", "files", "generate", "add-project", "add-file"}) {
        EXPECT_NE(out.str().find(command), std::string::npos) << command;
    }
}

TEST(Cli, BadInputIsRefusedWithAClearMessage) {
    WebProject p;
    EXPECT_EQ(p.Run({"files", "Nope"}), 2);
    EXPECT_EQ(p.err, FormatMessage(MessageId::kUnknownProject, "Nope", "") + "\n");
    EXPECT_EQ(p.Run({"add-file", "Web", "src/missing.tpl"}), 2);
    EXPECT_EQ(p.AddFile("a.tpl", "", {"--ext", "exe"}), 2);
    EXPECT_EQ(p.err, FormatMessage(MessageId::kExtensionNotOffered, "exe", "") + "\n");
    EXPECT_EQ(p.AddFile("a.tpl", "", {"--own-source"}), 0);
    EXPECT_EQ(p.AddFile("a.tpl", "", {"--own-source"}), 2);
    EXPECT_EQ(p.err, FormatMessage(MessageId::kFileAlreadyInProject, "a.tpl", "Web") + "\n");
    // The same name from another folder is another file; every entry of
    // that name is compared, not only the first.
    std::filesystem::create_directory(p.dir / "b");
    p.Write("b/a.tpl", "");
    EXPECT_EQ(p.Run({"add-file", "Web", "b/a.tpl", "--own-source"}), 0);
    EXPECT_EQ(p.Run({"add-file", "Web", "b/a.tpl", "--own-source"}), 2);
    EXPECT_EQ(p.err, FormatMessage(MessageId::kFileAlreadyInProject, "a.tpl", "Web") + "\n");
    EXPECT_EQ(p.Run({"add-project", std::string(50, 'n')}), 2);
    EXPECT_EQ(p.Run({"-C", p.dir / "nowhere", "projects"}), 2);
    EXPECT_EQ(p.Run({"projects"}), 0);
    EXPECT_EQ(p.OutLines().size(), 1u);
}

TEST(Cli, DatabaseThatIsNoDatabaseIsReportedAndLeftAlone) {
    CliFixture f;
    const std::string junk = "this is not a database, just text\n";
    f.Write("Pellandrix.mdb", junk);
    EXPECT_EQ(f.Run({"projects"}), 2);
    ASSERT_EQ(f.ErrLines().size(), 1u);
    EXPECT_EQ(f.err.rfind("Die Projektdatenbank ", 0), 0u) << f.err;
    EXPECT_EQ(testkit::ReadBytes(f.dir / "Pellandrix.mdb"), junk);
}

// No one to ask: converted with a notice, then used like any database. A
// damaged one is refused and kept.
TEST(Cli, AnOldJetDatabaseIsConvertedWithANotice) {
    for (const auto version : {testkit::JetVersion::kJet3, testkit::JetVersion::kJet4}) {
        CliFixture f;
        const std::string folder = std::filesystem::canonical(f.dir.Path()).string();
        const std::string jet = testkit::WriteCheckedJetFile(f.dir / "Pellandrix.mdb", version,
                                                             testkit::SampleProjectJetTables(3));
        EXPECT_EQ(f.Run({"projects"}), 0);
        EXPECT_EQ(f.OutLines(), (Lines{"1\tÜber Größe – 10 €\t/srv/wüste/src\t/srv/wüste/out\thtm",
                                       "2\tLeer\t\t\t", "5\tCafé d'Ämter\t/s\t/t\thtml"}));
        EXPECT_EQ(f.ErrLines(),
                  Lines{FormatMessage(MessageId::kJetDatabaseConverted, folder + "/Pellandrix.mdb",
                                      folder + "/Pellandrix.jet")});
        EXPECT_EQ(testkit::ReadBytes(f.dir / "Pellandrix.jet"), jet);
        EXPECT_EQ(f.Run({"files", testkit::kSampleProjectName}), 0);
        ASSERT_EQ(f.OutLines().size(), 3u);
        EXPECT_EQ(f.OutLines()[1],
                  "2\tseite_ä_1.tpl\t1\t1\t1\t1\t0\thtm\t/srv/wüste/src\t/srv/wüste/out");
        EXPECT_EQ(f.err, "");
    }
    CliFixture f;
    const std::string jet = testkit::WriteCheckedJetFile(
        f.dir / "Pellandrix.mdb", testkit::JetVersion::kJet4, testkit::SampleProjectJetTables(3));
    const std::string cut = jet.substr(0, jet.size() - 1);
    f.Write("Pellandrix.mdb", cut);
    EXPECT_EQ(f.Run({"projects"}), 2);
    ASSERT_EQ(f.ErrLines().size(), 1u);
    EXPECT_NE(f.err.find("Sie hat das alte Jet-Format und konnte nicht umgewandelt werden"),
              std::string::npos)
        << f.err;
    EXPECT_EQ(testkit::ReadBytes(f.dir / "Pellandrix.mdb"), cut);
    EXPECT_FALSE(testkit::Exists(f.dir / "Pellandrix.jet"));
}

// What Tab completion asks: no database is made, a Jet file is neither
// converted nor read, and an existing database is listed byte for byte as
// it was.
TEST(Cli, ProjectsReadOnlyNeverWrites) {
    CliFixture f;
    const auto names = [&f] {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(f.dir.Path())) {
            found.push_back(entry.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    EXPECT_EQ(f.Run({"projects", "--read-only"}), 2);
    EXPECT_EQ(f.ErrLines().size(), 1u);
    EXPECT_EQ(names(), Lines{});
    const std::string jet = testkit::WriteCheckedJetFile(
        f.dir / "Pellandrix.mdb", testkit::JetVersion::kJet4, testkit::SampleProjectJetTables(3));
    EXPECT_EQ(f.Run({"projects", "--read-only"}), 2);
    EXPECT_EQ(f.out, "");
    EXPECT_EQ(names(), Lines{"Pellandrix.mdb"});
    EXPECT_EQ(testkit::ReadBytes(f.dir / "Pellandrix.mdb"), jet);

    std::filesystem::remove(f.dir / "Pellandrix.mdb");
    EXPECT_EQ(f.Run({"add-project", "Web"}), 0);
    const std::string database = testkit::ReadBytes(f.dir / "Pellandrix.mdb");
    EXPECT_EQ(f.Run({"projects", "--read-only"}), 0);
    EXPECT_EQ(f.out, "1\tWeb\t\t\t\n");
    EXPECT_EQ(f.err, "");
    EXPECT_EQ(names(), Lines{"Pellandrix.mdb"});
    EXPECT_EQ(testkit::ReadBytes(f.dir / "Pellandrix.mdb"), database);
}

TEST(Cli, IniFileMovesTheDatabase) {
    CliFixture f;
    f.Write("Pellandrix.ini", "[Database]\r\nDatabase_Path = .\\daten\r\ndatabase_name=web.db\r\n");
    EXPECT_EQ(f.Run({"add-project", "P"}), 0);
    EXPECT_TRUE(testkit::Exists(f.dir / "daten/web.db"));
    EXPECT_FALSE(testkit::Exists(f.dir / "Pellandrix.mdb"));
}

}  // namespace
}  // namespace pellandrix

namespace pellandrix {
namespace {

TEST(CliTransfer, ExportImportAndExportAgainGiveTheSameText) {
    testkit::CliFixture f;
    for (const char* dir : {"Peter's Seite", "Peter's Seite/Vorlagen ä", "außen"}) {
        std::filesystem::create_directory(f.dir / dir);
    }
    f.Write("Peter's Seite/Vorlagen ä/Über uns.tpl", "x\n");
    f.Write("außen/b.tpl", "y\n");
    ASSERT_EQ(f.Run({"add-project", "Peter's Seite", "--source", "Peter's Seite/Vorlagen ä",
                     "--target", "Peter's Seite/out"}),
              0);
    ASSERT_EQ(
        f.Run({"add-file", "Peter's Seite", "Peter's Seite/Vorlagen ä/Über uns.tpl", "--select"}),
        0);
    ASSERT_EQ(f.Run({"add-file", "Peter's Seite", "außen/b.tpl", "--own-source", "--no-create",
                     "--target", "/tmp"}),
              0);
    const std::string text = f.dir / "Peter's Seite/projekt.txt";
    ASSERT_EQ(f.Run({"export", "Peter's Seite", text}), 0) << f.err;
    const std::string exported = testkit::ReadBytes(text);
    // Paths under the text's folder are relative to it, others absolute.
    EXPECT_NE(exported.find("\nQuellverzeichnis=Vorlagen ä\n"), std::string::npos) << exported;
    EXPECT_NE(exported.find("\nQuellverzeichnis=" + (f.dir / "außen") + "\n"), std::string::npos);

    // A new project from the text, then the first replaced by it: same text.
    // Its paths stay relative, so that a copy of the folder works on its own.
    ASSERT_EQ(f.Run({"import", text, "--as", "Kopie"}), 0) << f.err;
    EXPECT_EQ(f.out, "2\n");
    ASSERT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.OutLines()[1], "2\tKopie\tPeter's Seite/Vorlagen ä\tPeter's Seite/out\t");
    ASSERT_EQ(f.Run({"import", text}), 0) << f.err;
    EXPECT_EQ(f.out, "1\n");
    ASSERT_EQ(f.Run({"export", "Peter's Seite", text}), 0);
    EXPECT_EQ(testkit::ReadBytes(text), exported);
    ASSERT_EQ(f.Run({"files", "Peter's Seite"}), 0);
    EXPECT_EQ(f.OutLines().size(), 2u);

    // A damaged text is refused whole, naming its line; nothing changes.
    f.Write("bad.txt", "Pellandrix-Projekt 1\nProjekt=Neu\nunsinn\n");
    EXPECT_EQ(f.Run({"import", f.dir / "bad.txt"}), 2);
    EXPECT_EQ(f.err, FormatMessage(MessageId::kProjectTextBad, "3", f.dir / "bad.txt") + "\n");
    ASSERT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.OutLines().size(), 2u);
}

// A text cut short anywhere (a full disk, a killed export) would replace
// the project with fewer entries: without its closing line it is refused.
TEST(CliTransfer, TextCutShortIsRefusedAndChangesNothing) {
    testkit::CliFixture f;
    std::filesystem::create_directory(f.dir / "src");
    for (const char* name : {"a.tpl", "b.tpl", "c.tpl"}) {
        f.Write(std::string("src/") + name, "x\n");
    }
    ASSERT_EQ(f.Run({"add-project", "P", "--source", "src"}), 0);
    ASSERT_EQ(f.Run({"add-file", "P", "src/a.tpl", "src/b.tpl", "src/c.tpl"}), 0);
    ASSERT_EQ(f.Run({"export", "P"}), 0);
    const std::string whole = f.out;
    ASSERT_TRUE(whole.ends_with("\nEnde\n")) << whole;
    for (std::size_t cut = 0; cut + 1 < whole.size(); cut += 13) {
        f.Write("cut.txt", whole.substr(0, cut));
        EXPECT_EQ(f.Run({"import", f.dir / "cut.txt"}), cli::kExitFailure) << cut;
    }
    EXPECT_EQ(f.err, FormatMessage(MessageId::kProjectTextCut, f.dir / "cut.txt", "") + "\n");
    // Nothing may follow the closing line, and no key may come twice in a
    // block: which of two values was meant is anyone's guess.
    f.Write("more.txt", whole + "Datei=d.tpl\n");
    f.Write("twice.txt",
            "Pellandrix-Projekt 1\nProjekt=P\n\nDatei=a.tpl\nerstellen=ja\n"
            "erstellen=nein\n\nEnde\n");
    for (const auto& [name, line] : {std::pair{"more.txt", "32"}, {"twice.txt", "6"}}) {
        EXPECT_EQ(f.Run({"import", f.dir / name}), cli::kExitFailure);
        EXPECT_EQ(f.err, FormatMessage(MessageId::kProjectTextBad, line, f.dir / name) + "\n");
    }
    // A text that never ends is not read to its end.
    EXPECT_EQ(f.Run({"import", "/dev/zero"}), cli::kExitFailure);
    EXPECT_EQ(f.err, FormatMessage(MessageId::kProjectTextTooLarge, "/dev/zero", "64") + "\n");
    ASSERT_EQ(f.Run({"files", "P"}), 0);
    EXPECT_EQ(f.OutLines().size(), 3u);
}

// import stores only what add-project and add-file would.
TEST(CliTransfer, ImportRefusesWhatAddingWouldRefuse) {
    testkit::CliFixture f;
    ASSERT_EQ(f.Run({"projects"}), 0);
    const std::vector<std::tuple<std::string, MessageId, std::string>> refused{
        {"Projekt=a\xc2\x85"
         "b",
         MessageId::kControlCharacter, "a\\x85b"},
        {"Projekt=P\nQuellverzeichnis=a\xe2\x80\xa8"
         "b",
         MessageId::kControlCharacter, "a\\u2028b"},
        {"Projekt=caf\xe9", MessageId::kTextNotUtf8, "caf\\xe9"},
        {"Projekt=P\n\nDatei=../a.tpl", MessageId::kNotAFileName, "../a.tpl"},
        {"Projekt=P\n\nDatei=a.tpl\nDateiendung=../../x", MessageId::kNotAFileName, "../../x"},
    };
    for (const auto& [lines, id, value] : refused) {
        f.Write("p.txt", "Pellandrix-Projekt 1\n" + lines + "\n\nEnde\n");
        EXPECT_EQ(f.Run({"import", f.dir / "p.txt"}), cli::kExitFailure) << lines;
        EXPECT_EQ(f.err, FormatMessage(id, value, "") + "\n");
    }
    ASSERT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.out, "");
}

// An export into a file never follows what was planted beside it, and
// never leaves a file of its own behind.
TEST(CliTransfer, ExportWritesNoFileButItsOwn) {
    testkit::CliFixture f;
    ASSERT_EQ(f.Run({"add-project", "P"}), 0);
    f.Write("victim", "geheim");
    std::filesystem::create_symlink(f.dir / "victim", f.dir / "p.txt.pellandrix-export");
    ASSERT_EQ(f.Run({"export", "P", f.dir / "p.txt"}), 0) << f.err;
    EXPECT_EQ(testkit::ReadBytes(f.dir / "victim"), "geheim");
    EXPECT_FALSE(std::filesystem::is_symlink(f.dir / "p.txt"));
    EXPECT_TRUE(testkit::ReadBytes(f.dir / "p.txt").ends_with("\nEnde\n"));
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(f.dir.Path())) {
        files += entry.path().filename() != "Pellandrix.mdb" ? 1 : 0;
    }
    EXPECT_EQ(files, 3u);  // victim, the planted link, p.txt
}

}  // namespace
}  // namespace pellandrix
