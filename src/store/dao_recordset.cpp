#include "store/dao_recordset.h"

#include <sqlite3.h>

#include "store/ascii.h"
#include "store/dao_database.h"
#include "store/dao_exception.h"
#include "store/sql_dialect.h"
#include "store/sqlite_statement.h"

namespace pellandrix {

CDaoRecordset::CDaoRecordset(CDaoDatabase& db) : db_(&db) {}

CDaoRecordset::~CDaoRecordset() = default;

void CDaoRecordset::Open(int openType, const std::string& sql) {
    if (openType != kDbOpenDynaset) {
        ThrowLayerError(SQLITE_MISUSE, "only dynaset recordsets are supported");
    }
    if (IsOpen()) {
        ThrowLayerError(SQLITE_MISUSE, "the recordset is already open");
    }
    db_->Trace(sql);
    statement_ = db_->Prepare(ToEngineSelect(sql));
    lowerNames_.clear();
    asked_.clear();
    visited_ = 0;
    try {
        Step();
    } catch (const CDaoException&) {
        Close();
        throw;
    }
}

void CDaoRecordset::Close() {
    statement_ = CachedStatement();
    lowerNames_.clear();
    asked_.clear();
    eof_ = true;
    visited_ = 0;
}

long CDaoRecordset::GetRecordCount() const {
    return visited_;
}

void CDaoRecordset::Step() {
    eof_ = !statement_->Step();
    if (!eof_ && visited_ == 0) {
        visited_ = 1;
    }
}

void CDaoRecordset::MoveFirst() {
    if (!IsOpen()) {
        ThrowLayerError(SQLITE_MISUSE, "the recordset is not open");
    }
    statement_->Reset();
    Step();
}

void CDaoRecordset::MoveNext() {
    if (!IsOpen() || eof_) {
        ThrowLayerError(SQLITE_MISUSE, "no current record");
    }
    Step();
    if (!eof_) {
        ++visited_;
    }
}

int CDaoRecordset::FieldIndex(const std::string& name) const {
    const auto asked = asked_.find(name);
    if (asked != asked_.end()) {
        return asked->second;
    }
    if (lowerNames_.empty()) {
        for (int i = 0; i < statement_->ColumnCount(); ++i) {
            lowerNames_.push_back(AsciiLowered(statement_->ColumnName(i)));
        }
    }
    const std::string wanted = AsciiLowered(name);
    for (std::size_t i = 0; i < lowerNames_.size(); ++i) {
        if (lowerNames_[i] == wanted) {
            return asked_[name] = static_cast<int>(i);
        }
    }
    ThrowLayerError(SQLITE_ERROR, "item not found in this collection: " + name);
}

COleVariant CDaoRecordset::GetFieldValue(const std::string& name) const {
    if (!IsOpen() || eof_) {
        ThrowLayerError(SQLITE_MISUSE, "no current record");
    }
    const int index = FieldIndex(name);
    switch (statement_->ColumnType(index)) {
        case SQLITE_NULL:
            return std::monostate{};
        case SQLITE_INTEGER:
            // Long columns are 32 bits wide; the engine keeps 64.
            return static_cast<std::int32_t>(statement_->ColumnInt(index));
        case SQLITE_FLOAT:
            return statement_->ColumnDouble(index);
        default:
            return statement_->ColumnText(index);
    }
}

}  // namespace pellandrix
