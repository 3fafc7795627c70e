// The check verb of the session: what is wrong with the site on disk.
#include <algorithm>
#include <iterator>
#include <tuple>
#include <unordered_set>

#include "app/project_session.h"
#include "store/dao_transaction.h"
#include "store/tpl_file_list.h"

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
        // Under the write lock, with the stored list read beside the
        // window's own: a page goes only when neither still makes it, so
        // another process's entries count, and unsaved edits in memory stay
        // as they are (reading the list into them would undo those). Should
        // the record not be written after all, its rows name files that are
        // gone, which no check takes for stale.
        CDaoTransaction transaction(db);
        CTplFileList stored;
        stored.LoadForProject(db, projectId);
        const RunRecord record = LoadRunRecord(db, projectId);
        const std::vector<StalePage> pages = FindStalePages(record, Files());
        std::unordered_set<std::string> staleStored;
        for (const StalePage& page : FindStalePages(record, stored)) {
            staleStored.insert(page.path);
        }
        std::vector<StalePage> removable;
        std::copy_if(pages.begin(), pages.end(), std::back_inserter(removable),
                     [&](const StalePage& page) { return staleStored.count(page.path) != 0; });
        const std::vector<std::string> deleted = RemoveStalePages(removable, record, stored);
        const std::unordered_set<std::string> gone(deleted.begin(), deleted.end());
        for (const StalePage& page : pages) {
            findings.push_back(StaleFinding(page, gone.count(page.path) != 0));
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
