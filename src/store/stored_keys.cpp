#include "store/stored_keys.h"

#include <cstdint>
#include <limits>
#include <variant>

#include "store/dao_exception.h"
#include "store/dao_recordset.h"

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

int KeyForNewRow(int key, int largestStored) {
    if (key > largestStored) {
        return key;
    }
    if (largestStored == std::numeric_limits<int>::max()) {
        throw CDaoException(
            0, "Der größte Schlüssel ist vergeben; es kann keine Zeile mehr angelegt werden.");
    }
    return largestStored + 1;
}

}  // namespace pellandrix
