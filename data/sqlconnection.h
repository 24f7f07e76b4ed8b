#pragma once
// The direct-execution connection: a connection of its own to the target, used to execute whole
// statement texts in explicitly started and committed transactions. It reaches the Firebird client
// library directly: one attachment, SQL dialect 3 (the database's own when it is lower), the
// connection character set UTF8.
#include "data/inertsettings.h"
#include "data/strings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vistrel::data {

enum TTransIsolationLevel : uint8_t {
    xilREADCOMMITTED = 0,
    xilREPEATABLEREAD = 1,
    xilDIRTYREAD = 2,
    xilCUSTOM = 3,
};

// The transaction's identity on the connection's stack and its isolation.
struct TTransactionDesc : TTransactionDescInertFields {
    uint32_t TransactionID = 0;
    TTransIsolationLevel IsolationLevel = xilREADCOMMITTED;
};

// Fixed messages of the connection, raised as EDatabaseError.
inline constexpr const char* kSQLConnectionClosedMessage =
    "Cannot perform this operation on a closed connection";
inline constexpr const char* kSQLConnectionNoTransactionMessage = "There is no active transaction";

// Contract:
// - Connecting resolves Params: for User_Name, Password and Database the last line of the name
//   (letter case disregarded) wins; a non-empty effective user name or password is then written
//   over the first line of its name. The attachment uses the effective values (an empty one is not
//   replaced by an earlier line). Role is sent when not empty; the client library file is VendorLib,
//   or the VendorLib line of Params when the property is empty.
// - Transactions form a stack, newest on top. Commit walks it from the top: entries whose
//   TransactionID differs are taken off the stack without ending them; they stay active on the
//   server (and count as active) until the connection closes, which rolls them back.
// - With KeepConnection false the connection closes itself when an operation ends a transaction
//   and none is left active.
// - A lost or shut-down attachment found by any call closes the connection (errors ignored) before
//   the error is raised as EIBConnectionLost; the next StartTransaction or ExecuteDirect connects
//   again. A connect of theirs (the connection was closed) that the server does not answer for a
//   network error is raised as EIBConnectionLost too.
// - Closing rolls back every transaction still active, newest first, and never raises.
class TSQLConnection : public TSQLConnectionInertSettings {
public:
    TSQLConnection();
    ~TSQLConnection();
    TSQLConnection(const TSQLConnection&) = delete;
    TSQLConnection& operator=(const TSQLConnection&) = delete;

    bool Connected() const noexcept;
    void setConnected(bool value);
    // Whether a call found the attachment lost or shut down (EIBConnectionLost) since the last
    // connect began: the connection closed itself then.
    bool connectionLost() const noexcept;

    const std::string& ConnectionName() const noexcept { return m_connectionName; }
    // Setting it closes an open connection.
    void setConnectionName(const std::string& name);
    bool KeepConnection = false;
    std::string VendorLib;
    // Changes take effect at the next connect.
    TStringList& Params() noexcept { return m_params; }
    const TStringList& Params() const noexcept { return m_params; }

    // Connects first when closed.
    void StartTransaction(const TTransactionDesc& desc);
    // Sends the text unchanged as one statement in the top transaction and returns the rows it
    // inserted, updated or deleted. Connects first when closed. Without an active transaction the
    // statement runs in a read-committed transaction of its own that is committed at once (rolled
    // back when the statement fails). A failing statement leaves its transaction active.
    int ExecuteDirect(const std::string& sql);
    // Called with the text of every statement ExecuteDirect sends, just before it is sent (the
    // command shows them with -v). Empty: nothing is called.
    std::function<void(const std::string& statement)> OnExecute;
    void Commit(const TTransactionDesc& desc);

    // Transactions started and not yet ended: the stack plus the entries a Commit took off it.
    int activeTransactionCount() const noexcept;

private:
    void connect();
    // The connect of a statement or transaction start on a closed connection.
    void reconnect();
    void closeIfIdle() noexcept;

    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_connectionName;
    TStringList m_params;
};

} // namespace vistrel::data
