#pragma once
// Database sessions and transactions over the Firebird client library.
#include "data/inertsettings.h"
#include "data/strings.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vistrel::data {

class TIBTransaction;
class TIBDatabase;

namespace detail {
struct SessionAccess;
template <typename Kind> class ClientHandle;
struct DetachOnRelease;
struct RollbackOnRelease;
} // namespace detail

// The platform's Firebird client library file name, loaded at run time.
extern const char* const kClientLibraryName;

// The connection character set of every session and of the direct-execution connection, unless a
// session's Params name one: the server converts all text to and from it.
inline constexpr char kConnectionCharacterSet[] = "UTF8";

// Calls into the client library that may reach the server, counted since the program started:
// attach, detach, transaction start, commit and rollback, database and statement information,
// prepare, execute, fetch and blob calls, on every session and direct-execution connection. The
// remote client batches some of them (rows come in packets), so this bounds the network round
// trips from above rather than counting them.
uint64_t clientCallCount() noexcept;
// Statements sent to the server to be prepared (or executed at once), counted the same way.
uint64_t statementPrepareCount() noexcept;
// Transaction commits sent to the server (refused ones too), counted the same way, and the time
// spent waiting for their answers: the server carries out DDL and writes its pages at the commit.
uint64_t commitCount() noexcept;
double commitSeconds() noexcept;

// Objects bound to a session are told before it detaches and when it is destroyed.
class DatabaseClient {
public:
    virtual void databaseDisconnecting() = 0;
    virtual void databaseDestroyed() = 0;

protected:
    ~DatabaseClient() = default;
};

// Objects running in a transaction are told before it ends and when it is destroyed.
class TransactionClient {
public:
    virtual void transactionEnding() = 0;
    virtual void transactionDestroyed() = 0;

protected:
    ~TransactionClient() = default;
};

enum TTransactionAction { TARollback = 0, TACommit = 1, TARollbackRetaining = 2, TACommitRetaining = 3 };

class TIBDatabase : public TIBDatabaseInertSettings {
public:
    TIBDatabase();
    ~TIBDatabase();
    TIBDatabase(const TIBDatabase&) = delete;
    TIBDatabase& operator=(const TIBDatabase&) = delete;

    const std::string& DatabaseName() const noexcept { return m_databaseName; }
    void setDatabaseName(const std::string& name);

    TStringList& Params() noexcept { return m_params; }
    const TStringList& Params() const noexcept { return m_params; }

    bool AllowStreamedConnected = true;

    // Called with the text of every statement other than a query that a statement of this session
    // executes, just before it is sent (the command shows them with -v). Empty: nothing is called.
    std::function<void(const std::string& statement)> OnExecute;

    TIBTransaction* DefaultTransaction() const noexcept { return m_defaultTransaction; }
    void setDefaultTransaction(TIBTransaction* tr);

    const std::string& ServerType() const noexcept { return m_serverType; }
    // Selects and loads the client library of a registered server type.
    void setServerType(const std::string& type);

    int SQLDialect() const noexcept { return m_sqlDialect; }
    void setSQLDialect(int dialect) { m_sqlDialect = m_requestedSqlDialect = dialect; }

    bool Connected() const noexcept;
    // true attaches, false detaches (committing active transactions by their default action). A
    // session whose connection is gone detaches without a report: the call that found it lost
    // has raised EIBConnectionLost.
    void setConnected(bool value);
    // Whether a call found the connection lost or shut down since the last attach began. The
    // session closed itself then; until it attaches again every call raises EIBConnectionLost, and
    // a transaction start never attaches it again by itself.
    bool connectionLost() const noexcept { return static_cast<bool>(m_lostError); }

    // Database information requests (attached sessions only).
    int dbSQLDialect();
    int odsMajorVersion();
    // What the server says identifies the attached database: the database file as the server
    // resolved it (aliases and other spellings of the path give the same text), the server's
    // site name and the database's creation time, as one byte string. Two sessions attached to
    // the same database give the same identity.
    std::string databaseIdentity();

    // Stored start-up state: remember being stored as connected, then attach in Loaded(),
    // swallowing any failure.
    void setStreamedConnected(bool value) { m_streamedConnected = value; }
    bool streamedConnected() const noexcept { return m_streamedConnected; }
    void Loaded();

    // Closes the session by force: cursors closed, transactions ended, errors ignored.
    void forceClose() noexcept;

    // Ends every active transaction of the session by its DefaultAction (a commit here) and keeps
    // the attachment: the cursors and statements running in them close and lose their prepared
    // state, as at a detach, and the next cursor starts a new transaction that sees what every
    // attachment has committed by then. A refused commit is rolled back and its error raised once
    // every transaction has ended; the session stays attached. A detached session has nothing to end.
    void endTransactions();
    // Starts the session afresh on the attachment it holds: tells its clients as before a detach
    // (cursors close, statements lose their prepared state), then ends its transactions as
    // endTransactions() does. A refused commit is raised the same way; the session stays attached.
    void startAfresh();

    // Objects told before the session detaches or starts afresh, and when it is destroyed.
    void addClient(DatabaseClient* c);
    void removeClient(DatabaseClient* c);

private:
    friend class TIBTransaction;
    friend struct detail::SessionAccess;

    void addTransaction(TIBTransaction* tr);
    void removeTransaction(TIBTransaction* tr);
    // The default transaction, or else the first transaction whose default session this is.
    TIBTransaction* findDefaultTransaction() const;
    // Fails with DatabaseClosed on a detached session, with its EIBConnectionLost on a lost one.
    void checkAttached() const;
    // Throws the error for a failed client call (status is the client's status vector). A network
    // or shutdown error, on a call of the session or of its statements, closes the session first
    // and is raised as EIBConnectionLost.
    [[noreturn]] void raiseStatus(const intptr_t* status);
    // Closes the session by force, keeps `lost` (an EIBConnectionLost) as its lost state and
    // raises it.
    [[noreturn]] void loseConnection(std::exception_ptr lost);
    void attach();
    void detach();
    // Ends the active transactions by force; raises the first refused commit once all have ended.
    void endActiveTransactions();
    void notifyDisconnecting();
    std::string buildDPB() const;
    int infoItem(unsigned char item, int missing);

    std::string m_databaseName;
    TStringList m_params;
    TIBTransaction* m_defaultTransaction = nullptr;
    std::string m_serverType;
    int m_sqlDialect = 3;
    // The dialect asked for; each attach lowers SQLDialect() from it to the database's own.
    int m_requestedSqlDialect = 3;
    bool m_streamedConnected = false;
    bool m_paramsChanged = true;
    std::string m_dpb;
    // The EIBConnectionLost that closed the session, until the next attach begins.
    std::exception_ptr m_lostError;
    // The attachment handle's owner (detail::Attachment); the handle is present exactly while
    // attached.
    std::unique_ptr<detail::ClientHandle<detail::DetachOnRelease>> m_attachment;
    std::vector<TIBTransaction*> m_transactions;
    std::vector<DatabaseClient*> m_clients;
};

class TIBTransaction : public TIBTransactionInertSettings {
public:
    TIBTransaction();
    ~TIBTransaction();
    TIBTransaction(const TIBTransaction&) = delete;
    TIBTransaction& operator=(const TIBTransaction&) = delete;

    TIBDatabase* DefaultDatabase() const noexcept { return m_defaultDatabase; }
    void setDefaultDatabase(TIBDatabase* db);
    // Further sessions of a multi-database transaction.
    void AddDatabase(TIBDatabase* db);
    void RemoveDatabase(TIBDatabase* db);
    const std::vector<TIBDatabase*>& databases() const noexcept { return m_databases; }

    TStringList& Params() noexcept { return m_params; }
    TTransactionAction DefaultAction = TACommit;
    bool AllowAutoStart = true;

    bool Active() const noexcept;
    bool InTransaction() const noexcept { return Active(); }

    void StartTransaction();
    void Commit();
    void Rollback();

    void setStreamedActive(bool value) { m_streamedActive = value; }
    bool streamedActive() const noexcept { return m_streamedActive; }

    // Objects told before the transaction ends and when it is destroyed.
    void addClient(TransactionClient* c);
    void removeClient(TransactionClient* c);

private:
    friend class TIBDatabase;
    friend struct detail::SessionAccess;

    // Ends the transaction by its DefaultAction without raising. When a commit is refused the
    // transaction is rolled back and the commit's error is returned, so that the caller can
    // report it: work that did not reach the database must not pass for done.
    struct CommitFailure {
        std::string message;
        long sqlCode = 0;
        long ibErrorCode = 0;
        // The commit failed because the connection is gone: the error as EIBConnectionLost.
        std::exception_ptr lost;
    };
    std::optional<CommitFailure> forceEnd() noexcept;
    // Starts the transaction for a cursor or statement that needs it (when AllowAutoStart).
    void autoStart();
    void checkActive() const;
    void notifyEnding();
    void endExplicit(bool commit);

    TIBDatabase* m_defaultDatabase = nullptr;
    std::vector<TIBDatabase*> m_databases;
    TStringList m_params;
    bool m_streamedActive = false;
    // The transaction handle's owner (detail::Transaction); the handle is present exactly while
    // active.
    std::unique_ptr<detail::ClientHandle<detail::RollbackOnRelease>> m_transaction;
    std::vector<TransactionClient*> m_clients;
};

} // namespace vistrel::data
