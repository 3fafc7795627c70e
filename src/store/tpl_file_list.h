#pragma once

#include <string_view>

#include "store/tpl_file_record.h"
#include "support/node_list.h"

namespace pellandrix {

class CDaoDatabase;
class CProjectRecord;

// The template files of the current project, in insertion order. Owns its
// records. A record marked Deleted is dead: every look-up and count skips
// it, and the next SaveAll deletes its row.
class CTplFileList {
  public:
    // Empties the list, then appends one record per row of the project's
    // files. The id counter ends at the largest file id any row of the
    // database holds (LargestFileIdInUse), or stays when it is above.
    void LoadForProject(CDaoDatabase& db, int projectId);
    // Writes every record under `projectId` in one transaction: delete for
    // dead records, update for existing rows, insert otherwise. On an engine
    // error the transaction is rolled back and the error rethrown.
    void SaveAll(CDaoDatabase& db, int projectId);
    // Appends a new record with the next file id and CreateFile,
    // AlwaysParse, SourceFromProject and TargetFromProject set; returns it.
    // Past the largest 32-bit id it appends nothing and throws
    // CDaoException.
    CTplFileRecord* NewFile();
    // First live record with that ListRow / TPLFileName, or null.
    CTplFileRecord* FindByListRow(int row) const;
    CTplFileRecord* FindByName(std::string_view name) const;
    int CountLive() const;
    // Copies the project's directories into its records (dead ones too) whose
    // SourceFromProject / TargetFromProject is set. Null: nothing happens.
    void ApplyProjectPaths(const CProjectRecord* project);

    int IdCounter() const { return idCounter_; }
    // Every record, dead ones included, in list order.
    const CNodeList<CTplFileRecord>& Records() const { return records_; }
    CNodeList<CTplFileRecord>& Records() { return records_; }

  private:
    CNodeList<CTplFileRecord> records_;
    int idCounter_ = 0;
};

// Deletes every template-file row of project `projectId` (the project is
// being deleted); joins the caller's transaction.
void DeleteProjectFiles(CDaoDatabase& db, int projectId);

}  // namespace pellandrix
