#include "sync/runframe.h"

#include "sync/guard.h"

#include "data/errors.h"
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/strings.h"
#include "extract/extracttext.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <string_view>

namespace vistrel::sync {

const char* const kClosingBanner = "-------------------------Fim-----------------------------------------";
const char* const kProcessConcluded = "Processo concluido!";
const char* const kProcessFinished = "Processo finalizado!";

void sameNameGuard(ProcessView& view) {
    if (!sameDatabaseFileName(view.xbanco(), view.xbanco2())) {
        view.showMessage(kSameNameGuardMessage);
        throw data::EAbort();
    }
}

void openWith(data::TIBDataSet& cursor, const std::string& line) {
    cursor.SelectSQL().Clear();
    cursor.SelectSQL().Add(line);
    cursor.Open();
}

namespace {
// Words the server does not take as an unquoted identifier. A name in this list is quoted; quoting
// an upper-case word the server would also have taken unquoted names the same object, so the
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
} // namespace

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

std::string sqlIdentifier(const std::string& name) {
    return isOrdinaryName(name) ? name : extract::quoteIdentifier(3, name);
}

std::string literalName(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

std::string removeText(const std::string& text, const std::string& what) {
    return data::replaceAllIgnoreCase(text, what, "");
}

std::string createOrAlter(const std::string& text) {
    static const std::string kCreate = "CREATE";
    size_t pos = 0;
    while (pos < text.size()) {
        if (text.compare(pos, kCreate.size(), kCreate) == 0) {
            const size_t after = pos + kCreate.size();
            const bool wordEnds = after >= text.size() || text[after] == ' ' || text[after] == '\r' ||
                                  text[after] == '\n' || text[after] == '\t';
            if (wordEnds)
                return text.substr(0, pos) + "CREATE OR ALTER" + text.substr(after);
        }
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos)
            break;
        pos = nl + 1;
    }
    return text;
}

data::TIBDataSet& newStatementCursor(SyncComponents& components, const std::string& text) {
    data::TIBDataSet& cursor = components.newTargetCursor();
    cursor.ParamCheck = false;
    cursor.SelectSQL().Clear();
    cursor.SelectSQL().Add(text);
    return cursor;
}

std::vector<std::string> indexStatements(const std::string& text) {
    // The line the extractor adds after the CREATE INDEX statement of an inactive index.
    static const std::string kAlterIndexLine = "\nALTER INDEX ";
    const size_t cut = text.find(kAlterIndexLine);
    if (cut == std::string::npos)
        return {text};
    return {text.substr(0, cut + 1), text.substr(cut + 1)};
}

} // namespace vistrel::sync
