#include "data/ibsql.h"

#include "data/detail/fbclient.h"
#include "data/detail/handles.h"
#include "data/detail/session.h"
#include "data/errors.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace vistrel::data {

using detail::api;
using detail::SessionAccess;

// ---------------------------------------------------------------- parameter scan

namespace {

bool isNameChar(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c >= 0x80;
}

[[noreturn]] void parseError(const char* what) {
    raiseClientError(ClientError::SQLParseError, what);
}

} // namespace

ScannedSQL scanParameters(const std::string& sql) {
    ScannedSQL out;
    out.text.reserve(sql.size());
    const size_t n = sql.size();
    size_t i = 0;
    while (i < n) {
        char c = sql[i];
        if (c == '\'' || c == '"') {
            out.text += c;
            ++i;
            bool closed = false;
            while (i < n) {
                out.text += sql[i];
                if (sql[i] == c) {
                    if (i + 1 < n && sql[i + 1] == c) {
                        out.text += sql[i + 1];
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                ++i;
            }
            if (!closed)
                parseError("EOF in string detected");
            continue;
        }
        if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            size_t end = sql.find("*/", i + 2);
            if (end == std::string::npos)
                parseError("EOF in comment detected");
            out.text.append(sql, i, end + 2 - i);
            i = end + 2;
            continue;
        }
        if (c == ':' || c == '?') {
            ++i;
            if (i < n && sql[i] == '"') {
                size_t end = sql.find('"', i + 1);
                if (end == std::string::npos)
                    parseError("EOF in string detected");
                out.names.push_back(sql.substr(i + 1, end - i - 1));
                i = end + 1;
            } else if (i < n && isNameChar(static_cast<unsigned char>(sql[i]))) {
                size_t b = i;
                while (i < n && isNameChar(static_cast<unsigned char>(sql[i])))
                    ++i;
                out.names.push_back(upperAscii(sql.substr(b, i - b)));
            } else {
                parseError("Parameter name expected");
            }
            out.text += '?';
            continue;
        }
        out.text += c;
        ++i;
    }
    return out;
}

// ---------------------------------------------------------------- statement state

namespace detail {

struct SqldaDeleter {
    void operator()(XSQLDA* p) const noexcept { std::free(p); }
};
using SqldaPtr = std::unique_ptr<XSQLDA, SqldaDeleter>;

SqldaPtr allocSqlda(int n) {
    if (n < 1)
        n = 1;
    auto* p = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(n)));
    if (!p)
        throw std::bad_alloc();
    p->version = SQLDA_VERSION1;
    p->sqln = static_cast<ISC_SHORT>(n);
    return SqldaPtr(p);
}

struct Column {
    XSQLVAR* var = nullptr;
    std::vector<char> data;
    ISC_SHORT ind = -1;
    // As described by the server at prepare.
    int describedType = 0;
    int describedLength = 0;
    int describedScale = 0;
    int describedSubtype = 0;
    // Text for a blob parameter, written into a new blob when the statement executes.
    bool blobPending = false;
    std::string blobText;

    int type() const { return var->sqltype & ~1; }
    bool isNull() const { return (var->sqltype & 1) && ind < 0; }
    void bindBuffer(size_t size) {
        data.assign(size == 0 ? 1 : size, 0);
        var->sqldata = data.data();
        var->sqlind = &ind;
    }
};

struct StatementState {
    explicit StatementState(const FbApi& client) : statement(client) {}
    Statement statement;
    SqldaPtr in;
    SqldaPtr out;
    std::vector<Column> inCols;
    std::vector<Column> outCols;
};

} // namespace detail

using detail::Column;

bool isCatalogueRelation(std::string_view relation) {
    return relation.starts_with("RDB$") || relation.starts_with("MON$") || relation.starts_with("SEC$");
}

int unicodeFssWidth(int utf8ByteLength) {
    return utf8ByteLength / kUtf8BytesPerCharacter * kUnicodeFssBytesPerCharacter;
}

namespace {

void setupColumns(XSQLDA* da, std::vector<Column>& cols, bool output) {
    cols.clear();
    cols.resize(static_cast<size_t>(da->sqld));
    for (int i = 0; i < da->sqld; ++i) {
        Column& c = cols[static_cast<size_t>(i)];
        c.var = &da->sqlvar[i];
        c.describedType = c.var->sqltype & ~1;
        c.describedLength = c.var->sqllen;
        c.describedScale = c.var->sqlscale;
        c.describedSubtype = c.var->sqlsubtype;
        size_t size = static_cast<size_t>(c.var->sqllen);
        if (c.describedType == SQL_VARYING)
            size += 2;
        if (!output) {
            // Parameters start as null; the sqltype always carries the null flag.
            c.var->sqltype = static_cast<ISC_SHORT>(c.describedType | 1);
        }
        c.bindBuffer(size);
        c.ind = output ? 0 : -1;
    }
}

std::string formatScaled(int64_t value, int scale) {
    if (scale >= 0) {
        std::string s = std::to_string(value);
        return scale > 0 ? s + std::string(static_cast<size_t>(scale), '0') : s;
    }
    bool neg = value < 0;
    uint64_t mag = neg ? (0 - static_cast<uint64_t>(value)) : static_cast<uint64_t>(value);
    std::string digits = std::to_string(mag);
    size_t places = static_cast<size_t>(-scale);
    if (digits.size() <= places)
        digits.insert(0, places - digits.size() + 1, '0');
    digits.insert(digits.size() - places, ".");
    return (neg ? "-" : "") + digits;
}

// Days since 1858-11-17 to a civil date.
void civilFromMjd(int mjd, int& y, int& m, int& d) {
    long z = static_cast<long>(mjd) + 678881L; // days since 0000-03-01
    long era = (z >= 0 ? z : z - 146096) / 146097;
    long doe = z - era * 146097;
    long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long yy = yoe + era * 400;
    long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(m <= 2 ? yy + 1 : yy);
}

std::string formatDate(ISC_DATE date) {
    int y, m, d;
    civilFromMjd(date, y, m, d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

std::string formatTime(ISC_TIME t) {
    unsigned total = t / 10000;
    unsigned frac = t % 10000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u.%04u", total / 3600, (total / 60) % 60, total % 60, frac);
    return buf;
}

int64_t readInteger(const Column& c) {
    switch (c.type()) {
    case SQL_SHORT: {
        int16_t v;
        std::memcpy(&v, c.var->sqldata, sizeof v);
        return v;
    }
    case SQL_LONG: {
        int32_t v;
        std::memcpy(&v, c.var->sqldata, sizeof v);
        return v;
    }
    case SQL_INT64: {
        int64_t v;
        std::memcpy(&v, c.var->sqldata, sizeof v);
        return v;
    }
    default:
        return 0;
    }
}

double readDouble(const Column& c) {
    if (c.type() == SQL_FLOAT) {
        float f;
        std::memcpy(&f, c.var->sqldata, sizeof f);
        return f;
    }
    double d;
    std::memcpy(&d, c.var->sqldata, sizeof d);
    return d;
}

// A catalogue name in UTF8, given back at the width it is stored with: without the server's padding
// to four bytes per character, padded with blanks to its width in UNICODE_FSS instead.
std::string catalogueName(const Column& c) {
    std::string text(c.var->sqldata, static_cast<size_t>(c.var->sqllen));
    size_t end = text.size();
    while (end > 0 && text[end - 1] == ' ')
        --end;
    text.resize(end);
    const auto width = static_cast<size_t>(unicodeFssWidth(c.var->sqllen));
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

std::string readText(const Column& c) {
    if (c.type() == SQL_TEXT && (c.var->sqlsubtype & 0xFF) == kCharSetUtf8 &&
        isCatalogueRelation(std::string_view(
            c.var->relname, static_cast<size_t>(std::max<ISC_SHORT>(c.var->relname_length, 0)))))
        return catalogueName(c);
    if (c.type() == SQL_TEXT)
        return std::string(c.var->sqldata, static_cast<size_t>(c.var->sqllen));
    uint16_t len;
    std::memcpy(&len, c.var->sqldata, sizeof len);
    return std::string(c.var->sqldata + 2, len);
}

bool parseInteger(const std::string& text, int64_t& out) {
    std::string t = trim(text);
    if (t.empty())
        return false;
    const char* b = t.data();
    if (*b == '+')
        ++b;
    auto r = std::from_chars(b, t.data() + t.size(), out);
    return r.ec == std::errc() && r.ptr == t.data() + t.size();
}

} // namespace

// ---------------------------------------------------------------- TIBSQL

TIBSQL::TIBSQL() {
    m_sql.OnChange = [this] { unprepare(); };
}

TIBSQL::~TIBSQL() {
    unprepare();
    if (m_database)
        m_database->removeClient(this);
    if (m_transaction)
        m_transaction->removeClient(this);
}

void TIBSQL::setDatabase(TIBDatabase* db) {
    if (db == m_database)
        return;
    unprepare();
    if (m_database)
        m_database->removeClient(this);
    m_database = db;
    if (db) {
        db->addClient(this);
        if (!m_transaction)
            setTransaction(SessionAccess::defaultTransaction(*db));
    }
}

void TIBSQL::setTransaction(TIBTransaction* tr) {
    if (tr == m_transaction)
        return;
    unprepare();
    if (m_transaction)
        m_transaction->removeClient(this);
    m_transaction = tr;
    if (tr)
        tr->addClient(this);
}

void TIBSQL::checkBindings() const {
    if (!m_database)
        raiseClientError(ClientError::DatabaseNotAssigned);
    if (!m_transaction)
        raiseClientError(ClientError::TransactionNotAssigned);
}

bool TIBSQL::Prepared() const noexcept {
    return m_state && m_state->statement;
}

void TIBSQL::unprepare() noexcept {
    Close();
    m_state.reset();
    m_paramNames.clear();
    m_statementType = StatementType::Unknown;
}

void TIBSQL::FreeHandle() noexcept {
    unprepare();
}

void TIBSQL::Prepare() {
    if (Prepared())
        return;
    std::string text = m_sql.Text();
    if (trim(text).empty())
        raiseClientError(ClientError::EmptySQLStatement);
    checkBindings();
    SessionAccess::checkAttached(*m_database);
    if (!m_transaction->Active())
        SessionAccess::autoStart(*m_transaction);

    std::vector<std::string> names;
    if (ParamCheck) {
        ScannedSQL scanned = scanParameters(text);
        text = std::move(scanned.text);
        names = std::move(scanned.names);
    }

    const auto& a = api();
    auto state = std::make_unique<detail::StatementState>(a);
    ISC_STATUS_ARRAY status{};
    auto fail = [&]() { SessionAccess::raiseStatus(*m_database, status); };
    isc_stmt_handle* statement = state->statement.ptr();
    if (a.dsql_allocate_statement(status, SessionAccess::attachment(*m_database).ptr(), statement))
        fail();
    state->out = detail::allocSqlda(1);
    if (a.dsql_prepare(status, SessionAccess::transaction(*m_transaction).ptr(), statement, 0, text.c_str(),
                       static_cast<unsigned short>(m_database->SQLDialect()), state->out.get()))
        fail();

    char typeItem[] = {isc_info_sql_stmt_type};
    char typeBuf[16] = {};
    if (a.dsql_sql_info(status, statement, sizeof typeItem, typeItem, sizeof typeBuf, typeBuf))
        fail();
    StatementType type = StatementType::Unknown;
    if (typeBuf[0] == isc_info_sql_stmt_type) {
        short len = static_cast<short>(a.vax_integer(typeBuf + 1, 2));
        type = static_cast<StatementType>(a.vax_integer(typeBuf + 3, len));
    }
    if (type == StatementType::GetSegment || type == StatementType::PutSegment ||
        type == StatementType::StartTrans)
        raiseClientError(ClientError::NotPermitted);

    if (state->out->sqld > state->out->sqln) {
        int n = state->out->sqld;
        state->out = detail::allocSqlda(n);
        if (a.dsql_describe(status, statement, SQLDA_VERSION1, state->out.get()))
            fail();
    }
    state->in = detail::allocSqlda(1);
    if (a.dsql_describe_bind(status, statement, SQLDA_VERSION1, state->in.get()))
        fail();
    if (state->in->sqld > state->in->sqln) {
        int n = state->in->sqld;
        state->in = detail::allocSqlda(n);
        if (a.dsql_describe_bind(status, statement, SQLDA_VERSION1, state->in.get()))
            fail();
    }
    setupColumns(state->out.get(), state->outCols, true);
    setupColumns(state->in.get(), state->inCols, false);
    if (!ParamCheck) {
        // Without the scan, parameters (if any) are known by position only.
        names.clear();
        for (size_t i = 0; i < state->inCols.size(); ++i)
            names.push_back(std::to_string(i));
    }
    m_state = std::move(state);
    m_paramNames = std::move(names);
    m_statementType = type;
}

void TIBSQL::ExecQuery() {
    if (m_open)
        raiseClientError(ClientError::SQLOpen);
    checkBindings();
    if (!Prepared())
        Prepare();
    if (!m_transaction->Active())
        SessionAccess::autoStart(*m_transaction);
    const auto& a = api();
    ISC_STATUS_ARRAY status{};
    XSQLDA* in = m_state->inCols.empty() ? nullptr : m_state->in.get();
    auto fail = [&]() { SessionAccess::raiseStatus(*m_database, status); };
    isc_tr_handle* transaction = SessionAccess::transaction(*m_transaction).ptr();
    isc_stmt_handle* statement = m_state->statement.ptr();
    m_rowsAffected = 0;
    writePendingBlobs();
    if (m_statementType != StatementType::Select && m_statementType != StatementType::SelectForUpdate &&
        m_database->OnExecute)
        m_database->OnExecute(m_sql.Text());
    switch (m_statementType) {
    case StatementType::Select:
    case StatementType::SelectForUpdate:
        if (a.dsql_execute(status, transaction, statement, SQLDA_VERSION1, in))
            fail();
        m_open = true;
        m_eof = false;
        if (GoToFirstRecordOnExecute)
            Next();
        return;
    case StatementType::ExecProcedure:
        if (a.dsql_execute2(status, transaction, statement, SQLDA_VERSION1, in,
                            m_state->outCols.empty() ? nullptr : m_state->out.get()))
            fail();
        m_eof = m_state->outCols.empty();
        break;
    default:
        if (a.dsql_execute(status, transaction, statement, SQLDA_VERSION1, in))
            fail();
        m_eof = true;
        break;
    }
    // Rows affected by an insert, update or delete.
    char item[] = {isc_info_sql_records};
    char buf[128] = {};
    if (!a.dsql_sql_info(status, statement, sizeof item, item, sizeof buf, buf) &&
        buf[0] == isc_info_sql_records) {
        const char* p = buf + 3;
        while (*p != isc_info_end && p < buf + sizeof buf - 3) {
            char code = *p++;
            short len = static_cast<short>(a.vax_integer(p, 2));
            p += 2;
            long v = a.vax_integer(p, len);
            p += len;
            if (code == isc_info_req_insert_count || code == isc_info_req_update_count ||
                code == isc_info_req_delete_count)
                m_rowsAffected += v;
        }
    }
}

void TIBSQL::writePendingBlobs() {
    const auto& a = api();
    for (Column& c : m_state->inCols) {
        if (!c.blobPending || c.ind < 0)
            continue;
        ISC_STATUS_ARRAY status{};
        detail::BlobWriter blob(a);
        ISC_QUAD id{};
        if (a.create_blob2(status, SessionAccess::attachment(*m_database).ptr(),
                           SessionAccess::transaction(*m_transaction).ptr(), blob.ptr(), &id, 0, nullptr))
            SessionAccess::raiseStatus(*m_database, status);
        size_t pos = 0;
        while (pos < c.blobText.size()) {
            unsigned short len =
                static_cast<unsigned short>(std::min<size_t>(32768, c.blobText.size() - pos));
            if (a.put_segment(status, blob.ptr(), len, c.blobText.data() + pos)) {
                blob.reset();
                SessionAccess::raiseStatus(*m_database, status);
            }
            pos += len;
        }
        if (a.close_blob(status, blob.ptr())) {
            blob.reset();
            SessionAccess::raiseStatus(*m_database, status);
        }
        std::memcpy(c.var->sqldata, &id, sizeof id);
    }
}

bool TIBSQL::Next() {
    if (!m_open || m_eof)
        return false;
    ISC_STATUS_ARRAY status{};
    ISC_STATUS rc = api().dsql_fetch(status, m_state->statement.ptr(), SQLDA_VERSION1, m_state->out.get());
    if (rc == 100) {
        m_eof = true;
        return false;
    }
    if (rc)
        SessionAccess::raiseStatus(*m_database, status);
    return true;
}

void TIBSQL::Close() noexcept {
    if (m_open && m_state && m_state->statement) {
        // Closes the result only; the prepared statement stays.
        ISC_STATUS_ARRAY status{};
        m_state->statement.client().dsql_free_statement(status, m_state->statement.ptr(), DSQL_close);
    }
    m_open = false;
    m_eof = true;
}

int TIBSQL::FieldCount() const {
    return m_state ? static_cast<int>(m_state->outCols.size()) : 0;
}

int TIBSQL::ParamCount() const {
    return static_cast<int>(m_paramNames.size());
}

Column& TIBSQL::outColumn(int i) {
    if (!m_state || i < 0 || i >= static_cast<int>(m_state->outCols.size()))
        raiseClientError(ClientError::FieldNotFound, std::to_string(i));
    return m_state->outCols[static_cast<size_t>(i)];
}

Column& TIBSQL::inColumn(int i) {
    if (!m_state || i < 0 || i >= static_cast<int>(m_state->inCols.size()))
        raiseClientError(ClientError::FieldNotFound, std::to_string(i));
    return m_state->inCols[static_cast<size_t>(i)];
}

namespace {
// Name comparison of FieldByName and ParamByName: trimmed and upper-cased, except a name
// written in double quotes, which is taken as written.
std::string lookupKey(const std::string& name) {
    std::string t = trim(name);
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"')
        return t.substr(1, t.size() - 2);
    return upperAscii(t);
}
} // namespace

TIBXSQLVAR TIBSQL::FieldByName(const std::string& name) {
    std::string key = lookupKey(name);
    if (m_state) {
        for (size_t i = 0; i < m_state->outCols.size(); ++i) {
            const XSQLVAR* v = m_state->outCols[i].var;
            if (std::string(v->aliasname, static_cast<size_t>(v->aliasname_length)) == key)
                return TIBXSQLVAR(this, false, {static_cast<int>(i)});
        }
    }
    raiseClientError(ClientError::FieldNotFound, name);
}

TIBXSQLVAR TIBSQL::Fields(int index) {
    outColumn(index);
    return TIBXSQLVAR(this, false, {index});
}

TIBXSQLVAR TIBSQL::ParamByName(const std::string& name) {
    if (!Prepared())
        Prepare();
    std::string key = lookupKey(name);
    std::vector<int> idx;
    for (size_t i = 0; i < m_paramNames.size(); ++i) {
        const std::string& pn = m_paramNames[i];
        if (pn == key || upperAscii(pn) == key)
            idx.push_back(static_cast<int>(i));
    }
    if (idx.empty())
        raiseClientError(ClientError::FieldNotFound, name);
    return TIBXSQLVAR(this, true, std::move(idx));
}

TIBXSQLVAR TIBSQL::ParamByIndex(int index) {
    if (!Prepared())
        Prepare();
    inColumn(index);
    return TIBXSQLVAR(this, true, {index});
}

void TIBSQL::databaseDisconnecting() {
    unprepare();
}

void TIBSQL::databaseDestroyed() {
    unprepare();
    m_database = nullptr;
}

void TIBSQL::transactionEnding() {
    unprepare();
}

void TIBSQL::transactionDestroyed() {
    unprepare();
    m_transaction = nullptr;
}

std::string TIBSQL::readBlob(int columnIndex) {
    Column& c = outColumn(columnIndex);
    if (c.isNull())
        return {};
    ISC_QUAD id;
    std::memcpy(&id, c.var->sqldata, sizeof id);
    const auto& a = api();
    ISC_STATUS_ARRAY status{};
    // Closed on every path out of here.
    detail::BlobReader blob(a);
    if (a.open_blob2(status, SessionAccess::attachment(*m_database).ptr(),
                     SessionAccess::transaction(*m_transaction).ptr(), blob.ptr(), &id, 0, nullptr))
        SessionAccess::raiseStatus(*m_database, status);
    std::string out;
    std::vector<char> buf(65535);
    for (;;) {
        unsigned short got = 0;
        ISC_STATUS rc =
            a.get_segment(status, blob.ptr(), &got, static_cast<unsigned short>(buf.size()), buf.data());
        if (rc == 0 || rc == isc_segment) {
            out.append(buf.data(), got);
            continue;
        }
        if (rc == isc_segstr_eof)
            break;
        SessionAccess::raiseStatus(*m_database, status);
    }
    ISC_STATUS_ARRAY closeStatus{};
    if (a.close_blob(closeStatus, blob.ptr()))
        SessionAccess::raiseStatus(*m_database, closeStatus);
    return out;
}

// ---------------------------------------------------------------- TIBXSQLVAR

namespace {
// The longest text a non-blob parameter can carry.
constexpr size_t kMaxTextParameter = 32765;

[[noreturn]] void raiseStringTooLarge(size_t length, size_t capacity) {
    std::string text = clientErrorText(ClientError::StringTooLarge);
    text.replace(text.find("%d"), 2, std::to_string(length));
    text.replace(text.find("%d"), 2, std::to_string(capacity));
    raiseClientErrorText(ClientError::StringTooLarge, text);
}
} // namespace

Column& TIBXSQLVAR::col() const {
    return m_param ? m_owner->inColumn(m_indexes.front()) : m_owner->outColumn(m_indexes.front());
}

bool TIBXSQLVAR::IsNull() const {
    return col().isNull();
}

int TIBXSQLVAR::SQLType() const {
    return col().type();
}

int TIBXSQLVAR::SQLSubtype() const {
    return col().var->sqlsubtype;
}

int TIBXSQLVAR::SQLScale() const {
    return col().var->sqlscale;
}

int TIBXSQLVAR::SQLLength() const {
    return col().var->sqllen;
}

std::string TIBXSQLVAR::Name() const {
    const XSQLVAR* v = col().var;
    return std::string(v->aliasname, static_cast<size_t>(v->aliasname_length));
}

std::string TIBXSQLVAR::RelationName() const {
    const XSQLVAR* v = col().var;
    return std::string(v->relname, static_cast<size_t>(v->relname_length));
}

std::string TIBXSQLVAR::AsString() const {
    Column& c = col();
    if (c.isNull())
        return {};
    switch (c.type()) {
    case SQL_TEXT:
    case SQL_VARYING:
        return readText(c);
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        return formatScaled(readInteger(c), c.var->sqlscale);
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", readDouble(c));
        return buf;
    }
    case SQL_TYPE_DATE: {
        ISC_DATE d;
        std::memcpy(&d, c.var->sqldata, sizeof d);
        return formatDate(d);
    }
    case SQL_TYPE_TIME: {
        ISC_TIME t;
        std::memcpy(&t, c.var->sqldata, sizeof t);
        return formatTime(t);
    }
    case SQL_TIMESTAMP: {
        ISC_TIMESTAMP ts;
        std::memcpy(&ts, c.var->sqldata, sizeof ts);
        return formatDate(ts.timestamp_date) + " " + formatTime(ts.timestamp_time);
    }
    case SQL_BOOLEAN:
        return c.var->sqldata[0] ? "True" : "False";
    case SQL_BLOB:
        return m_owner->readBlob(m_indexes.front());
    default:
        return {};
    }
}

std::string TIBXSQLVAR::AsTrimString() const {
    return trimRight(AsString());
}

int64_t TIBXSQLVAR::AsInt64() const {
    Column& c = col();
    if (c.isNull())
        return 0;
    switch (c.type()) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
        int64_t v = readInteger(c);
        for (int s = c.var->sqlscale; s < 0; ++s)
            v /= 10;
        for (int s = c.var->sqlscale; s > 0; --s)
            v *= 10;
        return v;
    }
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return static_cast<int64_t>(std::llround(readDouble(c)));
    case SQL_BOOLEAN:
        return c.var->sqldata[0] ? 1 : 0;
    case SQL_TEXT:
    case SQL_VARYING: {
        int64_t v = 0;
        if (!parseInteger(readText(c), v))
            raiseClientError(ClientError::InvalidDataConversion);
        return v;
    }
    default:
        raiseClientError(ClientError::InvalidDataConversion);
    }
}

int32_t TIBXSQLVAR::AsLong() const {
    return static_cast<int32_t>(AsInt64());
}

int16_t TIBXSQLVAR::AsShort() const {
    return static_cast<int16_t>(AsInt64());
}

bool TIBXSQLVAR::AsBoolean() const {
    return AsInt64() != 0;
}

double TIBXSQLVAR::AsDouble() const {
    Column& c = col();
    if (c.isNull())
        return 0;
    switch (c.type()) {
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return readDouble(c);
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        return static_cast<double>(readInteger(c)) * std::pow(10.0, c.var->sqlscale);
    default:
        return static_cast<double>(AsInt64());
    }
}

void TIBXSQLVAR::setAsString(const std::string& value) {
    for (int i : m_indexes) {
        Column& c = m_owner->inColumn(i);
        if (c.describedType != SQL_TEXT && c.describedType != SQL_VARYING)
            continue;
        // The parameters bound here are catalogue names: a UTF8 parameter holds what the name
        // column holds.
        const int limit = (c.describedSubtype & 0xFF) == kCharSetUtf8 ? unicodeFssWidth(c.describedLength)
                                                                      : c.describedLength;
        if (static_cast<int>(value.size()) > limit)
            raiseStringTooLarge(value.size(), limit);
    }
    for (int i : m_indexes) {
        Column& c = m_owner->inColumn(i);
        if (c.describedType == SQL_BLOB) {
            c.var->sqltype = SQL_BLOB | 1;
            c.var->sqlscale = 0;
            c.var->sqllen = sizeof(ISC_QUAD);
            c.bindBuffer(sizeof(ISC_QUAD));
            c.blobPending = true;
            c.blobText = value;
            c.ind = 0;
            continue;
        }
        if (value.size() > kMaxTextParameter)
            raiseStringTooLarge(value.size(), kMaxTextParameter);
        c.blobPending = false;
        c.var->sqltype = SQL_TEXT | 1;
        c.var->sqlscale = 0;
        c.var->sqllen = static_cast<ISC_SHORT>(value.size());
        c.bindBuffer(value.size());
        std::memcpy(c.data.data(), value.data(), value.size());
        c.ind = 0;
    }
}

void TIBXSQLVAR::setAsTrimString(const std::string& value) {
    setAsString(trimRight(value));
}

namespace {
template <typename T> void setNumber(Column& c, int sqlType, T value) {
    c.blobPending = false;
    c.var->sqltype = static_cast<ISC_SHORT>(sqlType | 1);
    c.var->sqlscale = 0;
    c.var->sqllen = sizeof(T);
    c.bindBuffer(sizeof(T));
    std::memcpy(c.data.data(), &value, sizeof(T));
    c.ind = 0;
}
} // namespace

void TIBXSQLVAR::setAsLong(int32_t value) {
    for (int i : m_indexes)
        setNumber(m_owner->inColumn(i), SQL_LONG, value);
}

void TIBXSQLVAR::setAsShort(int16_t value) {
    for (int i : m_indexes)
        setNumber(m_owner->inColumn(i), SQL_SHORT, value);
}

void TIBXSQLVAR::setAsInt64(int64_t value) {
    for (int i : m_indexes)
        setNumber(m_owner->inColumn(i), SQL_INT64, value);
}

void TIBXSQLVAR::setNull() {
    for (int i : m_indexes) {
        m_owner->inColumn(i).ind = -1;
        m_owner->inColumn(i).blobPending = false;
    }
}

} // namespace vistrel::data
