#pragma once

namespace pellandrix {

class CDaoDatabase;

// One transaction on `db` for the lifetime of the object: begun on
// construction, committed by Commit(), rolled back on destruction when
// Commit() was not reached (an exception on the way out). The database must
// outlive the object.
//
// Made while a transaction is already open on `db`, the object joins it:
// it neither begins nor commits nor rolls back, and the outer transaction
// decides for both. So a save can run inside a caller's larger unit of
// work (read, change, save) and stay all or nothing with it.
class CDaoTransaction {
  public:
    explicit CDaoTransaction(CDaoDatabase& db);
    ~CDaoTransaction();
    CDaoTransaction(const CDaoTransaction&) = delete;
    CDaoTransaction& operator=(const CDaoTransaction&) = delete;

    // Makes the transaction's changes permanent. Throws CDaoException when
    // the engine cannot commit; the destructor then rolls back.
    void Commit();

  private:
    CDaoDatabase& db_;
    bool joined_ = false;
    bool done_ = false;
};

}  // namespace pellandrix
