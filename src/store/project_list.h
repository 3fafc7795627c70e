#pragma once

#include <string_view>

#include "store/project_record.h"
#include "support/node_list.h"

namespace pellandrix {

class CDaoDatabase;
class CTplFileList;

// Every project of the database, in insertion order, for the whole run.
// Owns its records. A record marked Deleted is dead: every look-up skips
// it, and every SaveAll deletes its row.
class CProjectList {
  public:
    // Appends one record per row of table project, in ascending Id, without
    // emptying the list first. The id counter ends at the largest project
    // id any row of the database holds (LargestProjectIdInUse). Engine errors leave as
    // CDaoException; the records loaded so far stay.
    void LoadAll(CDaoDatabase& db);
    // Writes every record in one transaction: delete for dead records
    // (with their template-file rows and run records), update where a row exists, insert otherwise.
    // On an engine error the transaction is rolled back and the error rethrown.
    void SaveAll(CDaoDatabase& db);
    // SaveAll, then `files.SaveAll(db, projectId)`, each in its own
    // transaction.
    void SaveProjectAndFiles(CDaoDatabase& db, int projectId, CTplFileList& files);

    // Appends a new empty record with the next project id and returns it;
    // the list owns it. Ids are never handed out twice in a run. Past the
    // largest 32-bit id it appends nothing and throws CDaoException.
    CProjectRecord* NewProject();
    // Takes `record` out of the list and destroys it (a new project that
    // was cancelled). The id counter keeps its value. False when the record
    // is not in the list.
    bool Remove(const CProjectRecord* record);

    // First live record with that ProjectId / exactly that ProjectName
    // (bytes compared, case matters), or null.
    CProjectRecord* FindById(int projectId) const;
    CProjectRecord* FindByName(std::string_view name) const;

    int IdCounter() const { return idCounter_; }
    // Every record, dead ones included, in list order.
    const CNodeList<CProjectRecord>& Records() const { return records_; }
    CNodeList<CProjectRecord>& Records() { return records_; }

  private:
    CNodeList<CProjectRecord> records_;
    int idCounter_ = 0;
};

}  // namespace pellandrix
