#pragma once

#include "store/column_def.h"
#include "support/fixed_text.h"
#include "support/node_list.h"

namespace pellandrix {

class CDaoDatabase;
class CDaoRecordset;

// One row of table project. A text member of width N holds at most N - 1
// characters; longer texts are cut on assignment (FixedText).
class CProjectRecord : public CListNode {
  public:
    // Stored columns.
    int ProjectId = 0;
    FixedText<50> ProjectName;
    FixedText<256> SourcePath;
    FixedText<256> TargetPath;
    FixedText<22> DefCreateFileExt;
    // Not stored: 1 once the user deleted the project; the next save
    // deletes the row.
    int Deleted = 0;
    // Not stored: true once the record was read from its row or written as
    // a new one. A record that is not has only a provisional id, which the
    // save replaces when another process took it meanwhile.
    bool Stored = false;

    // The column table of project, bound to this record's members, in
    // table order (target before source).
    ColumnTable BindColumns();

    // Table operations on `db`. Engine errors leave as CDaoException.
    // Both also make sure of the lookup index on ProjectId, so that the
    // per-record statements of a save search instead of scanning.
    static bool CreateTable(CDaoDatabase& db);
    static bool EnsureTable(CDaoDatabase& db);
    // Throws CDaoException naming the first stored row whose values this
    // record cannot hold uncut (CDaoTableBase::CheckRows). Reads only.
    static void CheckRows(CDaoDatabase& db);
    // True when a row with that ProjectId exists.
    bool Exists(CDaoDatabase& db, int projectId);
    // Inserts this record's members as a new row.
    void Insert(CDaoDatabase& db);
    // Sets every column of the rows with that ProjectId from this record,
    // the key included. No row: nothing changes.
    void Update(CDaoDatabase& db, int projectId);
    // Deletes the rows with that ProjectId; the project's TPLFile rows stay.
    void Delete(CDaoDatabase& db, int projectId);
    // Fills the record from the recordset's current row. Returns true.
    bool ReadFrom(CDaoRecordset& recordset);
};

}  // namespace pellandrix
