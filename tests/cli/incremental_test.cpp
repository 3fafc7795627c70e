// generate --changed against full runs: on random projects and random edit
// sequences, a --changed run in one copy and a full run in another must
// leave the same files, the same project tables and the same messages; and
// a dry run beforehand must touch nothing and announce exactly what the run
// then changes.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "cli_fixture.h"
#include "support/content_hash.h"

namespace pellandrix {
namespace {

namespace fs = std::filesystem;
using testkit::CliFixture;
using Files = std::map<std::string, std::string>;

constexpr const char* kFolders[] = {"out", "out2"};

// Every file under the target folders, by path relative to the copy; a
// link as "-> " and what it points to.
Files Snapshot(const CliFixture& f) {
    Files files;
    for (const char* folder : kFolders) {
        for (const auto& e : fs::recursive_directory_iterator(f.dir / folder)) {
            // Lexically: fs::relative would resolve a link to its target.
            const std::string path = e.path().lexically_relative(f.dir.Path()).string();
            if (e.is_symlink()) {
                files[path] = "-> " + fs::read_symlink(e.path()).string();
            } else if (e.is_regular_file()) {
                files[path] = testkit::ReadBytes(e.path().string());
            }
        }
    }
    return files;
}

std::string Query(const CliFixture& f, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string rows;
    if (sqlite3_open_v2((f.dir / "Pellandrix.mdb").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
        SQLITE_OK) {
        sqlite3_exec(
            db, sql.c_str(),
            [](void* out, int n, char** values, char**) {
                for (int i = 0; i < n; ++i) {
                    *static_cast<std::string*>(out) += values[i] ? values[i] : "<null>";
                    *static_cast<std::string*>(out) += '|';
                }
                *static_cast<std::string*>(out) += '\n';
                return 0;
            },
            &rows, nullptr);
    }
    sqlite3_close(db);
    return rows;
}

std::string Tables(const CliFixture& f) {
    return Query(f, "SELECT * FROM project ORDER BY ProjectId") +
           Query(f, "SELECT * FROM TPLFile ORDER BY ProjectId, TPLFileId");
}

std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A random project and the edits made to it, applied alike to both copies.
class Sequence {
  public:
    // What changed between two snapshots, and what a dry run announced, as
    // "action path" lines to compare.
    static std::vector<std::string> Changes(const Files& before, const Files& after);
    // A page written through a link is announced under the page's path and
    // changes the file the link leads to: `before` resolves the links.
    static std::vector<std::string> Actions(const std::vector<std::string>& planned,
                                            const Files& before);

    explicit Sequence(unsigned seed) : rng_(seed) {
        templates_ = Pick(2, 6);
        for (CliFixture* f : {&incremental_, &full_}) {
            for (const char* folder : {"src", "inc", "out", "out2"}) {
                fs::create_directory(f->dir / folder);
            }
            f->Write("fileext.def", "html\r\nhtm\r\n");
            f->Run({"add-project", "P", "--source", "src", "--target", "out"});
        }
        for (int i = 0; i < 3; ++i) {
            Both("inc/p" + std::to_string(i) + ".txt", Line() + "\n");
        }
        for (int t = 0; t < templates_; ++t) {
            Both(Template(t), Text());
            std::vector<std::string> args{"add-file", "P", "src/" + Name(t)};
            for (const char* flag : {"--select", "--no-create", "--no-always-parse"}) {
                if (Chance(flag[2] == 's' ? 70 : 25)) {
                    args.push_back(flag);
                }
            }
            if (Chance(20)) {
                args.insert(args.end(), {"--target", "out2"});
            }
            for (CliFixture* f : {&incremental_, &full_}) {
                f->Run(args);
            }
        }
    }

    void Edit() {
        const int t = Pick(0, templates_ - 1);
        const std::string id = std::to_string(t + 1);
        switch (Pick(0, 12)) {
            case 0:
            case 1:
                Both(Template(t), Text());
                break;
            case 2:
                Both("inc/p" + std::to_string(Pick(0, 3)) + ".txt", Line() + "\n");
                break;
            case 3:
                Remove(Pick(0, 1) ? Template(t) : "inc/p" + std::to_string(Pick(0, 3)) + ".txt");
                break;
            case 4:
                Sql("UPDATE TPLFile SET Selected = 1 - Selected WHERE TPLFileId = " + id);
                break;
            case 5:
                Sql(std::string("UPDATE TPLFile SET ") +
                    (Chance(50) ? "CreateFile = 1 - CreateFile" : "AlwaysParse = 1 - AlwaysParse") +
                    " WHERE TPLFileId = " + id);
                break;
            case 6:
                Sql(std::string("UPDATE TPLFile SET ") +
                    (Chance(50) ? "TargetPath = 'out2'" : "CreateFileExt = 'htm'") +
                    " WHERE TPLFileId = " + id);
                break;
            case 7:
                HandEditOutput();
                break;
            case 8:
                BlockPage(t);
                break;
            case 9:
                AddEntry();
                break;
            case 10:
                Sql("DELETE FROM TPLFile WHERE TPLFileId = " + id);
                break;
            case 11:
                RenameEntry(t, id);
                break;
            case 12:
                ChangeSettings();
                break;
            default:
                break;  // nothing changed at all
        }
    }

    void RunAndCompare() {
        const Files before = Snapshot(incremental_);
        const std::string tables = Tables(incremental_);
        incremental_.Run({"generate", "P", "--changed", "--dry-run"});
        const std::vector<std::string> planned = incremental_.OutLines();
        ASSERT_EQ(Snapshot(incremental_), before) << "the dry run wrote";
        ASSERT_EQ(Tables(incremental_), tables);

        const int changed = incremental_.Run({"generate", "P", "--changed"});
        const int full = full_.Run({"generate", "P"});
        EXPECT_EQ(changed, full);
        EXPECT_EQ(Sorted(incremental_.ErrLines()), Sorted(full_.ErrLines()));
        std::string statuses = incremental_.out;
        for (std::size_t at; (at = statuses.find("unverändert")) != std::string::npos;) {
            statuses.replace(at, std::string("unverändert").size(), "fertig");
        }
        EXPECT_EQ(statuses, full_.out);
        const Files after = Snapshot(incremental_);
        ASSERT_EQ(after, Snapshot(full_)) << "the target folders differ";
        EXPECT_EQ(Tables(incremental_), Tables(full_));
        EXPECT_EQ(Changes(before, after), Actions(planned, before));
    }

  private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool Chance(int percent) { return Pick(1, 100) <= percent; }
    static std::string Name(int t) { return "t" + std::to_string(t) + ".tpl"; }
    static std::string Template(int t) { return "src/" + Name(t); }

    std::string Line() {
        static const char* kWords[] = {"A", "B", "C", "text", "<p>", "A-B"};
        std::string line;
        for (int i = Pick(1, 3); i > 0; --i) {
            line += kWords[Pick(0, 5)];
            line += ' ';
        }
        return line;
    }

    // Defines flowing across includes, conditionals, template and plain
    // includes (some missing, some making cycles).
    std::string Text() {
        static const char* kNames[] = {"A", "B", "C"};
        std::string text;
        for (int i = Pick(2, 8); i > 0; --i) {
            const char* name = kNames[Pick(0, 2)];
            switch (Pick(0, 6)) {
                case 0:
                    text += std::string("#define ") + name + " v" + std::to_string(Pick(0, 9)) +
                            (Chance(30) ? " B" : "") + "\n";
                    break;
                case 1:
                    text += std::string("#undef ") + name + "\n";
                    break;
                case 2:
                    text += std::string(Chance(50) ? "#ifdef " : "#ifndef ") + name + "\n" +
                            Line() + "\n" + (Chance(50) ? "#else\n" + Line() + "\n" : "") +
                            "#endif\n";
                    break;
                case 3:
                    text += "#include \"" + Name(Pick(0, templates_)) + "\"\n";
                    break;
                case 4:
                    text +=
                        Chance(30)
                            ? "#include \"out/t" + std::to_string(Pick(0, templates_)) + ".html\"\n"
                            : "#include \"inc/p" + std::to_string(Pick(0, 3)) + ".txt\"\n";
                    break;
                default:
                    text += Line() + "\n";
                    break;
            }
        }
        return text;
    }

    void Both(const std::string& path, const std::string& text) {
        incremental_.Write(path, text);
        full_.Write(path, text);
    }
    void Remove(const std::string& path) {
        fs::remove(incremental_.dir / path);
        fs::remove(full_.dir / path);
    }
    void Sql(const std::string& sql) {
        Query(incremental_, sql);
        Query(full_, sql);
    }
    // A new template, maybe included already by name.
    void AddEntry() {
        const int t = templates_++;
        Both(Template(t), Text());
        for (CliFixture* f : {&incremental_, &full_}) {
            f->Run({"add-file", "P", Template(t), "--select"});
        }
    }

    // The template moves to a name no #include line has used, and the
    // entry with it.
    void RenameEntry(int t, const std::string& id) {
        const std::string name = "r" + std::to_string(renamed_++) + ".tpl";
        for (CliFixture* f : {&incremental_, &full_}) {
            std::error_code ignored;
            fs::rename(f->dir / Template(t), f->dir / ("src/" + name), ignored);
        }
        Sql("UPDATE TPLFile SET TPLFileName = '" + name + "' WHERE TPLFileId = " + id);
    }

    void ChangeSettings() {
        switch (Pick(0, 2)) {
            case 0:
                Sql("UPDATE project SET DefCreateFileExt = CASE DefCreateFileExt WHEN 'html' THEN "
                    "'htm' ELSE 'html' END");
                break;
            case 1:
                Sql("UPDATE project SET TargetPath = CASE TargetPath WHEN 'out' THEN 'out2' "
                    "ELSE 'out' END");
                break;
            default:
                Both("fileext.def", Chance(50) ? "html\r\nhtm\r\nxml\r\n" : "html\r\nhtm\r\n");
                break;
        }
    }

    // A page's path taken by what the writer cannot replace, a link to
    // another page, or a leftover of a killed run beside it. Modes do not
    // stop root, who runs CI: a folder in the way stands for them there.
    void BlockPage(int t) {
        const std::string folder = kFolders[Pick(0, 1)];
        const std::string name = "t" + std::to_string(t) + (Chance(50) ? ".html" : ".htm");
        const std::string page = folder + "/" + name;
        const bool modesBite = ::geteuid() != 0;
        switch (Pick(0, modesBite ? 3 : 2)) {
            case 2: {
                const std::string target = std::string("../") + kFolders[Pick(0, 1)] + "/t" +
                                           std::to_string(Pick(0, templates_ - 1)) + ".html";
                for (CliFixture* f : {&incremental_, &full_}) {
                    std::error_code ignored;
                    fs::remove_all(f->dir / page, ignored);
                    fs::create_symlink(target, f->dir / page, ignored);
                }
                break;
            }
            case 0:
                for (CliFixture* f : {&incremental_, &full_}) {
                    std::error_code ignored;
                    fs::remove(f->dir / page, ignored);
                    fs::create_directory(f->dir / page, ignored);
                }
                break;
            case 1:
                Both(folder + "/." + name + ".~pellandrix.999999.AbCdEf", "half");
                break;
            default: {
                static const fs::perms kModes[] = {fs::perms::none, fs::perms::owner_read,
                                                   fs::perms::owner_write};
                const fs::perms mode = kModes[Pick(0, 2)];
                for (CliFixture* f : {&incremental_, &full_}) {
                    std::error_code ignored;
                    fs::permissions(f->dir / page, mode, ignored);
                }
                break;
            }
        }
    }

    void HandEditOutput() {
        const Files files = Snapshot(incremental_);
        if (files.empty()) {
            return;
        }
        auto it = files.begin();
        std::advance(it, Pick(0, static_cast<int>(files.size()) - 1));
        if (Chance(50)) {
            Both(it->first, it->second + "x");
        } else {
            Remove(it->first);
        }
    }

    std::mt19937 rng_;
    int templates_ = 0;
    int renamed_ = 0;
    CliFixture incremental_;
    CliFixture full_;
};

std::vector<std::string> Sequence::Changes(const Files& before, const Files& after) {
    std::vector<std::string> changes;
    for (const auto& [path, bytes] : after) {
        const auto old = before.find(path);
        if (old == before.end()) {
            changes.push_back("schreiben " + path);
        } else if (old->second != bytes) {
            changes.push_back("ersetzen " + path);
        }
    }
    for (const auto& [path, bytes] : before) {
        if (after.count(path) == 0) {
            changes.push_back("löschen " + path);
        }
    }
    return Sorted(changes);
}

std::vector<std::string> Sequence::Actions(const std::vector<std::string>& planned,
                                           const Files& before) {
    std::vector<std::string> actions;
    for (const std::string& line : planned) {
        const std::size_t tab = line.find('\t');
        const std::size_t end = line.find('\t', tab + 1);
        const std::string action = line.substr(0, tab);
        fs::path path = line.substr(tab + 1, end - tab - 1);
        for (int hops = 0; action != "löschen" && hops < 8; ++hops) {
            const auto link = before.find(path.string());
            if (link == before.end() || link->second.rfind("-> ", 0) != 0) {
                break;
            }
            // A broken link is replaced by the page, not written through.
            const fs::path target =
                (path.parent_path() / link->second.substr(3)).lexically_normal();
            if (before.count(target.string()) == 0) {
                break;
            }
            path = target;
        }
        actions.push_back(action + " " + path.string());
    }
    return Sorted(actions);
}

// Project P of src/ into out/ with these templates, in this order, ticked.
void TickedProject(CliFixture& f, const std::vector<std::pair<std::string, std::string>>& texts) {
    for (const char* folder : {"src", "out"}) {
        fs::create_directory(f.dir / folder);
    }
    f.Write("fileext.def", "html\r\nhtm\r\n");
    f.Run({"add-project", "P", "--source", "src", "--target", "out"});
    std::vector<std::string> args{"add-file", "P"};
    for (const auto& [name, text] : texts) {
        f.Write("src/" + name, text);
        args.push_back("src/" + name);
    }
    args.push_back("--select");
    f.Run(args);
}

// --explain names what made a step be done again: the setting, the file and
// the entry, one cause standing for the others.
TEST(Incremental, ExplainNamesTheSettingAndTheEntryThatChanged) {
    CliFixture f;
    TickedProject(f, {{"a.tpl", "#include \"b.tpl\"\n"}, {"b.tpl", "b\n"}});
    const auto explained = [&f](const std::string& sql) {
        Query(f, sql);
        f.Run({"generate", "P", "--changed", "--explain"});
        return f.OutLines();
    };
    f.Run({"generate", "P"});
    EXPECT_EQ(explained("UPDATE TPLFile SET AlwaysParse = 0 WHERE TPLFileName = 'b.tpl'"),
              (std::vector<std::string>{"fertig\ta.tpl\tAlwaysParse von \"b.tpl\" geändert",
                                        "unverändert\tb.tpl\t"}));
    EXPECT_EQ(explained("UPDATE TPLFile SET CreateFileExt = 'htm' WHERE TPLFileName = 'b.tpl'"),
              (std::vector<std::string>{
                  "fertig\ta.tpl\tAusgabe von \"b.tpl\" jetzt out/b.htm statt out/b.html",
                  "fertig\tb.tpl\tAusgabe von \"b.tpl\" jetzt out/b.htm statt out/b.html"}));
    f.Write("fileext.def", "html\r\nhtm\r\nxml\r\n");
    EXPECT_EQ(explained(""), (std::vector<std::string>{"fertig\ta.tpl\tfileext.def geändert",
                                                       "fertig\tb.tpl\tfileext.def geändert"}));
    // A FIFO in its place is no file, read without waiting for a writer.
    fs::remove(f.dir / "fileext.def");
    ASSERT_EQ(::mkfifo((f.dir / "fileext.def").c_str(), 0600), 0);
    EXPECT_EQ(explained(""), (std::vector<std::string>{"fertig\ta.tpl\tfileext.def geändert",
                                                       "fertig\tb.tpl\tfileext.def geändert"}));
}

std::string Hex(const std::string& bytes) {
    const ContentHash hash = HashBytes(bytes);
    char digits[33];
    std::snprintf(digits, sizeof digits, "%016llx%016llx",
                  static_cast<unsigned long long>(hash.high),
                  static_cast<unsigned long long>(hash.low));
    return digits;
}

// record prints what each step read and wrote, with the hashes found; the
// row of a page that is gone and that nothing writes any more is dropped.
TEST(Incremental, RecordShowsEachStepAndForgetsPagesNothingKeeps) {
    CliFixture f;
    TickedProject(f, {{"a.tpl", "A\n"}, {"old.tpl", "O\n"}});
    f.Run({"generate", "P"});
    Query(f, "DELETE FROM TPLFile WHERE TPLFileName = 'old.tpl'");
    fs::remove(f.dir / "out/old.html");
    f.Run({"generate", "P"});
    ASSERT_EQ(f.Run({"record", "P"}), 0);
    EXPECT_EQ(f.OutLines(), (std::vector<std::string>{
                                "Schritt a.tpl, Durchgang 1",
                                "  liest Vorlage src/a.tpl " + Hex("A\n") + ", Ausgabe out/a.html",
                                "  schreibt out/a.html " + Hex("A\r\n"), "Dateien",
                                "  out/a.html " + Hex("A\r\n") + " von a.tpl, Durchgang 1"}));
}

// One project built in two copies, edited alike; then --changed in one and
// a full run in the other must agree on files, statuses and exit code.
struct Pair {
    CliFixture changed;
    CliFixture full;

    Pair() {
        for (CliFixture* f : {&changed, &full}) {
            for (const char* folder : {"src", "out", "out2"}) {
                fs::create_directory(f->dir / folder);
            }
            f->Write("fileext.def", "html\r\nhtm\r\ninc\r\n");
            f->Run({"add-project", "P", "--source", "src", "--target", "out", "--ext", "html"});
        }
    }
    void Add(const std::string& name, const std::string& text, std::vector<std::string> flags) {
        std::vector<std::string> args{"add-file", "P", "src/" + name};
        args.insert(args.end(), flags.begin(), flags.end());
        for (CliFixture* f : {&changed, &full}) {
            f->Write("src/" + name, text);
            f->Run(args);
        }
    }
    template <typename EditFn>
    void Compare(EditFn edit) {
        changed.Run({"generate", "P"});
        full.Run({"generate", "P"});
        edit(changed);
        edit(full);
        const Files before = Snapshot(changed);
        const int dry = changed.Run({"generate", "P", "--changed", "--dry-run"});
        const std::string planned = changed.out;
        const int status = changed.Run({"generate", "P", "--changed"});
        EXPECT_EQ(status, full.Run({"generate", "P"}));
        EXPECT_EQ(dry, status) << planned;
        std::string statuses = changed.out;
        for (std::size_t at; (at = statuses.find("unverändert")) != std::string::npos;) {
            statuses.replace(at, std::string("unverändert").size(), "fertig");
        }
        EXPECT_EQ(statuses, full.out);
        const Files after = Snapshot(changed);
        EXPECT_EQ(after, Snapshot(full));
        EXPECT_EQ(Sequence::Changes(before, after),
                  Sequence::Actions(CliFixture::Lines(planned), before));
    }
};

// The shrunk cases where an incremental run once left something else than a
// full run: a fallback after pages were rewritten, a folder in the way of an
// included page, a page swapped for a link to another page; and where a dry
// run announced less than the run did: a page read through a link.
TEST(Incremental, ChangedRunsAgreeOnPagesInTheWay) {
    {
        SCOPED_TRACE("fallback after rewriting");
        Pair p;
        p.Add("a.tpl", "#include \"out/a.html\"\nT\n", {"--select", "--no-always-parse"});
        p.Add("n.tpl", "", {"--select", "--no-always-parse", "--no-create"});
        p.Add("m.tpl", "#include \"n.tpl\"\n", {"--select", "--no-always-parse"});
        p.Compare([](CliFixture& f) { f.Write("src/m.tpl", "#include \"n.tpl\"\nM\n"); });
    }
    {
        SCOPED_TRACE("folder in the way");
        Pair p;
        p.Add("p.tpl", "#include \"a.tpl\"\nP\n", {"--select"});
        p.Add("a.tpl", "A\n", {"--select", "--no-create"});
        p.Compare([](CliFixture& f) { fs::create_directory(f.dir / "out/a.html"); });
    }
    {
        SCOPED_TRACE("link between pages");
        Pair p;
        p.Add("s.tpl", "S\n", {"--select"});
        p.Add("p.tpl", "#include \"n.tpl\"\n#include \"s.tpl\"\n", {"--select"});
        p.Add("n.tpl", "N\n", {"--select", "--target", "out2", "--ext", "inc"});
        p.Compare([](CliFixture& f) {
            fs::remove(f.dir / "out/s.html");
            fs::create_symlink("../out2/n.inc", f.dir / "out/s.html");
        });
    }
    {
        SCOPED_TRACE("page read through a link");
        Pair p;
        p.Add("n.tpl", "N\n", {"--select", "--target", "out2", "--ext", "inc"});
        p.Add("x.tpl", "#include \"out/s.html\"\n", {"--select"});
        for (CliFixture* f : {&p.changed, &p.full}) {
            fs::create_symlink("../out2/n.inc", f->dir / "out/s.html");
        }
        p.Compare([](CliFixture& f) { f.Write("src/n.tpl", "M\n"); });
    }
    {
        SCOPED_TRACE("leftover of a killed run");
        Pair p;
        p.Add("a.tpl", "A\n", {"--select"});
        p.Compare([](CliFixture& f) { f.Write("out/.a.html.~pellandrix.999999.AbCdEf", "half"); });
    }
}

int FromEnvironment(const char* name, int otherwise) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::atoi(value) : otherwise;
}

TEST(Incremental, ChangedRunsLeaveWhatFullRunsLeave) {
    // Some thousand commits to the copies' databases: seconds on a memory
    // file system, minutes on a loaded disk.
    if (::access("/dev/shm", W_OK) == 0) {
        ::setenv("TMPDIR", "/dev/shm", 1);
    }
    const int first = FromEnvironment("PELLANDRIX_DIFFERENTIAL_FIRST_SEED", 1);
    const int sequences = FromEnvironment("PELLANDRIX_DIFFERENTIAL_SEQUENCES", 300);
    for (int seed = first; seed < first + sequences; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Sequence sequence(static_cast<unsigned>(seed));
        for (int edit = 0; edit < 6 && !HasFailure(); ++edit) {
            sequence.RunAndCompare();
            sequence.Edit();
        }
        if (HasFailure()) {
            break;
        }
    }
}

}  // namespace
}  // namespace pellandrix
