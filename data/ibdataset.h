#pragma once
// Buffered cursors (TIBDataSet) and queries (TIBQuery).
#include "data/errors.h"
#include "data/ibdatabase.h"
#include "data/ibsql.h"
#include "data/inertsettings.h"
#include "data/strings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace vistrel::data {

enum class TFieldType {
    String, // CHAR (fixed) or VARCHAR
    Smallint,
    Integer,
    Largeint,
    BCD, // scaled integer
    Float,
    Date,
    Time,
    DateTime,
    Boolean,
    Memo, // text blob
    Blob, // other blob
};

// A value as a variant: null, text, integer or floating point.
using TVariant = std::variant<std::monostate, std::string, int64_t, double, bool>;

struct FieldValue {
    bool null = true;
    std::string text; // text, blob bytes, or the rendering of other kinds
    int64_t integer = 0;
    double real = 0.0;
};

class TIBDataSet;

// A field of a cursor: the value holder of one result column for the current row.
class TField {
public:
    TField(std::string fieldName, TFieldType type, int size, bool fixedChar)
        : m_fieldName(std::move(fieldName)), m_type(type), m_size(size), m_fixedChar(fixedChar) {}

    const std::string& FieldName() const noexcept { return m_fieldName; }
    TFieldType DataType() const noexcept { return m_type; }
    int Size() const noexcept { return m_size; }
    bool FixedChar() const noexcept { return m_fixedChar; }
    // Component name of a stored field (e.g. ORIGEMTABELA); empty for fields made at open.
    std::string Name;

    std::string AsString() const;
    TVariant AsVariant() const;
    int32_t AsInteger() const;
    bool IsNull() const;

private:
    friend class TIBDataSet;
    std::string m_fieldName;
    TFieldType m_type;
    int m_size;
    bool m_fixedChar;
    int m_column = -1; // position in the result
    const TIBDataSet* m_owner = nullptr;
    int m_index = 0; // position among the dataset's fields
};

// Told when a cursor opens, closes, fetches rows or moves, so that a grid can follow it.
class DataSetObserver {
public:
    virtual void dataSetChanged() = 0; // opened, closed, statement changed
    virtual void rowsFetched(int first, int last) = 0;
    virtual void currentRowChanged(int row) = 0;
    virtual void dataSetDestroyed() = 0;

protected:
    ~DataSetObserver() = default;
};

class TIBDataSet : public TIBDataSetInertSettings, public DatabaseClient, public TransactionClient {
public:
    TIBDataSet();
    virtual ~TIBDataSet();
    TIBDataSet(const TIBDataSet&) = delete;
    TIBDataSet& operator=(const TIBDataSet&) = delete;

    // Component name; prefixes the data layer's field and open-dataset messages.
    std::string Name;

    TIBDatabase* Database() const noexcept { return m_database; }
    void setDatabase(TIBDatabase* db);
    TIBTransaction* Transaction() const noexcept { return m_transaction; }
    void setTransaction(TIBTransaction* tr);

    TStringList& SelectSQL() noexcept { return m_selectSQL; }
    bool ParamCheck = true;
    int BufferChunks = 1000;

    void Open();
    void Close();
    bool Active() const noexcept { return m_active; }
    void First();
    void Next();
    bool Eof() const noexcept { return m_eof; }
    void ExecSQL();
    void Prepare();
    bool Prepared() const;

    TIBXSQLVAR ParamByName(const std::string& name);
    TField& FieldByName(const std::string& name);
    TField* FindField(const std::string& name);
    int FieldCount() const noexcept { return static_cast<int>(m_fields.size()); }
    TField& Fields(int i) { return *m_fields.at(static_cast<size_t>(i)); }

    // Stored (persistent) fields, used instead of fields made at open.
    TField& addStoredField(const std::string& fieldName, TFieldType type, int size, bool fixedChar);
    bool hasStoredFields() const noexcept { return !m_storedFields.empty(); }

    // Row buffer access for grids.
    int RecNo() const noexcept { return m_current; } // 0-based current row, -1 when none
    int fetchedRowCount() const noexcept { return static_cast<int>(m_rows.size()); }
    // Fetches until at least count rows are buffered or the result ends.
    void fetchTo(int count);
    bool allFetched() const noexcept { return m_allFetched; }
    const FieldValue& valueAt(int row, int field) const;
    std::string displayText(int row, int field) const;

    void addObserver(DataSetObserver* o);
    void removeObserver(DataSetObserver* o);
    // Whether anything (a grid's data source) observes the cursor.
    bool Observed() const noexcept { return !m_observers.empty(); }

    // DatabaseClient / TransactionClient
    void databaseDisconnecting() override;
    void databaseDestroyed() override;
    void transactionEnding() override;
    void transactionDestroyed() override;

protected:
    [[noreturn]] void raiseNamed(ClientError code, const std::string& text) const;
    void ensureReady();
    virtual void statementTextChanged();
    TIBSQL& inner() { return m_sql; }
    void closeAndUnprepare() noexcept;

private:
    friend class TField;
    bool fetchOne();
    void makeFields();
    void notifyChanged();
    void setCurrent(int row);
    FieldValue readValue(int column);

    TIBDatabase* m_database = nullptr;
    TIBTransaction* m_transaction = nullptr;
    TStringList m_selectSQL;
    TIBSQL m_sql;
    bool m_active = false;
    bool m_eof = true;
    bool m_allFetched = false;
    int m_current = -1;
    std::vector<std::unique_ptr<TField>> m_storedFields;
    std::vector<std::unique_ptr<TField>> m_madeFields;
    std::vector<TField*> m_fields;
    std::vector<std::vector<FieldValue>> m_rows;
    std::vector<DataSetObserver*> m_observers;
};

// A cursor whose statement is SQL and which keeps its own parameter list.
class TIBQuery : public TIBDataSet {
public:
    TIBQuery();
    TStringList& SQL() noexcept { return SelectSQL(); }
    void ExecSQL();
    // The query's own parameter values, by name; unset parameters are sent as null.
    void setParamValue(const std::string& name, const std::string& value);
    const std::vector<std::string>& ParamNames() const noexcept { return m_paramNames; }

protected:
    void statementTextChanged() override;

private:
    std::vector<std::string> m_paramNames;
    std::vector<std::pair<std::string, std::string>> m_values;
};

} // namespace vistrel::data
