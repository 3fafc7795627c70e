#include "store/stored_keys.h"

#include <cstdint>
#include <variant>

#include "store/dao_exception.h"
#include "store/dao_recordset.h"
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

int KeyForNewRow(int key, int largestStored, std::string_view table) {
    return key > largestStored ? key : CDaoTableBase::NextKey(largestStored, table);
}

}  // namespace pellandrix
