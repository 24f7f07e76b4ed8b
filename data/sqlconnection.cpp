#include "data/sqlconnection.h"

#include "data/detail/attach.h"
#include "data/detail/fbclient.h"
#include "data/detail/handles.h"
#include "data/errors.h"
#include "data/ibdatabase.h"
#include "data/locktimeout.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <utility>

namespace vistrel::data {
namespace {

using detail::Attachment;
using detail::FbApi;
using detail::Statement;
using detail::Transaction;

// The dialect statements are prepared in: 3, or the database's own when it is lower (a dialect-1
// database refuses every DDL statement prepared in dialect 3).
constexpr unsigned short kDialect = 3;

// The parameter lines the connection is stored with. The first two only located a driver library
// that this connection does not need; they are kept so that the list reads as stored.
std::vector<std::string> storedParams() {
    return {
        "LibraryName=dbxfb.dll",
        "GetDriverFunc=getSQLDriverINTERBASE",
        std::string("VendorLib=") + kClientLibraryName,
        "Database=database.fdb",
        "User_Name=sysdba",
        "Password=masterkey",
        "Role=RoleName",
        "MaxBlobSize=-1",
        "LocaleCode=0000",
        "IsolationLevel=ReadCommitted",
        "SQLDialect=3",
        "CommitRetain=true",
        "WaitOnLocks=True",
        "TrimChar=False",
    };
}

// Layout the client expects for each entry of a multi-database transaction start.
struct TransactionElement {
    isc_db_handle* database;
    int tpbLength;
    const char* tpb;
};

// Read committed takes the newest committed version of a record without waiting for concurrent
// writers (rec_version). Firebird has no dirty read, so that level, the least strict available,
// also serves for it; repeatable read is snapshot (concurrency) isolation.
std::string transactionParameters(TTransIsolationLevel level) {
    std::string tpb{static_cast<char>(isc_tpb_version3), static_cast<char>(isc_tpb_write),
                    static_cast<char>(isc_tpb_wait)};
    if (level == xilREPEATABLEREAD) {
        tpb += static_cast<char>(isc_tpb_concurrency);
    } else {
        tpb += static_cast<char>(isc_tpb_read_committed);
        tpb += static_cast<char>(isc_tpb_rec_version);
    }
    tpb += detail::lockTimeoutItem();
    return tpb;
}

struct LineParts {
    std::string name;
    std::string value;
};

LineParts splitLine(const std::string& line) {
    const auto eq = line.find('=');
    if (eq == std::string::npos)
        return {line, {}};
    return {line.substr(0, eq), line.substr(eq + 1)};
}

// Value of the last line of that name, or empty.
std::string lastValue(const std::vector<std::string>& lines, const std::string& name) {
    std::string value;
    for (const auto& line : lines) {
        auto parts = splitLine(line);
        if (equalsIgnoreCase(parts.name, name))
            value = std::move(parts.value);
    }
    return value;
}

// Writes value over the first line of that name, keeping the line's own spelling of the name.
void overwriteFirst(std::vector<std::string>& lines, const std::string& name, const std::string& value) {
    for (auto& line : lines) {
        auto parts = splitLine(line);
        if (equalsIgnoreCase(parts.name, name)) {
            line = parts.name + "=" + value;
            return;
        }
    }
}

void addItem(std::string& dpb, char item, const std::string& name, const std::string& value) {
    if (value.size() > 255)
        raiseClientError(ClientError::DPBValueTooLong, name);
    dpb += item;
    dpb += static_cast<char>(value.size());
    dpb += value;
}

// Rows inserted, updated or deleted, read from the answer to an isc_info_sql_records request.
int recordCounts(const FbApi& api, const char* buffer, size_t size) {
    const char* const limit = buffer + size;
    if (size < 3 || buffer[0] != isc_info_sql_records)
        return 0;
    const char* p = buffer + 3;
    const char* end = p + api.vax_integer(buffer + 1, 2);
    if (end > limit)
        end = limit;
    long rows = 0;
    while (p + 3 <= end && *p != isc_info_end) {
        const char item = *p;
        const long len = api.vax_integer(p + 1, 2);
        if (len < 0 || p + 3 + len > end)
            break;
        const long count = api.vax_integer(p + 3, static_cast<short>(len));
        if (item == isc_info_req_insert_count || item == isc_info_req_update_count ||
            item == isc_info_req_delete_count)
            rows += count;
        p += 3 + len;
    }
    return static_cast<int>(rows);
}

} // namespace

struct TSQLConnection::Impl {
    struct Entry {
        TTransactionDesc desc;
        Transaction tr;
    };

    ~Impl() { close(); }

    bool connected() const noexcept { return static_cast<bool>(attachment); }

    // Rolls back every transaction still active, newest first, then detaches; never raises.
    void close() noexcept {
        while (!stack.empty())
            stack.pop_back();
        while (!offStack.empty())
            offStack.pop_back();
        attachment = Attachment();
    }

    // Raises the error of a failed call. A lost or shut-down attachment is closed first and its
    // error raised as EIBConnectionLost; the message is read before anything else touches the
    // client.
    [[noreturn]] void fail(const ISC_STATUS* status) {
        const auto error = detail::interpretStatus(status);
        if (detail::connectionLost(status))
            lose(error);
        detail::throwStatusError(error);
    }

    [[noreturn]] void lose(const detail::StatusError& error) {
        close();
        lost = true;
        detail::throwConnectionLost(error, databaseName);
    }

    // The SQL dialect of the attached database (1 when the server does not tell it). A failed
    // request closes the attachment before its error is raised.
    unsigned short databaseDialect() {
        ISC_STATUS_ARRAY status;
        int answer = 1;
        if (detail::databaseInfoInteger(attachment.client(), attachment.ptr(), isc_info_db_sql_dialect, 1,
                                        answer, status) != 0) {
            const auto error = detail::interpretStatus(status);
            if (detail::connectionLost(status))
                lose(error);
            close();
            detail::throwStatusError(error);
        }
        return static_cast<unsigned short>(answer);
    }

    Transaction begin(TTransIsolationLevel level) {
        const FbApi& api = attachment.client();
        const std::string tpb = transactionParameters(level);
        TransactionElement element{attachment.ptr(), static_cast<int>(tpb.size()), tpb.data()};
        // Rolled back unless it reaches the caller.
        Transaction tr(api);
        ISC_STATUS_ARRAY status;
        if (api.start_multiple(status, tr.ptr(), 1, &element) != 0)
            fail(status);
        return tr;
    }

    Attachment attachment;
    // The database name of the last connect, for the lost connection's message.
    std::string databaseName;
    // Set when a call found the attachment lost or shut down; cleared when a connect begins.
    bool lost = false;
    // The dialect statements are prepared in on this attachment.
    unsigned short dialect = kDialect;
    // Started transactions, newest last.
    std::vector<Entry> stack;
    // Transactions that a Commit took off the stack without ending them.
    std::vector<Transaction> offStack;
};

TSQLConnection::TSQLConnection() : m_impl(std::make_unique<Impl>()) {
    m_params.Assign(storedParams());
}

TSQLConnection::~TSQLConnection() = default;

bool TSQLConnection::Connected() const noexcept {
    return m_impl->connected();
}

void TSQLConnection::setConnected(bool value) {
    if (value == Connected())
        return;
    if (value)
        connect();
    else
        m_impl->close();
}

void TSQLConnection::setConnectionName(const std::string& name) {
    m_impl->close();
    m_connectionName = name;
}

int TSQLConnection::activeTransactionCount() const noexcept {
    return static_cast<int>(m_impl->stack.size() + m_impl->offStack.size());
}

void TSQLConnection::connect() {
    std::vector<std::string> lines = m_params.items();
    const std::string user = lastValue(lines, "User_Name");
    const std::string password = lastValue(lines, "Password");
    const std::string database = lastValue(lines, "Database");
    if (!user.empty() || !password.empty()) {
        if (!user.empty())
            overwriteFirst(lines, "User_Name", user);
        if (!password.empty())
            overwriteFirst(lines, "Password", password);
        m_params.Assign(lines);
    }

    std::string library = VendorLib;
    if (library.empty())
        library = lastValue(lines, "VendorLib");
    if (library.empty())
        library = kClientLibraryName;
    const FbApi& api = detail::loadClient(library);

    std::string dpb(1, static_cast<char>(isc_dpb_version1));
    if (!user.empty())
        addItem(dpb, isc_dpb_user_name, "User_Name", user);
    if (!password.empty())
        addItem(dpb, isc_dpb_password, "Password", password);
    const std::string role = lastValue(lines, "Role");
    if (!role.empty())
        addItem(dpb, isc_dpb_sql_role_name, "Role", role);
    addItem(dpb, isc_dpb_lc_ctype, "lc_ctype", kConnectionCharacterSet);

    m_impl->lost = false;
    m_impl->databaseName = database;
    Attachment attachment(api);
    try {
        detail::attachDatabase(api, database, dpb, attachment.ptr());
    } catch (...) {
        attachment.forget();
        throw;
    }
    m_impl->attachment = std::move(attachment);
    m_impl->dialect = std::min(kDialect, m_impl->databaseDialect());
}

bool TSQLConnection::connectionLost() const noexcept {
    return m_impl->lost;
}

void TSQLConnection::closeIfIdle() noexcept {
    if (!KeepConnection && activeTransactionCount() == 0)
        m_impl->close();
}

void TSQLConnection::reconnect() {
    try {
        connect();
    } catch (const EIBConnectionLost&) {
        throw;
    } catch (const EIBInterBaseError& error) {
        // The statements go on where the connection was: a server that no longer answers there is
        // a lost connection, not a refused login.
        if (!detail::connectionLostCode(error.IBErrorCode()))
            throw;
        m_impl->lost = true;
        std::rethrow_exception(detail::connectionLostError(
            {error.what(), error.SQLCode(), error.IBErrorCode(), false}, m_impl->databaseName));
    } catch (const EIBClientError& error) {
        // A server that no longer answers at all: the attach gave up after its timeout.
        if (error.code() != ClientError::ConnectTimeout)
            throw;
        m_impl->lost = true;
        std::rethrow_exception(detail::connectionLostError(
            {error.what(), error.SQLCode(), error.IBErrorCode(), false}, m_impl->databaseName));
    }
}

void TSQLConnection::StartTransaction(const TTransactionDesc& desc) {
    if (!Connected())
        reconnect();
    if (!Connected())
        throw EDatabaseError(kSQLConnectionClosedMessage);
    Transaction tr = m_impl->begin(desc.IsolationLevel);
    m_impl->stack.push_back({desc, std::move(tr)});
}

int TSQLConnection::ExecuteDirect(const std::string& sql) {
    if (!Connected())
        reconnect();
    Impl& impl = *m_impl;
    const FbApi& api = impl.attachment.client();

    // Without a transaction of the caller's the statement runs in one of its own.
    std::optional<Transaction> own;
    if (impl.stack.empty())
        own.emplace(impl.begin(xilREADCOMMITTED));
    isc_tr_handle* tr = own ? own->ptr() : impl.stack.back().tr.ptr();

    if (OnExecute)
        OnExecute(sql);
    Statement st(api);
    ISC_STATUS_ARRAY status;
    auto check = [&](ISC_STATUS result) {
        if (result == 0)
            return;
        const auto error = detail::interpretStatus(status);
        const bool lost = detail::connectionLost(status);
        st.reset();
        if (lost) {
            own.reset();
            impl.lose(error);
        }
        if (own) {
            own.reset();
            closeIfIdle();
        }
        detail::throwStatusError(error);
    };

    check(api.dsql_allocate_statement(status, impl.attachment.ptr(), st.ptr()));
    // The length argument is 16 bits wide; a longer text goes zero-terminated rather than cut.
    const auto length = sql.size() <= USHRT_MAX ? static_cast<unsigned short>(sql.size()) : 0;
    check(api.dsql_prepare(status, tr, st.ptr(), length, sql.c_str(), impl.dialect, nullptr));
    check(api.dsql_execute(status, tr, st.ptr(), 1, nullptr));
    const char items[] = {isc_info_sql_records, isc_info_end};
    char answer[128] = {};
    check(api.dsql_sql_info(status, st.ptr(), sizeof items, items, sizeof answer, answer));
    const int rows = recordCounts(api, answer, sizeof answer);
    st.reset();

    if (own) {
        check(api.commit_transaction(status, own->ptr()));
        own.reset();
        closeIfIdle();
    }
    return rows;
}

void TSQLConnection::Commit(const TTransactionDesc& desc) {
    if (activeTransactionCount() == 0)
        throw EDatabaseError(kSQLConnectionNoTransactionMessage);
    if (!Connected())
        throw EDatabaseError(kSQLConnectionClosedMessage);

    auto& stack = m_impl->stack;
    size_t match = stack.size();
    while (match > 0 && stack[match - 1].desc.TransactionID != desc.TransactionID)
        --match;
    // No transaction of that ID: nothing is taken off the stack and nothing is reported as committed.
    if (match == 0)
        throw EDatabaseError(kSQLConnectionNoTransactionMessage);
    --match;

    ISC_STATUS_ARRAY status;
    Transaction& committed = stack[match].tr;
    if (committed.client().commit_transaction(status, committed.ptr()) != 0)
        m_impl->fail(status);

    for (size_t i = match + 1; i < stack.size(); ++i)
        m_impl->offStack.push_back(std::move(stack[i].tr));
    stack.erase(stack.begin() + static_cast<std::ptrdiff_t>(match), stack.end());
    closeIfIdle();
}

} // namespace vistrel::data
