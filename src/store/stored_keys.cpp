#include "store/stored_keys.h"

#include <algorithm>
#include <cstdint>
#include <variant>

#include "store/dao_exception.h"
#include "store/dao_recordset.h"
#include "store/run_record.h"
#include "store/table_base.h"

namespace pellandrix {

int LargestStoredKey(CDaoDatabase& db, const std::string& sql) {
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset, sql);
    if (recordset.IsEOF()) {
        return 0;
    }
    const COleVariant value = recordset.GetFieldValue("K");
    if (const auto* key = std::get_if<std::int32_t>(&value)) {
        return *key;
    }
    return 0;  // max() of no rows is Null
}

int LargestProjectIdInUse(CDaoDatabase& db) {
    return std::max({LargestStoredKey(db, "select max(ProjectId) as K from [project];"),
                     LargestStoredKey(db, "select max(ProjectId) as K from [TPLFile];"),
                     LargestRecordedProjectId(db)});
}

int LargestFileIdInUse(CDaoDatabase& db) {
    // Over every project: a record's steps name files by id alone.
    return std::max(LargestStoredKey(db, "select max(TPLFileId) as K from [TPLFile];"),
                    LargestRecordedFileId(db));
}

int KeyForNewRow(int key, int largestStored, std::string_view table) {
    return key > largestStored ? key : CDaoTableBase::NextKey(largestStored, table);
}

}  // namespace pellandrix
