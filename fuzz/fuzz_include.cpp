// Include resolution and the generation run over a small project of
// templates made from the input, in a scratch folder.
//
// The input is a list of templates t0.tpl, t1.tpl, ... (at most 12). Each
// starts with a header line "@@" and flags (the first may leave it out and
// gets "sc"): a AlwaysParse, s Selected, c CreateFile, e no extension,
// m the template file is missing, d a directory stands in its place,
// f its generated file is a link to /dev/full, x its target folder is
// missing, D the template ends by including d0.tpl, the head of a chain of
// 64 templates whose last one includes t0.tpl again.
//
// Plain files the templates may include, relative to the scratch folder
// (the process's current directory): plain.txt, a folder adir.txt, the
// devices zero.dev (/dev/zero) and null.dev, and a named pipe fifo.txt.
//
// Checked after each run: it ended; no temporary file is left behind;
// the plain files are unchanged; every status is a known one, and none is
// left in progress.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/generation_run.h"
#include "engine/run_status.h"
#include "engine/template_parser.h"
#include "fuzz_support.h"
#include "support/text_file.h"

using namespace pellandrix;
using namespace pellandrix::fuzz;
namespace fs = std::filesystem;

namespace {

constexpr int kMaxTemplates = 12;
constexpr int kChainLength = 64;
constexpr std::string_view kPlainText = "plain #define X y\r\n#include \"t0.tpl\"\n";

class QuietView : public IRunView {
  public:
    void RefreshRowStatus(int) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}
};

struct Scratch {
    std::string root, src, out;
};

const Scratch& Folders() {
    static const Scratch scratch = [] {
        Scratch s{ScratchDir(), ScratchDir() + "/src", ScratchDir() + "/out"};
        fs::create_directory(s.src);
        fs::create_directory(s.out);
        WriteFile(s.root + "/plain.txt", kPlainText);
        fs::create_directory(s.root + "/adir.txt");
        fs::create_symlink("/dev/zero", s.root + "/zero.dev");
        fs::create_symlink("/dev/null", s.root + "/null.dev");
        ::mkfifo((s.root + "/fifo.txt").c_str(), 0600);
        return s;
    }();
    return scratch;
}

CTplFileRecord& AddEntry(CTemplateParser& parser, const std::string& name, std::string_view flags,
                         const Scratch& s) {
    CTplFileRecord& e = *parser.Files().NewFile();
    e.TPLFileName = name;
    e.SourcePath = s.src;
    e.TargetPath = flags.find('x') != std::string_view::npos ? s.root + "/missing" : s.out;
    e.CreateFileExt = flags.find('e') != std::string_view::npos ? "" : "html";
    e.AlwaysParse = flags.find('a') != std::string_view::npos;
    e.Selected = flags.find('s') != std::string_view::npos;
    e.CreateFile = flags.find('c') != std::string_view::npos;
    e.ListRow = parser.Files().Records().Count() - 1;
    return e;
}

void AddTemplate(CTemplateParser& parser, int index, std::string_view flags, std::string_view body,
                 const Scratch& s) {
    const std::string name = "t" + std::to_string(index) + ".tpl";
    AddEntry(parser, name, flags, s);
    const auto has = [&](char c) { return flags.find(c) != std::string_view::npos; };
    if (has('d')) {
        fs::create_directory(s.src + "/" + name);
    } else if (!has('m')) {
        std::string text(body);
        if (has('D')) {
            text += "\n#include \"d0.tpl\"\n";
        }
        WriteFile(s.src + "/" + name, text);
    }
    if (has('f')) {
        std::error_code ignored;
        fs::create_symlink("/dev/full", s.out + "/t" + std::to_string(index) + ".html", ignored);
    }
}

void AddChain(CTemplateParser& parser, const Scratch& s) {
    for (int i = 0; i < kChainLength; ++i) {
        const std::string name = "d" + std::to_string(i) + ".tpl";
        AddEntry(parser, name, "ac", s);
        const std::string next =
            i + 1 < kChainLength ? "d" + std::to_string(i + 1) + ".tpl" : std::string("t0.tpl");
        WriteFile(s.src + "/" + name, "#define D" + std::to_string(i) + " " + name + "\nD" +
                                          std::to_string(i) + "\n#include \"" + next + "\"\n");
    }
}

// Splits the input at "@@" header lines and makes one template of each part.
bool BuildProject(std::string_view input, CTemplateParser& parser, const Scratch& s) {
    bool chain = false;
    std::string flags = "sc";
    std::string body;
    int index = 0;
    const auto flush = [&] {
        chain = chain || flags.find('D') != std::string::npos;
        AddTemplate(parser, index++, flags, body, s);
        body.clear();
    };
    for (std::string_view line : Chunks(input)) {
        if (line.starts_with("@@")) {
            if (index + 1 >= kMaxTemplates) {
                break;
            }
            if (index > 0 || !body.empty()) {
                flush();
            }
            flags.assign(line.substr(2));
            continue;
        }
        body.append(line);
    }
    flush();
    return chain;
}

void CheckFolders(const CTemplateParser& parser, const Scratch& s) {
    for (const fs::directory_entry& e : fs::directory_iterator(s.out)) {
        FUZZ_CHECK(e.path().filename().string().front() != '.', "no temporary file left behind");
    }
    FUZZ_CHECK(fs::file_size(s.root + "/plain.txt") == kPlainText.size(), "plain.txt unchanged");
    for (const CTplFileRecord& e : parser.Files().Records()) {
        FUZZ_CHECK(e.RunStatus >= 0 && e.RunStatus <= static_cast<int>(RunStatus::Failed),
                   "a known status");
        FUZZ_CHECK(e.RunStatus != static_cast<int>(RunStatus::InProgress),
                   "no entry left in progress");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::chdir(Folders().root.c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Scratch& s = Folders();
    EmptyDir(s.src);
    EmptyDir(s.out);

    CountingPresenter presenter;
    CMessageService messages(presenter);
    CTplFileList files;
    CTemplateParser parser(messages, files);
    if (BuildProject(AsText(data, size), parser, s)) {
        AddChain(parser, s);
    }
    QuietView view;
    RunGeneration(parser, view);
    CheckFolders(parser, s);
    return 0;
}
