#pragma once
// The data layer's own access to sessions and transactions: their client handles, the raising of
// a failed call's status, the default-transaction lookup and the automatic start. None of it is
// part of the public surface of TIBDatabase and TIBTransaction.
#include "data/detail/handles.h"
#include "data/ibdatabase.h"

namespace vistrel::data::detail {

struct SessionAccess {
    static Attachment& attachment(TIBDatabase& db) { return *db.m_attachment; }
    // Fails with "Cannot perform operation -- DB is not open" on a detached session, with the
    // session's EIBConnectionLost on a lost one.
    static void checkAttached(const TIBDatabase& db) { db.checkAttached(); }
    // Raises the error of a failed client call made on behalf of the session's statements.
    [[noreturn]] static void raiseStatus(TIBDatabase& db, const ISC_STATUS* status) {
        db.raiseStatus(status);
    }
    // The transaction a cursor or statement bound to db runs in when it has none of its own.
    static TIBTransaction* defaultTransaction(const TIBDatabase& db) { return db.findDefaultTransaction(); }

    static Transaction& transaction(TIBTransaction& tr) { return *tr.m_transaction; }
    // Starts tr for a cursor or statement that needs it; fails when AllowAutoStart is false.
    static void autoStart(TIBTransaction& tr) { tr.autoStart(); }
};

} // namespace vistrel::data::detail
