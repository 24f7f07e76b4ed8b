#pragma once
// Settings the components are stored with that change nothing in this program. They are kept, in
// this one place, so that each component still carries every setting it is stored with; the
// component classes inherit them and nothing in the data layer reads them.
#include <cstdint>
#include <string>

namespace vistrel::data {

enum TAutoStopAction { saNone, saRollback, saCommit, saRollbackRetaining, saCommitRetaining };

// TIBDatabase: there is no login dialog; the credentials always come from Params.
struct TIBDatabaseInertSettings {
    bool LoginPrompt = false;
};

// TIBTransaction: closing a cursor or finishing a statement never ends the transaction, whatever
// the value; it ends by Commit, Rollback, a detach of its session or its destruction.
struct TIBTransactionInertSettings {
    TAutoStopAction AutoStopAction = saNone;
};

// TIBDataSet: every cursor keeps the rows it fetched and can return to its first one.
struct TIBDataSetInertSettings {
    bool UniDirectional = false;
};

// TIBSQL: the parameter scan refuses a marker without a name; no names are generated.
struct TIBSQLInertSettings {
    bool GenerateParamNames = false;
};

// TSQLConnection: it reaches the client library directly, so no driver library, driver entry
// function or login dialog is involved.
struct TSQLConnectionInertSettings {
    std::string DriverName = "Firebird";
    // Only names the entry function of a driver library.
    std::string GetDriverFunc;
    // The credentials always come from Params.
    bool LoginPrompt = false;
};

// TTransactionDesc: the connection tells its transactions apart by TransactionID alone and takes
// the isolation from IsolationLevel (xilCUSTOM is read as read committed).
struct TTransactionDescInertFields {
    uint32_t GlobalID = 0;
    uint32_t CustomIsolation = 0;
};

} // namespace vistrel::data
