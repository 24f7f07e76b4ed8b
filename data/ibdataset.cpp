#include "data/ibdataset.h"

#include "data/detail/session.h"
#include "data/errors.h"

#include <algorithm>
#include <charconv>

namespace vistrel::data {

namespace {

// Bytes per character of a text column, by the character set number the server reports.
int bytesPerCharacter(int charSet, const std::string& relation, int byteLength) {
    switch (charSet) {
    case 5:
    case 6:
    case 8:
    case 44:
    case 56:
    case 57:
    case 64:
        return 2;
    case 59:
        return 4;
    case 3:
        if (relation.rfind("RDB$", 0) == 0 || byteLength % 3 != 0)
            return 1;
        return 3;
    default:
        return 1;
    }
}

const FieldValue& nullValue() {
    static const FieldValue v;
    return v;
}

} // namespace

// ---------------------------------------------------------------- TField

std::string TField::AsString() const {
    if (!m_owner || m_owner->m_current < 0)
        return {};
    return m_owner->valueAt(m_owner->m_current, m_index).text;
}

bool TField::IsNull() const {
    if (!m_owner || m_owner->m_current < 0)
        return true;
    return m_owner->valueAt(m_owner->m_current, m_index).null;
}

TVariant TField::AsVariant() const {
    if (IsNull())
        return std::monostate{};
    const FieldValue& v = m_owner->valueAt(m_owner->m_current, m_index);
    switch (m_type) {
    case TFieldType::Smallint:
    case TFieldType::Integer:
    case TFieldType::Largeint:
        return v.integer;
    case TFieldType::Float:
        return v.real;
    case TFieldType::Boolean:
        return v.integer != 0;
    default:
        return v.text;
    }
}

int32_t TField::AsInteger() const {
    if (IsNull())
        return 0;
    const FieldValue& v = m_owner->valueAt(m_owner->m_current, m_index);
    switch (m_type) {
    case TFieldType::Smallint:
    case TFieldType::Integer:
    case TFieldType::Largeint:
    case TFieldType::Boolean:
        return static_cast<int32_t>(v.integer);
    default: {
        std::string t = trim(v.text);
        int32_t out = 0;
        auto r = std::from_chars(t.data(), t.data() + t.size(), out);
        if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size())
            raiseClientError(ClientError::InvalidDataConversion);
        return out;
    }
    }
}

// ---------------------------------------------------------------- TIBDataSet

TIBDataSet::TIBDataSet() {
    m_sql.GoToFirstRecordOnExecute = false;
    m_selectSQL.OnChange = [this] { statementTextChanged(); };
}

TIBDataSet::~TIBDataSet() {
    for (auto* o : std::vector<DataSetObserver*>(m_observers))
        o->dataSetDestroyed();
    closeAndUnprepare();
    if (m_database)
        m_database->removeClient(this);
    if (m_transaction)
        m_transaction->removeClient(this);
}

void TIBDataSet::raiseNamed(ClientError code, const std::string& text) const {
    (void)code;
    throw EDatabaseError(Name.empty() ? text : Name + ": " + text);
}

void TIBDataSet::setDatabase(TIBDatabase* db) {
    if (db == m_database)
        return;
    if (m_active)
        raiseClientError(ClientError::DatasetOpen);
    closeAndUnprepare();
    if (m_database)
        m_database->removeClient(this);
    m_database = db;
    m_sql.setDatabase(db);
    if (db) {
        db->addClient(this);
        if (!m_transaction)
            setTransaction(detail::SessionAccess::defaultTransaction(*db));
    }
}

void TIBDataSet::setTransaction(TIBTransaction* tr) {
    if (tr == m_transaction)
        return;
    closeAndUnprepare();
    if (m_transaction)
        m_transaction->removeClient(this);
    m_transaction = tr;
    m_sql.setTransaction(tr);
    if (tr)
        tr->addClient(this);
}

void TIBDataSet::ensureReady() {
    if (!m_database)
        raiseClientError(ClientError::DatabaseNotAssigned);
    if (!m_transaction)
        raiseClientError(ClientError::TransactionNotAssigned);
    if (!m_database->Connected()) {
        // A session whose connection was lost waits for an explicit attach: its error again.
        if (m_database->connectionLost())
            detail::SessionAccess::checkAttached(*m_database);
        m_database->setConnected(true);
    }
    if (!m_transaction->Active())
        detail::SessionAccess::autoStart(*m_transaction);
}

void TIBDataSet::Prepare() {
    ensureReady();
    if (!m_sql.Prepared()) {
        m_sql.ParamCheck = ParamCheck;
        m_sql.Prepare();
    }
}

bool TIBDataSet::Prepared() const {
    return m_sql.Prepared();
}

void TIBDataSet::statementTextChanged() {
    // A new text closes the cursor and discards its prepared statement and field descriptions.
    if (m_active)
        Close();
    m_sql.SQL().Assign(m_selectSQL.items());
    m_sql.FreeHandle();
}

void TIBDataSet::makeFields() {
    m_madeFields.clear();
    m_fields.clear();
    const int n = m_sql.FieldCount();
    if (!m_storedFields.empty()) {
        for (auto& f : m_storedFields) {
            f->m_column = -1;
            for (int i = 0; i < n; ++i)
                if (equalsIgnoreCase(m_sql.Fields(i).Name(), f->FieldName()))
                    f->m_column = i;
            if (f->m_column < 0)
                raiseNamed(ClientError::FieldNotFound, "Field '" + f->FieldName() + "' not found");
            f->m_index = static_cast<int>(m_fields.size());
            f->m_owner = this;
            m_fields.push_back(f.get());
        }
        return;
    }
    for (int i = 0; i < n; ++i) {
        TIBXSQLVAR v = m_sql.Fields(i);
        TFieldType type;
        int size = 0;
        bool fixed = false;
        switch (v.SQLType()) {
        case SQL_TYPE_TEXT:
        case SQL_TYPE_VARYING: {
            type = TFieldType::String;
            fixed = v.SQLType() == SQL_TYPE_TEXT;
            std::string rel = v.RelationName();
            int len = v.SQLLength();
            if ((v.SQLSubtype() & 0xFF) == kCharSetUtf8 && isCatalogueRelation(rel))
                size = unicodeFssWidth(len);
            else
                size = rel.empty() ? len : len / bytesPerCharacter(v.SQLSubtype() & 0xFF, rel, len);
            break;
        }
        case SQL_TYPE_SHORT:
            type = v.SQLScale() < 0 ? TFieldType::BCD : TFieldType::Smallint;
            break;
        case SQL_TYPE_LONG:
            type = v.SQLScale() < 0 ? TFieldType::BCD : TFieldType::Integer;
            break;
        case SQL_TYPE_INT64:
            type = v.SQLScale() < 0 ? TFieldType::BCD : TFieldType::Largeint;
            break;
        case SQL_TYPE_FLOAT:
        case SQL_TYPE_DOUBLE:
        case SQL_TYPE_D_FLOAT:
            type = TFieldType::Float;
            break;
        case SQL_TYPE_TYPE_DATE:
            type = TFieldType::Date;
            break;
        case SQL_TYPE_TYPE_TIME:
            type = TFieldType::Time;
            break;
        case SQL_TYPE_TIMESTAMP:
            type = TFieldType::DateTime;
            break;
        case SQL_TYPE_BOOLEAN:
            type = TFieldType::Boolean;
            break;
        case SQL_TYPE_BLOB:
            type = v.SQLSubtype() == 1 ? TFieldType::Memo : TFieldType::Blob;
            break;
        default:
            continue; // no field for other types
        }
        auto f = std::make_unique<TField>(v.Name(), type, size, fixed);
        f->m_column = i;
        f->m_owner = this;
        f->m_index = static_cast<int>(m_fields.size());
        m_fields.push_back(f.get());
        m_madeFields.push_back(std::move(f));
    }
}

FieldValue TIBDataSet::readValue(int fieldIndex) {
    TField& f = *m_fields[static_cast<size_t>(fieldIndex)];
    TIBXSQLVAR v = m_sql.Fields(f.m_column);
    FieldValue out;
    if (v.IsNull())
        return out;
    out.null = false;
    switch (f.DataType()) {
    case TFieldType::String: {
        out.text = v.AsString();
        if (f.FixedChar()) {
            std::string rel = v.RelationName();
            if (!rel.empty()) {
                int bpc = bytesPerCharacter(v.SQLSubtype() & 0xFF, rel, v.SQLLength());
                size_t keep = static_cast<size_t>(v.SQLLength() / bpc);
                if (out.text.size() > keep)
                    out.text.resize(keep);
            }
            if (f.Size() > 0 && out.text.size() < static_cast<size_t>(f.Size()))
                out.text.append(static_cast<size_t>(f.Size()) - out.text.size(), ' ');
        }
        break;
    }
    case TFieldType::Smallint:
    case TFieldType::Integer:
    case TFieldType::Largeint:
    case TFieldType::Boolean:
        out.integer = v.AsInt64();
        out.text = v.AsString();
        break;
    case TFieldType::Float:
        out.real = v.AsDouble();
        out.text = v.AsString();
        break;
    default:
        out.text = v.AsString();
        break;
    }
    return out;
}

bool TIBDataSet::fetchOne() {
    if (!m_active || m_allFetched)
        return false;
    if (!m_sql.Next()) {
        m_allFetched = true;
        return false;
    }
    std::vector<FieldValue> row;
    row.reserve(m_fields.size());
    for (size_t i = 0; i < m_fields.size(); ++i)
        row.push_back(readValue(static_cast<int>(i)));
    if (m_rows.size() == m_rows.capacity())
        m_rows.reserve(m_rows.size() + static_cast<size_t>(std::max(1, BufferChunks)));
    m_rows.push_back(std::move(row));
    int r = static_cast<int>(m_rows.size()) - 1;
    for (auto* o : std::vector<DataSetObserver*>(m_observers))
        o->rowsFetched(r, r);
    return true;
}

void TIBDataSet::fetchTo(int count) {
    while (m_active && static_cast<int>(m_rows.size()) < count && fetchOne()) {
    }
}

void TIBDataSet::Open() {
    if (m_active)
        return;
    ensureReady();
    if (m_selectSQL.Count() == 0)
        raiseClientError(ClientError::EmptyQuery);
    Prepare();
    makeFields();
    m_sql.ExecQuery();
    m_active = true;
    m_allFetched = false;
    m_rows.clear();
    m_current = -1;
    notifyChanged();
    if (fetchOne()) {
        m_eof = false;
        setCurrent(0);
    } else {
        m_eof = true;
    }
}

void TIBDataSet::setCurrent(int row) {
    m_current = row;
    for (auto* o : std::vector<DataSetObserver*>(m_observers))
        o->currentRowChanged(row);
}

void TIBDataSet::Next() {
    if (!m_active || m_eof)
        return;
    if (m_current + 1 < static_cast<int>(m_rows.size()) || fetchOne())
        setCurrent(m_current + 1);
    else
        m_eof = true;
}

void TIBDataSet::First() {
    if (!m_active)
        return;
    m_eof = m_rows.empty();
    setCurrent(m_rows.empty() ? -1 : 0);
}

void TIBDataSet::Close() {
    bool was = m_active;
    m_sql.Close();
    m_rows.clear();
    m_madeFields.clear();
    if (m_storedFields.empty())
        m_fields.clear();
    m_active = false;
    m_eof = true;
    m_current = -1;
    m_allFetched = false;
    if (was)
        notifyChanged();
}

void TIBDataSet::closeAndUnprepare() noexcept {
    try {
        Close();
    } catch (...) {
    }
    m_sql.FreeHandle();
}

void TIBDataSet::ExecSQL() {
    ensureReady();
    if (m_selectSQL.Count() == 0)
        raiseClientError(ClientError::EmptyQuery);
    Prepare();
    if (m_sql.SQLStatementType() == StatementType::Select ||
        m_sql.SQLStatementType() == StatementType::SelectForUpdate)
        raiseClientError(ClientError::NoSelectForExec);
    m_sql.ExecQuery();
}

TIBXSQLVAR TIBDataSet::ParamByName(const std::string& name) {
    Prepare();
    return m_sql.ParamByName(name);
}

TField* TIBDataSet::FindField(const std::string& name) {
    for (auto* f : m_fields)
        if (equalsIgnoreCase(f->FieldName(), name))
            return f;
    if (m_fields.empty())
        for (auto& f : m_storedFields)
            if (equalsIgnoreCase(f->FieldName(), name))
                return f.get();
    return nullptr;
}

TField& TIBDataSet::FieldByName(const std::string& name) {
    if (TField* f = FindField(name))
        return *f;
    raiseNamed(ClientError::FieldNotFound, "Field '" + name + "' not found");
}

TField& TIBDataSet::addStoredField(const std::string& fieldName, TFieldType type, int size, bool fixedChar) {
    auto f = std::make_unique<TField>(fieldName, type, size, fixedChar);
    f->m_owner = this;
    f->m_index = static_cast<int>(m_storedFields.size());
    m_storedFields.push_back(std::move(f));
    return *m_storedFields.back();
}

const FieldValue& TIBDataSet::valueAt(int row, int field) const {
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return nullValue();
    const auto& r = m_rows[static_cast<size_t>(row)];
    if (field < 0 || field >= static_cast<int>(r.size()))
        return nullValue();
    return r[static_cast<size_t>(field)];
}

std::string TIBDataSet::displayText(int row, int field) const {
    return valueAt(row, field).text;
}

void TIBDataSet::addObserver(DataSetObserver* o) {
    if (std::find(m_observers.begin(), m_observers.end(), o) == m_observers.end())
        m_observers.push_back(o);
}

void TIBDataSet::removeObserver(DataSetObserver* o) {
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), o), m_observers.end());
}

void TIBDataSet::notifyChanged() {
    for (auto* o : std::vector<DataSetObserver*>(m_observers))
        o->dataSetChanged();
}

void TIBDataSet::databaseDisconnecting() {
    closeAndUnprepare();
}

void TIBDataSet::databaseDestroyed() {
    closeAndUnprepare();
    m_database = nullptr;
}

void TIBDataSet::transactionEnding() {
    closeAndUnprepare();
}

void TIBDataSet::transactionDestroyed() {
    closeAndUnprepare();
    m_transaction = nullptr;
}

// ---------------------------------------------------------------- TIBQuery

TIBQuery::TIBQuery() = default;

void TIBQuery::statementTextChanged() {
    TIBDataSet::statementTextChanged();
    std::vector<std::string> names;
    if (ParamCheck) {
        try {
            names = scanParameters(SelectSQL().Text()).names;
        } catch (const EIBClientError&) {
            // The scan error is raised again when the statement is prepared.
        }
    }
    m_paramNames = names;
    std::vector<std::pair<std::string, std::string>> kept;
    for (auto& v : m_values)
        if (std::find(names.begin(), names.end(), v.first) != names.end())
            kept.push_back(v);
    m_values = std::move(kept);
}

void TIBQuery::setParamValue(const std::string& name, const std::string& value) {
    std::string key = upperAscii(trim(name));
    for (auto& v : m_values)
        if (v.first == key) {
            v.second = value;
            return;
        }
    m_values.emplace_back(key, value);
}

void TIBQuery::ExecSQL() {
    if (Active())
        raiseNamed(ClientError::DatasetOpen, "Cannot perform this operation on an open dataset");
    if (SelectSQL().Count() == 0)
        raiseClientError(ClientError::EmptySQLStatement);
    ensureReady();
    Prepare();
    TIBSQL& s = inner();
    if (s.SQLStatementType() == StatementType::Select ||
        s.SQLStatementType() == StatementType::SelectForUpdate)
        raiseClientError(ClientError::NoSelectForExec);
    for (int i = 0; i < s.ParamCount(); ++i) {
        const std::string& name = s.ParamNames()[static_cast<size_t>(i)];
        auto it = std::find_if(m_values.begin(), m_values.end(), [&](auto& v) { return v.first == name; });
        if (it == m_values.end())
            s.ParamByIndex(i).setNull();
        else
            s.ParamByIndex(i).setAsString(it->second);
    }
    s.ExecQuery();
}

} // namespace vistrel::data
