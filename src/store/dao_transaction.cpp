#include "store/dao_transaction.h"

#include "store/dao_database.h"
#include "store/dao_exception.h"

namespace pellandrix {

CDaoTransaction::CDaoTransaction(CDaoDatabase& db) : db_(db), joined_(db.InTransaction()) {
    if (!joined_) {
        db_.BeginTrans();
    }
}

CDaoTransaction::~CDaoTransaction() {
    if (done_ || joined_) {
        return;
    }
    try {
        // Some engine errors end the transaction by themselves; then there
        // is nothing left to roll back.
        if (db_.InTransaction()) {
            db_.Rollback();
        }
    } catch (const CDaoException&) {
        // The error that brought us here is the one the caller must see.
    }
}

void CDaoTransaction::Commit() {
    if (!joined_) {
        db_.CommitTrans();
    }
    done_ = true;
}

}  // namespace pellandrix
