// The check verb of the session: what is wrong with the site on disk.
#include <unistd.h>

#include <algorithm>
#include <tuple>

#include "app/project_session.h"
#include "store/dao_transaction.h"

namespace pellandrix {

namespace {

void SortFindings(std::vector<SiteFinding>& findings) {
    std::sort(findings.begin(), findings.end(), [](const SiteFinding& a, const SiteFinding& b) {
        return std::tie(a.kind, a.file, a.line, a.text) < std::tie(b.kind, b.file, b.line, b.text);
    });
    // A link written twice on one line is one finding.
    findings.erase(std::unique(findings.begin(), findings.end()), findings.end());
}

}  // namespace

std::vector<SiteFinding> CProjectSession::Check(const CheckOptions& options) {
    std::vector<SiteFinding> findings;
    if (current_ == nullptr) {
        return findings;
    }
    CDaoDatabase& db = core_.Database();
    const int projectId = current_->ProjectId;
    if (!options.removeStale) {
        for (const StalePage& page : FindStalePages(LoadRunRecord(db, projectId), Files())) {
            findings.push_back(StaleFinding(page, false));
        }
    } else {
        // Under the write lock, with the list read again: what goes is what
        // the record and the entries say now, and the record forgets it with
        // it. Should the record not be written after all, its rows name
        // files that are gone, which no check takes for stale.
        CDaoTransaction transaction(db);
        LoadCurrentFiles();
        std::vector<std::string> deleted;
        for (const StalePage& page : FindStalePages(LoadRunRecord(db, projectId), Files())) {
            const bool gone =
                page.state == StalePage::State::Ours && ::unlink(page.path.c_str()) == 0;
            if (gone) {
                deleted.push_back(page.path);
            }
            findings.push_back(StaleFinding(page, gone));
        }
        ForgetRunOutputs(db, projectId, deleted);
        transaction.Commit();
    }
    // The links as they are now: a page just deleted is missing for them.
    for (std::vector<SiteFinding> more :
         {FindBrokenLinks(*current_, Files()), FindMissingIncludes(Files())}) {
        findings.insert(findings.end(), more.begin(), more.end());
    }
    SortFindings(findings);
    return findings;
}

}  // namespace pellandrix
