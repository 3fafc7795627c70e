#pragma once

#include "support/fixed_text.h"
#include "support/node_list.h"

namespace pellandrix {

class CDaoDatabase;
class CDaoRecordset;

// One row of table TPLFile: a template file of a project, with the members
// that live only in memory during a session and a generation run.
class CTplFileRecord : public CListNode {
  public:
    // Stored columns.
    int ProjectId = 0;
    int TPLFileId = 0;
    FixedText<256> TPLFileName;
    FixedText<256> SourcePath;
    FixedText<256> TargetPath;
    FixedText<20> CreateFileExt;
    // Not stored.
    int Deleted = 0;
    int ListRow = 0;
    int RunStatus = 0;
    // Stored flags, 0 or 1.
    int Selected = 0;
    int CreateFile = 0;
    int AlwaysParse = 0;
    int SourceFromProject = 0;
    int TargetFromProject = 0;
    // Not stored.
    int Unconfirmed = 0;
    int StandaloneDone = 0;
    // Not stored: true once the record was read from its row or written as
    // a new one. A record that is not has only a provisional id, which the
    // save replaces when another process took it meanwhile.
    bool Stored = false;

    // Table operations on `db`; engine errors leave as CDaoException.
    // Both also make sure of the lookup index on (ProjectId, TPLFileId), so
    // that the per-record statements of a save search instead of scanning.
    static bool CreateTable(CDaoDatabase& db);
    static bool EnsureTable(CDaoDatabase& db);
    // Throws CDaoException naming the first stored row whose values this
    // record cannot hold uncut (CDaoTableBase::CheckRows). Reads only.
    static void CheckRows(CDaoDatabase& db);
    bool Exists(CDaoDatabase& db, int projectId, int fileId);
    void Insert(CDaoDatabase& db);
    void Update(CDaoDatabase& db, int projectId, int fileId);
    void Delete(CDaoDatabase& db, int projectId, int fileId);
    bool ReadFrom(CDaoRecordset& recordset);
};

}  // namespace pellandrix
