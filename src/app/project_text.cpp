#include "app/project_text.h"

#include <filesystem>
#include <sstream>
#include <unordered_set>

namespace pellandrix {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHeader = "Pellandrix-Projekt 1";
// The last line: a text cut short anywhere (a full disk, a killed export)
// lacks it, and would otherwise replace a project with fewer entries.
constexpr std::string_view kClosing = "Ende";

// Keys, in the order they are written.
constexpr std::string_view kProject = "Projekt";
constexpr std::string_view kSource = "Quellverzeichnis";
constexpr std::string_view kTarget = "Zielverzeichnis";
constexpr std::string_view kExtension = "Dateiendung";
constexpr std::string_view kFile = "Datei";
constexpr std::string_view kSelected = "ausgewählt";
constexpr std::string_view kCreate = "erstellen";
constexpr std::string_view kAlways = "immer neu erstellen";
constexpr std::string_view kSourceFromProject = "Quellverzeichnis aus Projekt";
constexpr std::string_view kTargetFromProject = "Zielverzeichnis aus Projekt";

std::string Normal(const fs::path& path) {
    std::string text = path.lexically_normal().string();
    if (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

std::string Portable(const std::string& stored, const fs::path& base, const fs::path& workDir) {
    if (stored.empty()) {
        return stored;
    }
    const fs::path absolute = fs::path(stored).is_absolute() ? fs::path(stored) : workDir / stored;
    const fs::path relative = absolute.lexically_normal().lexically_relative(base);
    if (!relative.empty() && *relative.begin() != "..") {
        return Normal(relative);
    }
    return Normal(absolute);
}

// A path of the text as the database keeps it: a relative one, which
// lies relative to the text's folder `base`, stays relative (to the
// working folder) when it lies under the working folder, so that a copied
// project folder keeps working in its new place.
std::string Local(const std::string& written, const fs::path& base, const fs::path& workDir) {
    if (written.empty() || fs::path(written).is_absolute()) {
        return written;
    }
    return Portable(Normal(base / written), workDir, workDir);
}

void Line(std::ostringstream& out, std::string_view key, std::string_view value) {
    out << key << '=' << value << '\n';
}

void Flag(std::ostringstream& out, std::string_view key, int value) {
    Line(out, key, value != 0 ? "ja" : "nein");
}

}  // namespace

std::string WriteProjectText(const CProjectRecord& project, const CTplFileList& files,
                             const std::string& base, const std::string& workDir) {
    const fs::path basePath = fs::path(base).lexically_normal();
    const fs::path work(workDir);
    std::ostringstream out;
    out << kHeader << '\n';
    Line(out, kProject, project.ProjectName.str());
    Line(out, kSource, Portable(project.SourcePath.str(), basePath, work));
    Line(out, kTarget, Portable(project.TargetPath.str(), basePath, work));
    Line(out, kExtension, project.DefCreateFileExt.str());
    for (const CTplFileRecord& file : files.Records()) {
        if (file.Deleted) {
            continue;
        }
        out << '\n';
        Line(out, kFile, file.TPLFileName.str());
        Flag(out, kSelected, file.Selected);
        Flag(out, kCreate, file.CreateFile);
        Flag(out, kAlways, file.AlwaysParse);
        Line(out, kExtension, file.CreateFileExt.str());
        Flag(out, kSourceFromProject, file.SourceFromProject);
        if (!file.SourceFromProject) {
            Line(out, kSource, Portable(file.SourcePath.str(), basePath, work));
        }
        Flag(out, kTargetFromProject, file.TargetFromProject);
        if (!file.TargetFromProject) {
            Line(out, kTarget, Portable(file.TargetPath.str(), basePath, work));
        }
    }
    out << '\n' << kClosing << '\n';
    return out.str();
}

namespace {

// Takes the lines of a project text one by one.
class TextReader {
  public:
    TextReader(std::string_view text, const fs::path& base, const fs::path& workDir,
               const std::string& source)
        : text_(text), base_(base), workDir_(workDir), source_(source) {}

    Outcome Read(ProjectText* out) {
        std::string line;
        if (!Next(&line) || line != kHeader) {
            return Bad();
        }
        bool closed = false;
        while (Next(&line)) {
            if (closed) {
                return Bad();  // nothing may follow the closing line
            }
            closed = line == kClosing;
            if (line.empty() || closed) {
                continue;
            }
            const std::size_t equals = line.find('=');
            if (equals == std::string::npos) {
                return Bad();
            }
            if (!Take(line.substr(0, equals), line.substr(equals + 1), out)) {
                return Bad();
            }
        }
        if (!closed) {
            return Outcome::Refuse(MessageId::kProjectTextCut, source_);
        }
        return out->project.name.empty() ? Bad() : Outcome();
    }

  private:
    bool Next(std::string* line) {
        if (pos_ >= text_.size()) {
            return false;
        }
        std::size_t end = text_.find('\n', pos_);
        end = end == std::string_view::npos ? text_.size() : end;
        *line = std::string(text_.substr(pos_, end - pos_));
        pos_ = end + 1;
        ++lineNumber_;
        return true;
    }

    bool Take(const std::string& key, const std::string& value, ProjectText* out) {
        if (key == kFile) {
            seen_.clear();
        } else if (!seen_.insert(key).second) {
            return false;  // which of two values was meant is anyone's guess
        }
        if (key == kFile) {
            FileSettings file;
            file.name = value;
            file.sourcePath = out->project.sourcePath;
            out->files.push_back(file);
            return true;
        }
        return out->files.empty() ? TakeProject(key, value, out->project)
                                  : TakeFile(key, value, out->files.back());
    }

    bool TakeProject(const std::string& key, const std::string& value, ProjectSettings& p) {
        if (key == kProject) {
            p.name = value;
        } else if (key == kSource) {
            p.sourcePath = Local(value, base_, workDir_);
        } else if (key == kTarget) {
            p.targetPath = Local(value, base_, workDir_);
        } else if (key == kExtension) {
            p.extension = value;
        } else {
            return false;
        }
        return true;
    }

    bool TakeFile(const std::string& key, const std::string& value, FileSettings& f) {
        if (key == kSource) {
            f.sourcePath = Local(value, base_, workDir_);
            return true;
        }
        if (key == kTarget) {
            f.targetPath = Local(value, base_, workDir_);
            return true;
        }
        if (key == kExtension) {
            f.extension = value;
            return true;
        }
        if (value != "ja" && value != "nein") {
            return false;
        }
        const bool on = value == "ja";
        if (key == kSelected) {
            f.selected = on;
        } else if (key == kCreate) {
            f.createFile = on;
        } else if (key == kAlways) {
            f.alwaysParse = on;
        } else if (key == kSourceFromProject) {
            f.sourceFromProject = on;
        } else if (key == kTargetFromProject) {
            f.targetFromProject = on;
        } else {
            return false;
        }
        return true;
    }

    Outcome Bad() const {
        return Outcome::Refuse(MessageId::kProjectTextBad, std::to_string(lineNumber_), source_);
    }

    std::string_view text_;
    fs::path base_;
    fs::path workDir_;
    std::string source_;
    // The keys of the block being read (the project's, then each file's).
    std::unordered_set<std::string> seen_;
    std::size_t pos_ = 0;
    int lineNumber_ = 0;
};

}  // namespace

Outcome ReadProjectText(std::string_view text, const std::string& base, const std::string& workDir,
                        const std::string& source, ProjectText* out) {
    *out = ProjectText();
    return TextReader(text, fs::path(base), fs::path(workDir).lexically_normal(), source).Read(out);
}

}  // namespace pellandrix
