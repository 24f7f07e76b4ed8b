#include "data/ibdatabase.h"

#include "data/detail/attach.h"
#include "data/detail/fbclient.h"
#include "data/detail/handles.h"
#include "data/errors.h"
#include "data/locktimeout.h"

#include <algorithm>
#include <exception>
#include <map>

namespace vistrel::data {

using detail::api;

namespace {

// Parameter names a session accepts in Params, with their parameter-block items.
const std::map<std::string, unsigned char>& dpbNames() {
    static const std::map<std::string, unsigned char> names = {
        {"user_name", isc_dpb_user_name},
        {"password", isc_dpb_password},
        {"sql_role_name", isc_dpb_sql_role_name},
        {"lc_ctype", isc_dpb_lc_ctype},
    };
    return names;
}

bool knownServerType(const std::string& type) {
    return equalsIgnoreCase(type, "IBServer");
}

template <typename T> void eraseOne(std::vector<T*>& v, T* p) {
    v.erase(std::remove(v.begin(), v.end(), p), v.end());
}

template <typename T> bool contains(const std::vector<T*>& v, T* p) {
    return std::find(v.begin(), v.end(), p) != v.end();
}

} // namespace

// ---------------------------------------------------------------- TIBDatabase

TIBDatabase::TIBDatabase() : m_attachment(std::make_unique<detail::Attachment>()) {
    m_params.OnChanging = [this] {
        if (Connected())
            raiseClientError(ClientError::DatabaseOpen);
    };
    m_params.OnChange = [this] { m_paramsChanged = true; };
}

TIBDatabase::~TIBDatabase() {
    forceClose();
    for (auto* c : std::vector<DatabaseClient*>(m_clients))
        c->databaseDestroyed();
    for (auto* t : std::vector<TIBTransaction*>(m_transactions))
        t->RemoveDatabase(this);
}

void TIBDatabase::setDatabaseName(const std::string& name) {
    if (Connected())
        raiseClientError(ClientError::DatabaseOpen);
    m_databaseName = name;
}

void TIBDatabase::setDefaultTransaction(TIBTransaction* tr) {
    m_defaultTransaction = tr;
    if (tr && !contains(m_transactions, tr))
        tr->AddDatabase(this);
}

void TIBDatabase::setServerType(const std::string& type) {
    if (equalsIgnoreCase(type, m_serverType) && !m_serverType.empty())
        return;
    if (Connected())
        raiseClientError(ClientError::ServerTypeActive);
    if (!knownServerType(type))
        raiseClientError(ClientError::UnknownServerType, type);
    api(); // loads the client library once for the program
    m_serverType = "IBServer";
}

bool TIBDatabase::Connected() const noexcept {
    return static_cast<bool>(*m_attachment);
}

void TIBDatabase::setConnected(bool value) {
    if (value == Connected())
        return;
    if (value)
        attach();
    else
        detach();
}

TIBTransaction* TIBDatabase::findDefaultTransaction() const {
    if (m_defaultTransaction)
        return m_defaultTransaction;
    for (auto* t : m_transactions)
        if (t->DefaultDatabase() == this)
            return t;
    return nullptr;
}

void TIBDatabase::addTransaction(TIBTransaction* tr) {
    if (!contains(m_transactions, tr))
        m_transactions.push_back(tr);
}

void TIBDatabase::removeTransaction(TIBTransaction* tr) {
    eraseOne(m_transactions, tr);
    if (m_defaultTransaction == tr)
        m_defaultTransaction = nullptr;
}

void TIBDatabase::addClient(DatabaseClient* c) {
    if (!contains(m_clients, c))
        m_clients.push_back(c);
}

void TIBDatabase::removeClient(DatabaseClient* c) {
    eraseOne(m_clients, c);
}

void TIBDatabase::checkAttached() const {
    if (Connected())
        return;
    if (m_lostError)
        std::rethrow_exception(m_lostError);
    raiseClientError(ClientError::DatabaseClosed);
}

std::string TIBDatabase::buildDPB() const {
    std::string dpb(1, static_cast<char>(isc_dpb_version1));
    bool characterSetGiven = false;
    for (const auto& line : m_params.items()) {
        if (trim(line).empty())
            continue;
        auto eq = line.find('=');
        std::string name = lowerAscii(trim(eq == std::string::npos ? line : line.substr(0, eq)));
        if (name.rfind("isc_dpb_", 0) == 0)
            name = name.substr(8);
        std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        auto it = dpbNames().find(name);
        if (it == dpbNames().end())
            raiseClientError(ClientError::DPBConstantUnknown, name);
        // A text item holds at most 255 bytes; a longer value is refused rather than cut.
        if (value.size() > 255)
            raiseClientError(ClientError::DPBValueTooLong, name);
        dpb += static_cast<char>(it->second);
        dpb += static_cast<char>(value.size());
        dpb += value;
        characterSetGiven = characterSetGiven || it->second == isc_dpb_lc_ctype;
    }
    // Without a connection character set the server hands out stored bytes unconverted and takes
    // sent text as bytes of no set; with it, text arrives and leaves as written.
    if (!characterSetGiven) {
        dpb += static_cast<char>(isc_dpb_lc_ctype);
        dpb += static_cast<char>(std::char_traits<char>::length(kConnectionCharacterSet));
        dpb += kConnectionCharacterSet;
    }
    return dpb;
}

void TIBDatabase::attach() {
    if (m_serverType.empty())
        setServerType("IBServer");
    if (Connected())
        raiseClientError(ClientError::DatabaseOpen);
    if (m_databaseName.empty())
        raiseClientError(ClientError::DatabaseNameMissing);
    if (m_paramsChanged) {
        m_dpb = buildDPB();
        m_paramsChanged = false;
    }
    m_lostError = nullptr;
    detail::Attachment attachment(api());
    detail::attachDatabase(api(), m_databaseName, m_dpb, attachment.ptr());
    *m_attachment = std::move(attachment);
    int dialect = 1;
    try {
        dialect = infoItem(isc_info_db_sql_dialect, 1);
    } catch (...) {
        forceClose();
        throw;
    }
    // From the dialect asked for, not from the last database's: a session that was on a dialect-1
    // database speaks dialect 3 again on a dialect-3 one.
    m_sqlDialect = dialect < m_requestedSqlDialect ? dialect : m_requestedSqlDialect;
}

void TIBDatabase::notifyDisconnecting() {
    for (auto* c : std::vector<DatabaseClient*>(m_clients))
        if (contains(m_clients, c))
            c->databaseDisconnecting();
}

void TIBDatabase::endActiveTransactions() {
    std::optional<TIBTransaction::CommitFailure> commitFailure;
    for (auto* t : std::vector<TIBTransaction*>(m_transactions)) {
        if (t->Active()) {
            auto f = t->forceEnd();
            if (f && !commitFailure)
                commitFailure = std::move(f);
        }
    }
    if (!commitFailure)
        return;
    if (commitFailure->lost)
        loseConnection(commitFailure->lost);
    throw EIBInterBaseError(commitFailure->message, commitFailure->sqlCode, commitFailure->ibErrorCode);
}

void TIBDatabase::endTransactions() {
    if (Connected())
        endActiveTransactions();
}

void TIBDatabase::startAfresh() {
    if (!Connected())
        return;
    notifyDisconnecting();
    endActiveTransactions();
}

void TIBDatabase::detach() {
    notifyDisconnecting();
    // A refused commit is reported once the session has detached. A connection found gone closes
    // the session without a report: there is nothing left to detach from.
    std::exception_ptr commitFailure;
    try {
        endActiveTransactions();
    } catch (const EIBConnectionLost&) {
        return;
    } catch (const EIBInterBaseError&) {
        commitFailure = std::current_exception();
    }
    ISC_STATUS_ARRAY status{};
    if (m_attachment->client().detach_database(status, m_attachment->ptr())) {
        detail::StatusError e = detail::interpretStatus(status);
        const bool lost = detail::connectionLost(status);
        forceClose();
        if (lost) {
            m_lostError = detail::connectionLostError(e, m_databaseName);
            if (commitFailure)
                std::rethrow_exception(commitFailure);
            return;
        }
        detail::throwStatusError(e);
    }
    m_attachment->forget();
    if (commitFailure)
        std::rethrow_exception(commitFailure);
}

void TIBDatabase::forceClose() noexcept {
    if (!Connected())
        return;
    try {
        notifyDisconnecting();
    } catch (...) {
    }
    for (auto* t : std::vector<TIBTransaction*>(m_transactions))
        if (t->Active())
            (void)t->forceEnd();
    // The attachment may be gone or broken; the handle is dropped either way.
    m_attachment->reset();
}

void TIBDatabase::raiseStatus(const intptr_t* status) {
    // The client's status vector is an array of intptr_t (ISC_STATUS); it is read before anything
    // else touches the client.
    detail::StatusError e = detail::interpretStatus(status);
    if (detail::connectionLost(status))
        loseConnection(detail::connectionLostError(e, m_databaseName));
    detail::throwStatusError(e);
}

void TIBDatabase::loseConnection(std::exception_ptr lost) {
    forceClose();
    m_lostError = lost;
    std::rethrow_exception(lost);
}

int TIBDatabase::infoItem(unsigned char item, int missing) {
    checkAttached();
    ISC_STATUS_ARRAY status{};
    int value = missing;
    if (detail::databaseInfoInteger(api(), m_attachment->ptr(), item, missing, value, status))
        raiseStatus(status);
    return value;
}

std::string TIBDatabase::databaseIdentity() {
    checkAttached();
    const char items[] = {static_cast<char>(isc_info_db_id), static_cast<char>(isc_info_creation_date),
                          static_cast<char>(isc_info_end)};
    char buffer[2048] = {};
    ISC_STATUS_ARRAY status{};
    if (api().database_info(status, m_attachment->ptr(), sizeof items, items, sizeof buffer, buffer))
        raiseStatus(status);
    std::string identity;
    const char* p = buffer;
    const char* const end = buffer + sizeof buffer;
    while (p + 3 <= end && *p != isc_info_end && *p != isc_info_truncated) {
        const unsigned char code = static_cast<unsigned char>(*p++);
        const auto len = static_cast<size_t>(api().vax_integer(p, 2));
        p += 2;
        if (p + len > end)
            break;
        if (code == isc_info_db_id || code == isc_info_creation_date) {
            identity += static_cast<char>(code);
            identity.append(p, len);
        }
        p += len;
    }
    return identity;
}

int TIBDatabase::dbSQLDialect() {
    return infoItem(isc_info_db_sql_dialect, 1);
}

int TIBDatabase::odsMajorVersion() {
    return infoItem(isc_info_ods_version, 0);
}

void TIBDatabase::Loaded() {
    if (!m_streamedConnected || !AllowStreamedConnected)
        return;
    try {
        setConnected(true);
        for (auto* t : std::vector<TIBTransaction*>(m_transactions))
            if (t->streamedActive() && !t->Active())
                t->StartTransaction();
    } catch (...) {
        // The stored start-up attach is best effort: a failure leaves the session detached.
    }
}

// ---------------------------------------------------------------- TIBTransaction

TIBTransaction::TIBTransaction() : m_transaction(std::make_unique<detail::Transaction>()) {}

TIBTransaction::~TIBTransaction() {
    if (Active())
        (void)forceEnd();
    for (auto* c : std::vector<TransactionClient*>(m_clients))
        c->transactionDestroyed();
    for (auto* db : std::vector<TIBDatabase*>(m_databases))
        db->removeTransaction(this);
}

void TIBTransaction::setDefaultDatabase(TIBDatabase* db) {
    if (m_defaultDatabase == db)
        return;
    if (m_defaultDatabase)
        RemoveDatabase(m_defaultDatabase);
    m_defaultDatabase = db;
    if (db)
        AddDatabase(db);
}

void TIBTransaction::AddDatabase(TIBDatabase* db) {
    if (!contains(m_databases, db))
        m_databases.push_back(db);
    db->addTransaction(this);
    if (!m_defaultDatabase)
        m_defaultDatabase = db;
}

void TIBTransaction::RemoveDatabase(TIBDatabase* db) {
    eraseOne(m_databases, db);
    db->removeTransaction(this);
    if (m_defaultDatabase == db)
        m_defaultDatabase = m_databases.empty() ? nullptr : m_databases.front();
}

bool TIBTransaction::Active() const noexcept {
    return static_cast<bool>(*m_transaction);
}

void TIBTransaction::checkActive() const {
    if (!Active())
        raiseClientError(ClientError::TransactionNotActive);
}

void TIBTransaction::addClient(TransactionClient* c) {
    if (!contains(m_clients, c))
        m_clients.push_back(c);
}

void TIBTransaction::removeClient(TransactionClient* c) {
    eraseOne(m_clients, c);
}

void TIBTransaction::notifyEnding() {
    for (auto* c : std::vector<TransactionClient*>(m_clients))
        if (contains(m_clients, c))
            c->transactionEnding();
}

namespace {
std::string buildTPB(const TStringList& params) {
    static const std::map<std::string, char> names = {
        {"consistency", isc_tpb_consistency},
        {"concurrency", isc_tpb_concurrency},
        {"read_committed", isc_tpb_read_committed},
        {"rec_version", isc_tpb_rec_version},
        {"no_rec_version", isc_tpb_no_rec_version},
        {"wait", isc_tpb_wait},
        {"nowait", isc_tpb_nowait},
        {"read", isc_tpb_read},
        {"write", isc_tpb_write},
    };
    std::string tpb;
    for (const auto& line : params.items()) {
        std::string name = lowerAscii(trim(line));
        if (name.empty())
            continue;
        if (name.rfind("isc_tpb_", 0) == 0)
            name = name.substr(8);
        auto it = names.find(name);
        if (it == names.end())
            raiseClientError(ClientError::TPBConstantUnknown, name);
        tpb += it->second;
    }
    // No parameters is the server's default (concurrency, wait, write), written out so that its
    // wait for locks can be bounded.
    if (tpb.empty())
        tpb = {static_cast<char>(isc_tpb_concurrency), static_cast<char>(isc_tpb_wait),
               static_cast<char>(isc_tpb_write)};
    tpb.insert(tpb.begin(), static_cast<char>(isc_tpb_version3));
    if (tpb.find(static_cast<char>(isc_tpb_nowait)) == std::string::npos)
        tpb += detail::lockTimeoutItem();
    return tpb;
}
} // namespace

void TIBTransaction::StartTransaction() {
    if (Active())
        raiseClientError(ClientError::TransactionActive);
    if (m_databases.empty())
        raiseClientError(ClientError::NoDatabasesInTransaction);
    for (auto* db : m_databases) {
        if (!db->Connected()) {
            // A session whose connection was lost waits for an explicit attach.
            if (db->connectionLost())
                db->checkAttached();
            if (db->streamedConnected())
                db->setConnected(true);
            else
                raiseClientError(ClientError::DatabaseClosed);
        }
    }
    std::string tpb = buildTPB(m_params);
    // Transaction existence block entry, as the client's multi-database start reads it.
    struct TransactionExistenceBlock {
        isc_db_handle* db_ptr;
        long tpb_len;
        char* tpb_ptr;
    };
    std::vector<TransactionExistenceBlock> teb(m_databases.size());
    for (size_t i = 0; i < m_databases.size(); ++i) {
        teb[i].db_ptr = m_databases[i]->m_attachment->ptr();
        teb[i].tpb_len = static_cast<long>(tpb.size());
        teb[i].tpb_ptr = tpb.empty() ? nullptr : tpb.data();
    }
    ISC_STATUS_ARRAY status{};
    detail::Transaction transaction(api());
    if (api().start_multiple(status, transaction.ptr(), static_cast<short>(teb.size()), teb.data()))
        m_databases.front()->raiseStatus(status);
    *m_transaction = std::move(transaction);
}

void TIBTransaction::autoStart() {
    if (Active())
        return;
    if (!AllowAutoStart)
        raiseClientError(ClientError::TransactionNotActive);
    StartTransaction();
}

void TIBTransaction::endExplicit(bool commit) {
    checkActive();
    notifyEnding();
    ISC_STATUS_ARRAY status{};
    const detail::FbApi& client = m_transaction->client();
    ISC_STATUS rc = commit ? client.commit_transaction(status, m_transaction->ptr())
                           : client.rollback_transaction(status, m_transaction->ptr());
    if (rc) {
        if (m_defaultDatabase)
            m_defaultDatabase->raiseStatus(status);
        detail::raiseStatusError(status);
    }
    m_transaction->forget();
}

void TIBTransaction::Commit() {
    endExplicit(true);
}

void TIBTransaction::Rollback() {
    endExplicit(false);
}

std::optional<TIBTransaction::CommitFailure> TIBTransaction::forceEnd() noexcept {
    if (!Active())
        return std::nullopt;
    std::optional<CommitFailure> failure;
    try {
        notifyEnding();
    } catch (...) {
    }
    const bool commit = DefaultAction == TACommit || DefaultAction == TACommitRetaining;
    if (commit) {
        try {
            ISC_STATUS_ARRAY status{};
            if (m_transaction->client().commit_transaction(status, m_transaction->ptr())) {
                detail::StatusError e = detail::interpretStatus(status);
                failure = CommitFailure{e.message, e.sqlCode, e.ibErrorCode, nullptr};
                if (detail::connectionLost(status) && m_defaultDatabase)
                    failure->lost = detail::connectionLostError(e, m_defaultDatabase->DatabaseName());
            }
        } catch (...) {
            // Reading the refusal failed (out of memory); the rollback below still runs.
        }
    }
    // Rolls back what a refused commit (or a rollback action) left active; drops the handle
    // whatever the outcome.
    m_transaction->reset();
    return failure;
}

} // namespace vistrel::data
