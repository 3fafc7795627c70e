// The main window with a project of many template files: how long showing
// the list takes, and how long a generation run keeps the window busy
// against the same run without a window.
//
//   main_window_bench [FILES] [ROUNDS]     (10000 files, 3 rounds)
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise (on
// Xvfb, say), in a folder under TMPDIR: creating ten thousand files costs
// more than generating them on some disks, so TMPDIR=/dev/shm shows what
// the window adds. Every figure is a wall-clock median over the rounds,
// taken in one process so that the machine's noise hits all of them alike.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QtTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/generation_run.h"
#include "store/project_list.h"
#include "store/tpl_file_list.h"
#include "ui/main_dlg.h"
#include "ui/pellandrix_app.h"

namespace pellandrix::ui {
namespace {

namespace fs = std::filesystem;

// Answers every box with OK and counts them: a bench must not wait for a
// user, and a message during the runs would make the figures suspect.
class CountingPresenter : public IMessagePresenter {
  public:
    MessageAnswer Present(MessageKind, const std::string& text, ButtonStyle) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        ++count;
        return MessageAnswer::Ok;
    }
    int count = 0;
};

// The run without a window: statuses and progress go nowhere.
class NoView : public IRunView {
  public:
    void RefreshRowStatus(int) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}
};

// The longest time the event loop was not entered while it runs: a
// zero-interval timer fires whenever the loop looks at its events, and
// only then can the window repaint.
class LoopWatch : public QObject {
  public:
    LoopWatch() {
        connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.nsecsElapsed();
            longestGapMs = std::max(longestGapMs, static_cast<double>(now - last_) / 1e6);
            last_ = now;
        });
    }
    void Start() {
        longestGapMs = 0;
        clock_.start();
        last_ = 0;
        timer_.start(0);
    }
    void Stop() { timer_.stop(); }
    double longestGapMs = 0;

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
};

// Counts paints of a widget and the longest time between two of them.
class PaintWatch : public QObject {
  public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    void Start() {
        paints = 0;
        longestGapMs = 0;
        clock_.start();
        last_ = 0;
    }
    void Stop() { longestGapMs = std::max(longestGapMs, clock_.elapsed() - last_); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && clock_.isValid()) {
            const qint64 now = clock_.elapsed();
            longestGapMs = std::max(longestGapMs, now - last_);
            last_ = now;
            ++paints;
        }
        return false;
    }
    int paints = 0;
    qint64 longestGapMs = 0;

  private:
    QElapsedTimer clock_;
    qint64 last_ = 0;
};

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// A project whose every file is ticked, each a small page with defines.
void Seed(CDaoDatabase& db, const fs::path& dir, int files) {
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "out");
    CProjectList projects;
    projects.LoadAll(db);
    CProjectRecord* project = projects.NewProject();
    project->ProjectName = "Bench";
    project->SourcePath = (dir / "src").string();
    project->TargetPath = (dir / "out").string();
    project->DefCreateFileExt = "html";
    projects.SaveAll(db);
    CTplFileList list;
    for (int i = 0; i < files; ++i) {
        const std::string name = "seite" + std::to_string(i) + ".tpl";
        WriteFile(dir / "src" / name, "#define SITE Beispiel\r\n#define NR " + std::to_string(i) +
                                          "\r\n<h1>SITE NR</h1>\r\n");
        CTplFileRecord* file = list.NewFile();
        file->ProjectId = project->ProjectId;
        file->TPLFileName = name;
        file->SourcePath = project->SourcePath.str();
        file->TargetPath = project->TargetPath.str();
        file->Selected = 1;
        file->CreateFile = 1;
        file->CreateFileExt = "html";
    }
    list.SaveAll(db, project->ProjectId);
}

void ClearOutput(const fs::path& dir) {
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Fn>
double TimeMs(Fn fn) {
    QElapsedTimer clock;
    clock.start();
    fn();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

int Main(int files, int rounds) {
    std::string pattern = (fs::temp_directory_path() / "pellandrix-ui-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    const fs::path dir = pattern;
    fs::current_path(dir);
    WriteFile(dir / "fileext.def", "htm\r\nhtml\r\n");
    CountingPresenter presenter;
    CPellandrixApp app(presenter);
    if (app.StartUp() != 0) {
        throw std::runtime_error("start-up failed");
    }
    Seed(app.Core().Database(), dir, files);
    presenter.count = 0;  // the notice that a new database is made
    auto window = std::make_unique<CMainDlg>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) {
        throw std::runtime_error("the window was not shown");
    }
    QComboBox* box = window->ProjectBox();
    PaintWatch watch(window->findChild<QProgressBar*>());
    auto* create = window->ControlAs<QPushButton>(CMainDlg::kCreateFiles);

    LoopWatch loop;
    std::vector<double> choose, refresh, click, bare, gaps, paints, loopGaps;
    for (int round = 0; round < rounds; ++round) {
        // Choosing the project loads its files and shows them.
        box->setCurrentIndex(-1);
        window->ChangeProject();
        box->setCurrentIndex(0);
        choose.push_back(TimeMs([&] { window->ChangeProject(); }));
        refresh.push_back(TimeMs([&] { window->RefreshFileList(); }));
        QCoreApplication::processEvents();

        ClearOutput(dir);
        NoView none;
        bare.push_back(TimeMs([&] { RunGeneration(app.Core().Parser(), none); }));

        ClearOutput(dir);
        watch.Start();
        loop.Start();
        // The click returns when the run is over: until then the window
        // takes no input.
        click.push_back(TimeMs([&] { QTest::mouseClick(create, Qt::LeftButton); }));
        loop.Stop();
        watch.Stop();
        loopGaps.push_back(loop.longestGapMs);
        gaps.push_back(static_cast<double>(watch.longestGapMs));
        paints.push_back(watch.paints);
    }
    const auto pages = std::distance(fs::directory_iterator(dir / "out"), {});
    std::printf("template files: %d, pages written by the last run: %ld, messages: %d\n", files,
                static_cast<long>(pages), presenter.count);
    std::printf("choosing the project (load and RefreshFileList): %.1f ms\n", Median(choose));
    std::printf("RefreshFileList alone: %.1f ms\n", Median(refresh));
    std::printf("generation, window busy from click to return: %.1f ms\n", Median(click));
    std::printf("the same run without a window: %.1f ms (window / bare %.2f)\n", Median(bare),
                Median(click) / Median(bare));
    std::printf("progress bar painted %.0f times, longest gap between paints %.0f ms\n",
                Median(paints), Median(gaps));
    std::printf("longest time the window could not repaint during the run: %.1f ms\n",
                Median(loopGaps));
    window.reset();
    app.ShutDown();
    fs::current_path("/");
    fs::remove_all(dir);
    return presenter.count == 0 && pages == files ? 0 : 1;
}

}  // namespace
}  // namespace pellandrix::ui

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication qt(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    try {
        return pellandrix::ui::Main(std::max(files, 1), std::max(rounds, 1));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "main_window_bench: %s\n", e.what());
        return 2;
    }
}
