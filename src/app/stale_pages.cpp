// Stale pages: what the run record proves a run left, and no live entry
// keeps any more.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <unordered_set>

#include "app/site_check.h"
#include "engine/output_guard.h"
#include "engine/template_paths.h"

namespace pellandrix {

namespace {

// The pages live entries keep, by path as written and by the file it
// reaches, so that "out/a.html" and "./out/a.html" are one page.
struct KeptPages {
    std::unordered_set<std::string> paths;
    std::unordered_set<FileId, FileIdHash> files;

    explicit KeptPages(const CTplFileList& list) {
        for (const CTplFileRecord& entry : list.Records()) {
            if (entry.Deleted || !entry.CreateFile) {
                continue;
            }
            const std::string path = GeneratedFilePath(
                entry.TargetPath, TemplateBaseName(entry.TPLFileName), entry.CreateFileExt);
            paths.insert(path);
            struct stat st;
            if (::stat(path.c_str(), &st) == 0) {
                files.insert(FileId{st.st_dev, st.st_ino});
            }
        }
    }

    bool Keeps(const std::string& path, const struct stat& reached) const {
        return paths.count(path) != 0 || files.count(FileId{reached.st_dev, reached.st_ino}) != 0;
    }
};

}  // namespace

std::vector<StalePage> FindStalePages(const RunRecord& record, const CTplFileList& files) {
    const KeptPages kept(files);
    COutputGuard guard;
    guard.Reset(files);
    std::vector<StalePage> stale;
    for (const auto& [path, output] : record.outputs) {
        struct stat reached;
        if (::stat(path.c_str(), &reached) != 0 || kept.Keeps(path, reached)) {
            continue;
        }
        const COutputGuard::Verdict verdict = guard.CheckDelete(path);
        if (verdict == COutputGuard::Verdict::IsTemplate) {
            continue;  // in use again, as a template
        }
        // A link put there since is the user's, wherever it leads; a
        // different text is someone else's work.
        struct stat own;
        const bool plain = ::lstat(path.c_str(), &own) == 0 && S_ISREG(own.st_mode);
        const std::optional<HashedFile> hashed = plain ? HashFile(path) : std::nullopt;
        StalePage page{path, StalePage::State::Ours};
        if (!hashed || hashed->hash != output.hash) {
            page.state = StalePage::State::Changed;
        } else if (verdict == COutputGuard::Verdict::OutsideTargets) {
            page.state = StalePage::State::OutsideTargets;
        }
        stale.push_back(std::move(page));
    }
    std::sort(stale.begin(), stale.end(),
              [](const StalePage& a, const StalePage& b) { return a.path < b.path; });
    return stale;
}

std::vector<std::string> RemoveStalePages(const std::vector<StalePage>& pages,
                                          const RunRecord& record, const CTplFileList& files) {
    COutputGuard guard;
    guard.Reset(files);
    std::vector<std::string> deleted;
    for (const StalePage& page : pages) {
        const auto output = record.outputs.find(page.path);
        if (page.state != StalePage::State::Ours || output == record.outputs.end()) {
            continue;
        }
        const COutputGuard::Decision decision = guard.DecideDelete(page.path);
        if (decision.verdict != COutputGuard::Verdict::Allowed || !decision.place) {
            continue;
        }
        // What is hashed is what is deleted: the file open here, still at
        // its name when it goes.
        const CFileDescriptor file(decision.place->Open(O_RDONLY | O_NONBLOCK));
        const std::optional<HashedFile> hashed = HashOpenFile(file.Get());
        if (hashed && hashed->hash == output->second.hash &&
            RemoveIfSame(*decision.place, FileId{hashed->after.device, hashed->after.inode})) {
            deleted.push_back(page.path);
        }
    }
    return deleted;
}

SiteFinding StaleFinding(const StalePage& page, bool deleted) {
    SiteFinding finding{SiteFinding::Kind::StalePage, page.path, 1, {}, deleted};
    switch (page.state) {
        case StalePage::State::Ours:
            finding.text = deleted ? "veraltete Seite gelöscht: kein Eintrag erzeugte sie mehr"
                                   : "veraltete Seite: kein Eintrag des Projekts erzeugt sie mehr";
            break;
        case StalePage::State::Changed:
            finding.text =
                "veraltete Seite, seit dem Lauf, der sie schrieb, geändert: bleibt stehen";
            break;
        case StalePage::State::OutsideTargets:
            finding.text =
                "veraltete Seite außerhalb der Zielverzeichnisse der Einträge: bleibt stehen";
            break;
    }
    return finding;
}

}  // namespace pellandrix
