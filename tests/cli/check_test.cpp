// check: broken links, stale pages and missing includes, on real files.
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "cli_fixture.h"

namespace pellandrix {
namespace {

namespace fs = std::filesystem;
using testkit::CliFixture;
using Lines = std::vector<std::string>;

void RunSql(const std::string& database, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

void Replace(CliFixture& f, const std::string& file, const std::string& from,
             const std::string& to) {
    std::string text = testkit::ReadBytes(f.dir / file);
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    f.Write(file, text.replace(at, from.size(), to));
}

// The example site, set up by its own script with the built program.
struct ExampleSite : CliFixture {
    ExampleSite() {
        fs::copy(fs::path(PELLANDRIX_EXAMPLES_DIR) / "site", dir.Path(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        fs::remove_all(dir / "data");
        fs::remove_all(dir / "out");
        const std::string setup =
            "bash '" + (dir / "setup.sh") + "' '" PELLANDRIX_CLI_PATH "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(setup.c_str()), 0);
    }
};

TEST(CliCheck, TheExampleSiteIsCleanAndExactlyWhatBrokeIsReported) {
    ExampleSite site;
    ASSERT_EQ(site.Run({"generate", "Website"}), 0) << site.err;
    EXPECT_EQ(site.Run({"check", "Website"}), 0);
    EXPECT_EQ(site.out + site.err, "");

    Replace(site, "templates/news.tpl", "about.html#backstube", "angebot.html");
    Replace(site, "templates/contact.tpl", "</main>",
            "#include \"templates/assets/preise.txt\"\n</main>");
    ASSERT_EQ(site.Run({"generate", "Website"}), 0) << site.err;
    RunSql(site.dir / "data/site.db", "DELETE FROM TPLFile WHERE TPLFileName = 'about.tpl'");
    EXPECT_EQ(site.Run({"check", "Website"}), 1);
    EXPECT_EQ(site.err, "");
    EXPECT_EQ(
        site.OutLines(),
        (Lines{"out/news.html:22: Verweis auf \"angebot.html\" führt ins Leere: "
               "out/angebot.html fehlt",
               "out/about.html:1: veraltete Seite: kein Eintrag des Projekts erzeugt sie mehr",
               "templates/contact.tpl:11: #include \"templates/assets/preise.txt\": die "
               "Datei templates/assets/preise.txt lässt sich nicht öffnen"}));
    EXPECT_TRUE(testkit::Exists(site.dir / "out/about.html"));

    // Removed, the stale page leaves the nav links of the other pages
    // without a target; a second check finds no stale page any more.
    EXPECT_EQ(site.Run({"check", "Website", "--remove-stale"}), 1);
    EXPECT_FALSE(testkit::Exists(site.dir / "out/about.html"));
    const Lines removed = site.OutLines();
    ASSERT_EQ(removed.size(), 6u) << site.out;
    EXPECT_EQ(removed[0],
              "out/contact.html:16: Verweis auf \"about.html\" führt ins Leere: "
              "out/about.html fehlt");
    EXPECT_EQ(removed[4],
              "out/about.html:1: veraltete Seite gelöscht: kein Eintrag erzeugte sie "
              "mehr");
    EXPECT_EQ(site.Run({"check", "Website"}), 1);
    EXPECT_EQ(site.OutLines().size(), 5u);
}

// A project "P": templates in src/, pages in out/.
struct Project : CliFixture {
    Project() {
        for (const char* folder : {"src", "out", "out/sub", "out2"}) {
            fs::create_directory(dir / folder);
        }
        EXPECT_EQ(Run({"add-project", "P", "--source", "src", "--target", "out", "--ext", "html"}),
                  0);
    }
    void Add(const std::string& name, const std::string& text, std::vector<std::string> extra) {
        Write("src/" + name, text);
        extra.insert(extra.begin(), {"add-file", "P", "src/" + name, "--select"});
        EXPECT_EQ(Run(extra), 0) << err;
    }
    void Sql(const std::string& sql) { RunSql(dir / "Pellandrix.mdb", sql); }
};

TEST(CliCheck, RemoveStaleDeletesOnlyWhatTheRecordSaysWasWritten) {
    Project p;
    for (const char* name : {"a", "b", "c", "d"}) {
        p.Add(std::string(name) + ".tpl", std::string(name) + "\n", {});
    }
    ASSERT_EQ(p.Run({"generate", "P"}), 0);
    // b moves to another folder; c is changed by hand, then dropped; d is
    // named another way that reaches the same folder; x was never written.
    p.Sql("UPDATE TPLFile SET TargetPath = 'out2', TargetFromProject = 0 WHERE TPLFileId = 2");
    p.Sql(
        "UPDATE TPLFile SET TargetPath = './out/sub/..', TargetFromProject = 0 "
        "WHERE TPLFileId = 4");
    ASSERT_EQ(p.Run({"generate", "P"}), 0);
    p.Write("out/c.html", "mine\n");
    p.Sql("DELETE FROM TPLFile WHERE TPLFileId = 3");
    p.Write("out/x.html", "x\n");
    const Lines found{
        "out/b.html:1: veraltete Seite: kein Eintrag des Projekts erzeugt sie mehr",
        "out/c.html:1: veraltete Seite, seit dem Lauf, der sie schrieb, geändert: bleibt stehen"};
    EXPECT_EQ(p.Run({"check", "P"}), 1);
    EXPECT_EQ(p.OutLines(), found);

    EXPECT_EQ(p.Run({"check", "P", "--remove-stale"}), 1);
    EXPECT_EQ(p.OutLines(),
              (Lines{"out/b.html:1: veraltete Seite gelöscht: kein Eintrag erzeugte sie mehr",
                     found[1]}));
    EXPECT_FALSE(testkit::Exists(p.dir / "out/b.html"));
    for (const char* kept :
         {"out/a.html", "out/c.html", "out/d.html", "out/x.html", "out2/b.html"}) {
        EXPECT_TRUE(testkit::Exists(p.dir / kept)) << kept;
    }
    // The record forgot the page: the same bytes put back are someone
    // else's file now.
    p.Write("out/b.html", "b\r\n");
    EXPECT_EQ(p.Run({"check", "P"}), 1);
    EXPECT_EQ(p.OutLines(), Lines{found[1]});
}

// Links resolve as a browser resolves them, "/" being the project's target
// folder; what leads off the site is not followed.
TEST(CliCheck, LinksAreResolvedAsABrowserDoes) {
    Project p;
    p.Write("out/a b.html", "<p id=\"x\">");
    p.Write("out/sub/index.htm", "");
    p.Write("out/img.png", "");
    p.Write("secret.html", "");  // above the site: no link may reach it
    p.Add("index.tpl",
          "<!DOCTYPE html><title>t</title>\n"
          "<a href=\"#oben\">ok</a> <a href=\"#top\">ok</a> <a name=\"oben\"></a>\n"
          "<a href=\" a%20b.html?x=1#x \">ok</a> <a href=\"/sub/\">ok</a> <a href=\"sub\">ok</a>\n"
          "<a href=\"mailto:a@b\">x</a> <a href=\"//host/x\">x</a> <a href=\"https://h/\">x</a>\n"
          "<img src=\"data:,x\" srcset=\"img.png 1x, gone.png 2x,fine.png?(x)\">\n"
          "<a\nhref=\"a b.html#y\">gone</a> <a href=\"#unten\">gone</a>\n"
          "<template><a href=\"../../../missing.html\">gone</a></template>\n"
          "<a href=\"..%2Fsecret.html\">gone</a>\n",
          {});
    p.Add("page.tpl",
          "<a href=\"/index.html#oben\">ok</a> <a href=\"../index.html\">ok</a>\n"
          "<a href=\"/sub/page.html\">ok</a>\n",
          {"--target", "out/sub"});
    ASSERT_EQ(p.Run({"generate", "P"}), 0) << p.err;
    EXPECT_EQ(p.Run({"check", "P"}), 1);
    EXPECT_EQ(p.OutLines(),
              (Lines{"out/index.html:5: Verweis auf \"fine.png?(x)\" führt ins Leere: "
                     "out/fine.png fehlt",
                     "out/index.html:5: Verweis auf \"gone.png\" führt ins Leere: out/gone.png "
                     "fehlt",
                     "out/index.html:7: Verweis auf \"#unten\" führt ins Leere: out/index.html hat "
                     "keinen Anker \"unten\"",
                     "out/index.html:7: Verweis auf \"a b.html#y\" führt ins Leere: out/a b.html "
                     "hat keinen Anker \"y\"",
                     "out/index.html:8: Verweis auf \"../../../missing.html\" führt ins Leere: "
                     "out/missing.html fehlt",
                     "out/index.html:9: Verweis auf \"..%2Fsecret.html\" führt ins Leere: "
                     "out/secret.html fehlt"}));
}

// A page nested deeper than any real one would take the parser minutes: it
// is named as unchecked instead, and links to its anchors are not doubted.
TEST(CliCheck, PageNestedTooDeepIsReportedUnchecked) {
    Project p;
    std::string deep;
    for (int i = 0; i < 3000; ++i) {
        deep += "<div>";
    }
    p.Add("deep.tpl", "<a href=\"gone.html\">x</a>" + deep + "\n", {});
    p.Add("index.tpl", "<a href=\"deep.html#x\">ok</a>\n", {});
    ASSERT_EQ(p.Run({"generate", "P"}), 0) << p.err;
    EXPECT_EQ(p.Run({"check", "P"}), 1);
    EXPECT_EQ(p.OutLines(), Lines{"out/deep.html:1: Die Seite ist tiefer als 2000 Ebenen "
                                  "verschachtelt; ihre Verweise werden nicht geprüft."});
}

}  // namespace
}  // namespace pellandrix
