#pragma once
// Forward-only statements: one statement with parameters and a current row.
#include "data/ibdatabase.h"
#include "data/inertsettings.h"
#include "data/strings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::data {

namespace detail {
struct StatementState;
struct Column;
} // namespace detail

// Result of the parameter scan: the text sent to the server and the marker names in order.
struct ScannedSQL {
    std::string text;
    std::vector<std::string> names; // one entry per marker; unquoted names upper-cased
};
// Replaces every parameter marker outside quotes and block comments by "?". Throws the
// client's "SQL Parse Error:" texts for a marker without a name or an unterminated run.
ScannedSQL scanParameters(const std::string& sql);

// SQL type codes as the client reports them (null flag removed).
enum SQLTypeCode : int {
    SQL_TYPE_TEXT = 452,
    SQL_TYPE_VARYING = 448,
    SQL_TYPE_SHORT = 500,
    SQL_TYPE_LONG = 496,
    SQL_TYPE_FLOAT = 482,
    SQL_TYPE_DOUBLE = 480,
    SQL_TYPE_D_FLOAT = 530,
    SQL_TYPE_TIMESTAMP = 510,
    SQL_TYPE_BLOB = 520,
    SQL_TYPE_ARRAY = 540,
    SQL_TYPE_QUAD = 550,
    SQL_TYPE_TYPE_TIME = 560,
    SQL_TYPE_TYPE_DATE = 570,
    SQL_TYPE_INT64 = 580,
    SQL_TYPE_BOOLEAN = 32764,
    SQL_TYPE_NULL = 32766,
};

enum class StatementType {
    Unknown = 0,
    Select = 1,
    Insert = 2,
    Update = 3,
    Delete = 4,
    DDL = 5,
    GetSegment = 6,
    PutSegment = 7,
    ExecProcedure = 8,
    StartTrans = 9,
    Commit = 10,
    Rollback = 11,
    SelectForUpdate = 12,
    SetGenerator = 13,
    SavePoint = 14,
};

class TIBSQL;

// One column of the current row, or one parameter (all markers of one name).
// Text in the connection character set UTF8 (set 4) comes padded to four bytes per character. The
// catalogue stores its names in UNICODE_FSS, three bytes per character: a catalogue name is read
// at that width (93 bytes for a name of 31 characters), the width it has always been read with.
inline constexpr int kCharSetUtf8 = 4;
inline constexpr int kUtf8BytesPerCharacter = 4;
inline constexpr int kUnicodeFssBytesPerCharacter = 3;
// Whether a column of this relation belongs to a system table (catalogue, monitoring, security).
bool isCatalogueRelation(std::string_view relation);
// The UNICODE_FSS width of a text of this many UTF8 bytes.
int unicodeFssWidth(int utf8ByteLength);

class TIBXSQLVAR {
public:
    // Column getters.
    std::string AsString() const;
    std::string AsTrimString() const;
    int32_t AsLong() const;
    int16_t AsShort() const;
    int64_t AsInt64() const;
    bool AsBoolean() const;
    double AsDouble() const;
    bool IsNull() const;
    int SQLType() const;    // type code without the null flag
    int SQLSubtype() const; // sub-type (character set id for text)
    int SQLScale() const;
    int SQLLength() const; // byte length
    std::string Name() const;
    std::string RelationName() const;

    // Parameter setters (set every marker of the name).
    void setAsString(const std::string& value);
    void setAsTrimString(const std::string& value);
    void setAsLong(int32_t value);
    void setAsShort(int16_t value);
    void setAsInt64(int64_t value);
    void setNull();

private:
    friend class TIBSQL;
    TIBXSQLVAR(TIBSQL* owner, bool param, std::vector<int> indexes)
        : m_owner(owner), m_param(param), m_indexes(std::move(indexes)) {}
    detail::Column& col() const;
    TIBSQL* m_owner;
    bool m_param;
    std::vector<int> m_indexes;
};

class TIBSQL final : public TIBSQLInertSettings, public DatabaseClient, public TransactionClient {
public:
    TIBSQL();
    ~TIBSQL();
    TIBSQL(const TIBSQL&) = delete;
    TIBSQL& operator=(const TIBSQL&) = delete;

    TIBDatabase* Database() const noexcept { return m_database; }
    void setDatabase(TIBDatabase* db);
    TIBTransaction* Transaction() const noexcept { return m_transaction; }
    void setTransaction(TIBTransaction* tr);

    TStringList& SQL() noexcept { return m_sql; }
    bool ParamCheck = true;
    bool GoToFirstRecordOnExecute = true;

    void Prepare();
    bool Prepared() const noexcept;
    void FreeHandle() noexcept;
    StatementType SQLStatementType() const noexcept { return m_statementType; }

    void ExecQuery();
    // Fetches the next row; false (and Eof) when there is none.
    bool Next();
    void Close() noexcept;
    bool Open() const noexcept { return m_open; }
    bool Eof() const noexcept { return m_eof; }
    long RowsAffected() const noexcept { return m_rowsAffected; }

    TIBXSQLVAR FieldByName(const std::string& name);
    TIBXSQLVAR Fields(int index);
    int FieldCount() const;
    TIBXSQLVAR ParamByName(const std::string& name);
    int ParamCount() const;
    // The names of the parameters in marker order.
    const std::vector<std::string>& ParamNames() const noexcept { return m_paramNames; }
    // Sets parameter index (marker order) to text, or null when value is empty optional.
    TIBXSQLVAR ParamByIndex(int index);

    // DatabaseClient / TransactionClient
    void databaseDisconnecting() override;
    void databaseDestroyed() override;
    void transactionEnding() override;
    void transactionDestroyed() override;

private:
    friend class TIBXSQLVAR;
    void checkBindings() const;
    detail::Column& outColumn(int i);
    detail::Column& inColumn(int i);
    void unprepare() noexcept;
    // Writes the text of every blob parameter into a new blob and binds its id.
    void writePendingBlobs();
    // Reads a blob column of the current row whole.
    std::string readBlob(int columnIndex);

    TIBDatabase* m_database = nullptr;
    TIBTransaction* m_transaction = nullptr;
    TStringList m_sql;
    std::unique_ptr<detail::StatementState> m_state;
    std::vector<std::string> m_paramNames;
    StatementType m_statementType = StatementType::Unknown;
    bool m_open = false;
    bool m_eof = true;
    long m_rowsAffected = 0;
};

} // namespace vistrel::data
