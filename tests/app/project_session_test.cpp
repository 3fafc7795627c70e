#include "app/project_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/live_preview.h"
#include "app/template_location.h"
#include "engine/run_status.h"
#include "engine/unchanged_paths.h"
#include "store/dao_database.h"
#include "store/desktop_options.h"
#include "store/run_record.h"
#include "store/sqlite_statement.h"
#include "store/tpl_file_list.h"
#include "support/string_table.h"
#include "testkit/files.h"
#include "testkit/recording_presenter.h"
#include "testkit/temp_dir.h"
#include "testkit/web_project.h"

namespace pellandrix {
namespace {

// A started core on a fresh database in a temporary folder, with one
// project "Web" (source src, target out) current.
struct SessionTest : ::testing::Test {
    void SetUp() override {
        testkit::WriteBytes(dir / "fileext.def", "html\r\nphp\r\n");
        ASSERT_TRUE(testkit::StartWithWebProject(core, session));
        presenter.shown.clear();
    }

    static FileSettings File(const std::string& name, const std::string& folder) {
        FileSettings file;
        file.name = name;
        file.sourcePath = folder;
        file.extension = "html";
        return file;
    }

    // A project's files (the current one's by default) as another
    // connection reads them.
    std::vector<std::string> Stored(int projectId = 0) {
        CDaoDatabase other;
        other.Open(core.Database().Path());
        CTplFileList files;
        files.LoadForProject(other, projectId != 0 ? projectId : session.Current()->ProjectId);
        std::vector<std::string> rows;
        for (const CTplFileRecord& f : files.Records()) {
            rows.push_back(f.TPLFileName.str() + "@" + f.SourcePath.str());
        }
        return rows;
    }

    // How many entries a run with `options` generated.
    std::size_t Generated(const GenerateOptions& options) {
        GenerateReport report;
        session.Generate(view, options, &report);
        return report.reasons.size();
    }

    // A run's progress, shown nowhere.
    struct : IRunView {
        void RefreshRowStatus(int) override {}
        void SetProgressRange(int, int) override {}
        void SetProgressPos(int) override {}
    } view;
    testkit::TempDir dir;
    testkit::ScopedCurrentDir cd{dir.Path()};
    testkit::RecordingPresenter presenter;
    CAppCore core{presenter};
    CProjectSession session{core};
};

TEST_F(SessionTest, AddingIsAllOrNoneAndRefusesTheSameNameFromTheSameFolderAnywhereInTheList) {
    FileSettings own = File("x.tpl", "a");
    own.sourceFromProject = false;
    ASSERT_TRUE(session.AddTemplateFiles({own}, false));
    own.sourcePath = "b";
    ASSERT_TRUE(session.AddTemplateFiles({own}, false));
    // The second entry named x.tpl is compared too, not only the first.
    const Outcome again = session.AddTemplateFiles({File("y.tpl", "src"), own}, false);
    ASSERT_FALSE(again);
    EXPECT_EQ(again.Refused().id, MessageId::kFileAlreadyInProject);
    EXPECT_EQ(again.Refused().first, "x.tpl");
    EXPECT_EQ(again.Refused().second, "Web");
    // Twice in one call, and a refused extension: nothing of the call is added.
    EXPECT_FALSE(session.AddTemplateFiles({File("z.tpl", "src"), File("z.tpl", "src")}, false));
    FileSettings exe = File("w.tpl", "src");
    exe.extension = "exe";
    EXPECT_EQ(session.AddTemplateFiles({File("v.tpl", "src"), exe}, false).Refused().id,
              MessageId::kExtensionNotOffered);
    EXPECT_EQ(session.Files().CountLive(), 2);
    // A refusal is returned, never shown by the session itself.
    EXPECT_TRUE(presenter.shown.empty());
    session.SaveFiles();
    EXPECT_EQ(Stored(), (std::vector<std::string>{"x.tpl@a", "x.tpl@b"}));
}

TEST_F(SessionTest, AFolderFromTheProjectIsTheProjectsWhateverTheSettingsSay) {
    std::vector<CTplFileRecord*> added;
    ASSERT_TRUE(session.AddTemplateFiles({File("p.tpl", "elsewhere")}, false, &added));
    CTplFileRecord& entry = *added.front();
    EXPECT_EQ(entry.SourcePath.str(), "src");
    EXPECT_EQ(entry.TargetPath.str(), "out");
    FileSettings settings = File("p.tpl", "typed");
    settings.targetPath = "typed-out";
    settings.targetFromProject = false;
    ASSERT_TRUE(session.ApplyFileSettings(entry, settings));
    EXPECT_EQ(entry.SourcePath.str(), "src");
    EXPECT_EQ(entry.TargetPath.str(), "typed-out");
    // New project folders reach the entries that take them from the project.
    ASSERT_TRUE(session.ApplyProjectSettings(*session.Current(), {"Web", "src2", "out2", "php"}));
    EXPECT_EQ(entry.SourcePath.str(), "src2");
    EXPECT_EQ(entry.TargetPath.str(), "typed-out");
    // Widths come from the records: one character more is refused, untouched.
    const std::string tooLong(decltype(CTplFileRecord::SourcePath)::kMaxLength + 1, 'd');
    settings.targetPath = tooLong;
    EXPECT_EQ(session.ApplyFileSettings(entry, settings).Refused().id, MessageId::kTextTooLong);
    EXPECT_EQ(entry.TargetPath.str(), "typed-out");
}

TEST_F(SessionTest, AnAddedFileIsConfirmedByItsSettingsAndCanBeRemoved) {
    std::vector<CTplFileRecord*> added;
    ASSERT_TRUE(session.AddTemplateFiles({File("n.tpl", "chosen")}, true, &added));
    CTplFileRecord& entry = *added.front();
    EXPECT_EQ(entry.Unconfirmed, 1);
    EXPECT_EQ(entry.SourcePath.str(), "chosen");
    ASSERT_TRUE(session.ApplyFileSettings(entry, File("n.tpl", "chosen")));
    EXPECT_EQ(entry.Unconfirmed, 0);
    session.RemoveFile(entry);
    EXPECT_EQ(session.Files().CountLive(), 0);
}

TEST_F(SessionTest, SwitchingSavesTheProjectLeftAndACancelledNewProjectOnlyUsesAnId) {
    ASSERT_TRUE(session.AddTemplateFiles({File("a.tpl", "src")}, false));
    const Outcome cancelled =
        session.NewProject([] { return std::nullopt; }, [](CProjectRecord&) { return Outcome(); });
    EXPECT_TRUE(cancelled);
    int id = 0;
    ASSERT_TRUE(session.NewProject([] { return std::optional<std::string>("Zwei"); },
                                   [](CProjectRecord&) { return Outcome(); }, &id));
    EXPECT_EQ(id, 3);
    EXPECT_EQ(session.Current()->ProjectName.str(), "Zwei");
    EXPECT_EQ(session.Files().CountLive(), 0);
    EXPECT_FALSE(session.SwitchTo("Zwei"));
    ASSERT_TRUE(session.SwitchTo("Web"));
    EXPECT_EQ(Stored(), std::vector<std::string>{"a.tpl@src"});
    // Projects are addressed by name: a namesake is refused, as a new
    // project and as a rename, and the current project stays.
    ASSERT_TRUE(session.AddTemplateFiles({File("b.tpl", "src")}, false));
    const int web = session.Current()->ProjectId;
    EXPECT_EQ(session
                  .NewProject([] { return std::optional<std::string>("Web"); },
                              [](CProjectRecord&) { return Outcome(); }, &id)
                  .Refused()
                  .id,
              MessageId::kProjectNameTaken);
    EXPECT_EQ(session.Current()->ProjectId, web);
    EXPECT_EQ(
        session
            .ApplyProjectSettings(*session.Projects().FindByName("Zwei"), {"Web", "", "", "html"})
            .Refused()
            .id,
        MessageId::kProjectNameTaken);
    session.SaveFiles();
    EXPECT_EQ(Stored(web), (std::vector<std::string>{"a.tpl@src", "b.tpl@src"}));
    // An empty name is refused, and the refused project leaves nothing.
    EXPECT_EQ(session
                  .NewProject([] { return std::optional<std::string>(""); },
                              [](CProjectRecord&) { return Outcome(); })
                  .Refused()
                  .id,
              MessageId::kUsageError);
    session.DeleteProject("Web");
    EXPECT_EQ(session.Current()->ProjectName.str(), "Zwei");
    session.Save();
    session.LoadProjects();
    EXPECT_EQ(session.Projects().FindById(web), nullptr);
    EXPECT_TRUE(session.Open("Zwei"));
    EXPECT_EQ(session.Open("Nope").Refused().id, MessageId::kUnknownProject);
}

TEST_F(SessionTest, EverySpellingOfOneFileIsOneEntryAndTheFileCheckedIsTheOneStored) {
    std::filesystem::create_directories(dir.Path() / "src");
    std::filesystem::create_directories(dir.Path() / "other");
    testkit::WriteBytes(dir / "src/x.tpl", "x\n");
    testkit::WriteBytes(dir / "other/y.tpl", "y\n");
    std::filesystem::create_directory_symlink(dir.Path() / "src", dir.Path() / "link");
    const FileSettings common;
    std::vector<CTplFileRecord*> added;
    ASSERT_TRUE(session.AddTemplatePaths({"src/x.tpl"}, common, false, &added));
    EXPECT_EQ(added.front()->SourcePath.str(), "src");
    EXPECT_EQ(added.front()->CreateFileExt.str(), "html");
    for (const std::string& spelling : {std::string("./src/x.tpl"), std::string("src//x.tpl"),
                                        dir / "src/x.tpl", std::string("link/x.tpl")}) {
        EXPECT_EQ(session.AddTemplatePaths({spelling}, common, false).Refused().id,
                  MessageId::kFileAlreadyInProject)
            << spelling;
    }
    // A file outside the project's folder would be looked for in it.
    const Outcome outside = session.AddTemplatePaths({"other/y.tpl"}, common, false);
    EXPECT_EQ(outside.Refused().id, MessageId::kOutsideSourceFolder);
    EXPECT_NE(FormatMessage(outside.Refused().id, outside.Refused().first, outside.Refused().second)
                  .find("--own-source"),
              std::string::npos);
    FileSettings own;
    own.sourceFromProject = false;
    ASSERT_TRUE(session.AddTemplatePaths({"other/y.tpl"}, own, false));
    EXPECT_EQ(session.AddTemplatePaths({"src/gone.tpl"}, common, false).Refused().id,
              MessageId::kTemplateNotFound);
    // The desktop program adds where the file was chosen, unconfirmed, and
    // a file already there is refused there too.
    EXPECT_EQ(session.AddTemplatePaths({dir / "link/x.tpl"}, common, true).Refused().id,
              MessageId::kFileAlreadyInProject);
    EXPECT_EQ(session.Files().CountLive(), 2);
}

TEST_F(SessionTest, RemovingStalePagesKeepsUnsavedListEditsAndWhatTheStoredListMakes) {
    std::filesystem::create_directory(dir / "src");
    std::filesystem::create_directory(dir / "out");
    testkit::WriteBytes(dir / "src/a.tpl", "a\n");
    testkit::WriteBytes(dir / "src/b.tpl", "b\n");
    std::vector<CTplFileRecord*> added;
    ASSERT_TRUE(
        session.AddTemplateFiles({File("a.tpl", "src"), File("b.tpl", "src")}, false, &added));
    session.Save();
    session.Generate(view, true);
    ASSERT_TRUE(testkit::Exists(dir / "out/b.html"));

    // Removed in the window, not saved: the window's list keeps the removal,
    // and the page stays while the stored list still makes it.
    session.RemoveFile(*added[1]);
    const std::vector<SiteFinding> found = session.Check({true});
    EXPECT_EQ(session.Files().CountLive(), 1);
    ASSERT_EQ(found.size(), 1U);
    EXPECT_FALSE(found[0].settled);
    EXPECT_TRUE(testkit::Exists(dir / "out/b.html"));

    session.Save();
    ASSERT_EQ(session.Check({true}).size(), 1U);
    EXPECT_FALSE(testkit::Exists(dir / "out/b.html"));
    EXPECT_TRUE(testkit::Exists(dir / "out/a.html"));
}

TEST_F(SessionTest, ARunTrustsTheRecordItKeptOnlyWhileNoOtherProgramWroteTheDatabase) {
    std::filesystem::create_directory(dir / "src");
    std::filesystem::create_directory(dir / "out");
    testkit::WriteBytes(dir / "src/a.tpl", "a\n");
    ASSERT_TRUE(session.AddTemplateFiles({File("a.tpl", "src")}, false));
    session.Save();
    session.SelectAll();
    GenerateOptions changed;
    changed.changed = true;
    const auto generated = [&] { return Generated(changed); };
    ASSERT_EQ(generated(), 1U);
    ASSERT_EQ(generated(), 0U);
    // Saving a record as it stands writes nothing: another connection sees
    // no commit (its data_version stays).
    CDaoDatabase other;
    other.Open(core.Database().Path());
    const auto commits = [&] {
        SqliteStatement version(other.Handle(), "PRAGMA data_version");
        version.Step();
        return version.ColumnInt(0);
    };
    const std::int64_t before = commits();
    // Two loads hold equal bytes in different places, which count as equal.
    const RunRecord stored = LoadRunRecord(core.Database(), session.Current()->ProjectId);
    SaveRunRecord(core.Database(), session.Current()->ProjectId, stored,
                  LoadRunRecord(core.Database(), session.Current()->ProjectId));
    EXPECT_EQ(commits(), before);
    // Another program forgets the steps behind this one's back: the record
    // this session kept is stale and must not be taken.
    other.Execute("DELETE FROM RunTrace");
    EXPECT_EQ(generated(), 1U);
    EXPECT_EQ(generated(), 0U);
}

TEST_F(SessionTest, APathACallerVouchesForIsTakenAsTheLastRunFoundItWithoutALook) {
    std::filesystem::create_directory(dir / "src");
    std::filesystem::create_directory(dir / "out");
    testkit::WriteBytes(dir / "src/a.tpl", "#include \"src/i.txt\"\na\n");
    testkit::WriteBytes(dir / "src/i.txt", "i\n");
    ASSERT_TRUE(session.AddTemplateFiles({File("a.tpl", "src")}, false));
    session.Save();
    session.SelectAll();
    struct Vouch : IUnchangedPaths {
        bool sure = false;
        bool Unchanged(const std::string&) const override { return sure; }
    } vouch;
    GenerateOptions changed;
    changed.changed = true;
    changed.unchanged = &vouch;
    const auto generated = [&] { return Generated(changed); };
    ASSERT_EQ(generated(), 1U);
    // A step taken from the record looks at what it read, and tells it.
    GenerateReport taken;
    changed.inputs = true;
    session.Generate(view, changed, &taken);
    ASSERT_TRUE(taken.reasons.empty());
    EXPECT_EQ(taken.inputs.files, (std::map<std::string, std::optional<ContentHash>>{
                                      {"src/a.tpl", HashBytes("#include \"src/i.txt\"\na\n")},
                                      {"src/i.txt", HashBytes("i\n")}}));
    // Changed behind the caller's back: only a look at the disk can tell.
    testkit::WriteBytes(dir / "src/i.txt", "j\n");
    vouch.sure = true;
    EXPECT_EQ(generated(), 0U);
    EXPECT_EQ(testkit::ReadBytes(dir / "out/a.html"), "i\r\na\r\n");
    vouch.sure = false;
    EXPECT_EQ(generated(), 1U);
    EXPECT_EQ(testkit::ReadBytes(dir / "out/a.html"), "j\r\na\r\n");
}

TEST(TemplateLocation, SplitsAsAnEntryStoresNameAndFolder) {
    const auto split = [](const std::string& path) {
        const TemplateLocation l = SplitTemplatePath(path);
        return l.folder + "|" + l.name;
    };
    EXPECT_EQ(split("x.tpl"), ".|x.tpl");
    EXPECT_EQ(split("/x.tpl"), "/|x.tpl");
    EXPECT_EQ(split("a/b//x.tpl"), "a/b|x.tpl");
}

TEST_F(SessionTest, DeletingAProjectTakesItsFilesAndRecordAndNoIdInUseIsHandedOutAgain) {
    ASSERT_TRUE(session.AddTemplateFiles({File("a.tpl", "src")}, false));
    session.Save();
    const int web = session.Current()->ProjectId;
    SaveRunRecord(core.Database(), web, {}, RunRecord{"key", {{{1, 0}, "trace"}}, {}, {}});
    SaveDesktopOption(core.Database(), web, "AutoBuild", "1");
    session.DeleteProject("Web");
    session.Save();
    EXPECT_TRUE(Stored(web).empty());
    EXPECT_TRUE(LoadRunRecord(core.Database(), web).traces.empty());
    EXPECT_EQ(LoadDesktopOption(core.Database(), web, "AutoBuild"), std::nullopt);

    // Files an older version left behind under a deleted project's id are
    // never shown under a new one, and neither its nor its files' ids are
    // taken again.
    core.Database().Execute("insert into [TPLFile] (ProjectId, TPLFileId, TPLFileName) values (" +
                            std::to_string(web + 5) + ", 40, 'orphan.tpl');");
    session.LoadProjects();
    int id = 0;
    ASSERT_TRUE(session.NewProject([] { return std::optional<std::string>("Neu"); },
                                   [](CProjectRecord&) { return Outcome(); }, &id));
    EXPECT_GT(id, web + 5);
    EXPECT_EQ(session.Files().CountLive(), 0);
    std::vector<CTplFileRecord*> added;
    ASSERT_TRUE(session.AddTemplateFiles({File("b.tpl", "src")}, false, &added));
    session.Save();
    EXPECT_GT(added.front()->TPLFileId, 40);
    EXPECT_EQ(Stored(web + 5), std::vector<std::string>{"orphan.tpl@"});
}

TEST_F(SessionTest, ANameSeveralProjectsShareIsRefusedAndIdsAddressThem) {
    int zwei = 0;
    ASSERT_TRUE(session.NewProject([] { return std::optional<std::string>("Zwei"); },
                                   [](CProjectRecord&) { return Outcome(); }, &zwei));
    // As a database written by an older version may hold them.
    core.Database().Execute("update [project] set ProjectName = 'Web';");
    const Outcome ambiguous = session.Open("Web");
    EXPECT_EQ(ambiguous.Refused().id, MessageId::kProjectNameAmbiguous);
    EXPECT_EQ(ambiguous.Refused().second, "#1, #" + std::to_string(zwei));
    ASSERT_TRUE(session.Open("#" + std::to_string(zwei)));
    EXPECT_EQ(session.Current()->ProjectId, zwei);
    EXPECT_EQ(session.Open("#99").Refused().id, MessageId::kUnknownProject);
}

TEST_F(SessionTest, RowsAreNumberedAndTheStatusFollowsTheTick) {
    ASSERT_TRUE(session.AddTemplateFiles({File("a.tpl", "src"), File("b.tpl", "src")}, false));
    CTplFileRecord* a = session.EntryAtRow(0);
    CTplFileRecord* b = session.EntryAtRow(1);
    ASSERT_NE(b, nullptr);
    session.SetSelected(*b, true);
    EXPECT_EQ(b->RunStatus, static_cast<int>(RunStatus::Activated));
    b->RunStatus = static_cast<int>(RunStatus::Done);
    session.SelectAll();
    EXPECT_EQ(b->RunStatus, static_cast<int>(RunStatus::Done));
    session.RemoveFile(*a);
    EXPECT_EQ(session.EntryAtRow(0), b);
    session.SetSelected(*b, false);
    EXPECT_EQ(b->RunStatus, static_cast<int>(RunStatus::Deactivated));
}

TEST_F(SessionTest, ThePreviewAddressOfARowIsItsServedPageElseTheStartPage) {
    ASSERT_TRUE(session.AddTemplateFiles({File("erste seite.tpl", "src")}, false));
    CTplFileRecord& entry = *session.EntryAtRow(0);
    CLivePreview preview(session);
    EXPECT_EQ(preview.PageAddress(entry), "");

    ASSERT_TRUE(preview.Start(dir.Path().string(), 0));
    const std::string start = preview.Address();
    EXPECT_TRUE(start.starts_with("http://127.0.0.1:")) << start;
    EXPECT_EQ(preview.PageAddress(entry), start + "erste%20seite.html");
    entry.CreateFile = 0;
    EXPECT_EQ(preview.PageAddress(entry), start);
    preview.Stop();
    EXPECT_EQ(preview.Address(), "");
}

}  // namespace
}  // namespace pellandrix
