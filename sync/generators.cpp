// 1-CRIAR GENERATOR: creates on the target every generator of the source that the target lacks.
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "extract/ibextract.h"
#include "sync/processes.h"
#include "sync/runframe.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

namespace vistrel::sync {

namespace {

constexpr char kGeneratorEnumeration[] = "SELECT * FROM RDB$GENERATORS";
constexpr char kGeneratorProbeHead[] = "SELECT * FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME='";
constexpr char kGeneratorProbeTail[] = "' ";
constexpr char kGeneratorCreated[] = "Generator Criado; ";
constexpr char kCreateGenerator[] = "CREATE GENERATOR ";

// Words the server does not take as an unquoted identifier. A name in this list is quoted; quoting
// an upper-case word the server would also have taken unquoted names the same generator, so the
// list errs on the side of holding too much.
constexpr std::string_view kReservedWords[] = {
    "ADD",
    "ADMIN",
    "ALL",
    "ALTER",
    "AND",
    "ANY",
    "AS",
    "AT",
    "AVG",
    "BEGIN",
    "BETWEEN",
    "BIGINT",
    "BIT_LENGTH",
    "BLOB",
    "BOOLEAN",
    "BOTH",
    "BY",
    "CASE",
    "CAST",
    "CHAR",
    "CHARACTER",
    "CHARACTER_LENGTH",
    "CHAR_LENGTH",
    "CHECK",
    "CLOSE",
    "COLLATE",
    "COLUMN",
    "COMMIT",
    "CONNECT",
    "CONSTRAINT",
    "CORR",
    "COUNT",
    "COVAR_POP",
    "COVAR_SAMP",
    "CREATE",
    "CROSS",
    "CURRENT",
    "CURRENT_CONNECTION",
    "CURRENT_DATE",
    "CURRENT_ROLE",
    "CURRENT_TIME",
    "CURRENT_TIMESTAMP",
    "CURRENT_TRANSACTION",
    "CURRENT_USER",
    "CURSOR",
    "DATE",
    "DAY",
    "DEC",
    "DECIMAL",
    "DECLARE",
    "DEFAULT",
    "DELETE",
    "DELETING",
    "DETERMINISTIC",
    "DISCONNECT",
    "DISTINCT",
    "DOUBLE",
    "DROP",
    "ELSE",
    "END",
    "ESCAPE",
    "EXECUTE",
    "EXISTS",
    "EXTERNAL",
    "EXTRACT",
    "FALSE",
    "FETCH",
    "FILTER",
    "FLOAT",
    "FOR",
    "FOREIGN",
    "FROM",
    "FULL",
    "FUNCTION",
    "GDSCODE",
    "GLOBAL",
    "GRANT",
    "GROUP",
    "HAVING",
    "HOUR",
    "IN",
    "INDEX",
    "INNER",
    "INSENSITIVE",
    "INSERT",
    "INSERTING",
    "INT",
    "INTEGER",
    "INTO",
    "IS",
    "JOIN",
    "LEADING",
    "LEFT",
    "LIKE",
    "LONG",
    "LOWER",
    "MAX",
    "MERGE",
    "MIN",
    "MINUTE",
    "MONTH",
    "NATIONAL",
    "NATURAL",
    "NCHAR",
    "NO",
    "NOT",
    "NULL",
    "NUMERIC",
    "OCTET_LENGTH",
    "OF",
    "OFFSET",
    "ON",
    "ONLY",
    "OPEN",
    "OR",
    "ORDER",
    "OUTER",
    "OVER",
    "PARAMETER",
    "PLAN",
    "POSITION",
    "POST_EVENT",
    "PRECISION",
    "PRIMARY",
    "PROCEDURE",
    "RDB$DB_KEY",
    "RDB$RECORD_VERSION",
    "REAL",
    "RECORD_VERSION",
    "RECREATE",
    "RECURSIVE",
    "REFERENCES",
    "REGR_AVGX",
    "REGR_AVGY",
    "REGR_COUNT",
    "REGR_INTERCEPT",
    "REGR_R2",
    "REGR_SLOPE",
    "REGR_SXX",
    "REGR_SXY",
    "REGR_SYY",
    "RELEASE",
    "RETURN",
    "RETURNING_VALUES",
    "RETURNS",
    "REVOKE",
    "RIGHT",
    "ROLLBACK",
    "ROW",
    "ROWS",
    "ROW_COUNT",
    "SAVEPOINT",
    "SCROLL",
    "SECOND",
    "SELECT",
    "SENSITIVE",
    "SET",
    "SIMILAR",
    "SMALLINT",
    "SOME",
    "SQLCODE",
    "SQLSTATE",
    "START",
    "STDDEV_POP",
    "STDDEV_SAMP",
    "SUM",
    "TABLE",
    "THEN",
    "TIME",
    "TIMESTAMP",
    "TO",
    "TRAILING",
    "TRIGGER",
    "TRIM",
    "TRUE",
    "UNION",
    "UNIQUE",
    "UNKNOWN",
    "UPDATE",
    "UPDATING",
    "UPPER",
    "USER",
    "USING",
    "VALUE",
    "VALUES",
    "VARCHAR",
    "VARIABLE",
    "VARYING",
    "VAR_POP",
    "VAR_SAMP",
    "VIEW",
    "WHEN",
    "WHERE",
    "WHILE",
    "WITH",
    "YEAR",
};

// The name without the blanks that pad the system table's column (blanks only: a quoted name may
// end in other characters the server keeps).
std::string withoutPadding(const std::string& name) {
    const size_t end = name.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

// Whether the server reads the name unquoted as the very same name: an upper-case letter, then
// upper-case letters, digits, "_" and "$", and not a reserved word.
bool isOrdinaryName(const std::string& name) {
    if (name.empty() || name[0] < 'A' || name[0] > 'Z')
        return false;
    for (const char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
        if (!ok)
            return false;
    }
    return std::find(std::begin(kReservedWords), std::end(kReservedWords), name) == std::end(kReservedWords);
}

// The name as CREATE GENERATOR carries it: as read when the server takes it unquoted (or when the
// target's dialect has no quoted identifiers), otherwise quoted so that the target gets the same
// name (lower case, blanks and other characters kept).
std::string generatorNameInStatement(const std::string& name, int dialect) {
    const std::string bare = withoutPadding(name);
    if (dialect < 3 || isOrdinaryName(bare))
        return name;
    return extract::TIBExtract::QuoteIdentifier(3, bare);
}

} // namespace

void runGeneratorProcess(ProcessHost& host) {
    sameNameGuard(host);
    data::TIBDataSet& TABELAS = newSourceCursor(host);
    data::TIBDataSet& DESTINOTABELA = newTargetCursor(host);
    openWith(TABELAS, kGeneratorEnumeration);

    data::TIBQuery& CAMPOS2 = host.CAMPOS2();
    // The statement is DDL: its text goes to the server without the parameter scan.
    CAMPOS2.ParamCheck = false;

    while (!TABELAS.Eof()) {
        const std::string name = TABELAS.FieldByName("RDB$GENERATOR_NAME").AsString();
        openWith(DESTINOTABELA, kGeneratorProbeHead + literalName(name) + kGeneratorProbeTail);
        if (DESTINOTABELA.Eof()) {
            host.appendProcessLog(kGeneratorCreated + name);
            CAMPOS2.SQL().Clear();
            CAMPOS2.SQL().SetText(kCreateGenerator +
                                  generatorNameInStatement(name, host.IBDatabase2().SQLDialect()) + " ");
            if (host.criarauto())
                CAMPOS2.ExecSQL();
        }
        TABELAS.Next();
    }
    host.showMessage(kProcessConcluded);
}

} // namespace vistrel::sync
