#include "extract/extracttext.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace vistrel::extract {

namespace {

// Event phrases by trigger type code 0 to 6.
constexpr std::array<const char*, 7> TriggerTypes = {
    "", "BEFORE INSERT", "AFTER INSERT", "BEFORE UPDATE", "AFTER UPDATE", "BEFORE DELETE", "AFTER DELETE",
};

// Parts of the phrase of a trigger that fires on several events.
constexpr const char* kBefore = "BEFORE";
constexpr const char* kAfter = "AFTER";
constexpr std::array<const char*, 4> kEventNames = {"", "INSERT", "UPDATE", "DELETE"};
constexpr const char* kEventSeparator = " OR ";

// The kind of a trigger sits in bits 13 and 14 of its type code: 0 for a table trigger, 8192 for a
// database trigger (8192 + event), 16384 for a DDL trigger (16384 + phase bit 0 + one bit per
// statement kind).
constexpr int64_t kTriggerKindMask = 0x6000;
constexpr int64_t kDatabaseTrigger = 0x2000;
constexpr int64_t kDdlTrigger = 0x4000;
constexpr std::array<const char*, 5> kDatabaseEvents = {
    "ON CONNECT", "ON DISCONNECT", "ON TRANSACTION START", "ON TRANSACTION COMMIT", "ON TRANSACTION ROLLBACK",
};
// Statement kinds of a DDL trigger by bit number (bits 13 to 15 carry the kind and are skipped).
constexpr std::array<const char*, 48> kDdlEvents = {
    nullptr,
    "CREATE TABLE",
    "ALTER TABLE",
    "DROP TABLE",
    "CREATE PROCEDURE",
    "ALTER PROCEDURE",
    "DROP PROCEDURE",
    "CREATE FUNCTION",
    "ALTER FUNCTION",
    "DROP FUNCTION",
    "CREATE TRIGGER",
    "ALTER TRIGGER",
    "DROP TRIGGER",
    nullptr,
    nullptr,
    nullptr,
    "CREATE EXCEPTION",
    "ALTER EXCEPTION",
    "DROP EXCEPTION",
    "CREATE VIEW",
    "ALTER VIEW",
    "DROP VIEW",
    "CREATE DOMAIN",
    "ALTER DOMAIN",
    "DROP DOMAIN",
    "CREATE ROLE",
    "ALTER ROLE",
    "DROP ROLE",
    "CREATE INDEX",
    "ALTER INDEX",
    "DROP INDEX",
    "CREATE SEQUENCE",
    "ALTER SEQUENCE",
    "DROP SEQUENCE",
    "CREATE USER",
    "ALTER USER",
    "DROP USER",
    "CREATE COLLATION",
    "DROP COLLATION",
    "ALTER CHARACTER SET",
    "CREATE PACKAGE",
    "ALTER PACKAGE",
    "DROP PACKAGE",
    "CREATE PACKAGE BODY",
    "DROP PACKAGE BODY",
    "CREATE MAPPING",
    "ALTER MAPPING",
    "DROP MAPPING",
};
// Every statement bit set: what the server stores for ANY DDL STATEMENT (phase bit aside).
constexpr int64_t kAnyDdlStatement = INT64_MAX & ~kDatabaseTrigger & ~int64_t{1};
constexpr const char* kAnyDdl = "ANY DDL STATEMENT";

std::optional<std::string> databaseEventPhrase(int64_t triggerType) {
    const int64_t event = triggerType - kDatabaseTrigger;
    if (event < 0 || event >= static_cast<int64_t>(kDatabaseEvents.size())) {
        return std::nullopt;
    }
    return std::string(kDatabaseEvents[static_cast<size_t>(event)]);
}

std::optional<std::string> ddlEventPhrase(int64_t triggerType) {
    std::string phrase = (triggerType & 1) != 0 ? kAfter : kBefore;
    const int64_t events = triggerType & ~int64_t{1};
    if (events == kAnyDdlStatement) {
        return phrase + " " + kAnyDdl;
    }
    const auto bits = static_cast<uint64_t>(events & ~kDdlTrigger);
    if (bits == 0 || (bits >> kDdlEvents.size()) != 0) {
        return std::nullopt;
    }
    bool first = true;
    for (size_t bit = 1; bit < kDdlEvents.size(); ++bit) {
        if (((bits >> bit) & 1u) == 0) {
            continue;
        }
        if (kDdlEvents[bit] == nullptr) {
            return std::nullopt;
        }
        phrase += first ? " " : kEventSeparator;
        phrase += kDdlEvents[bit];
        first = false;
    }
    return phrase;
}

const std::string& textArg(const std::vector<FormatArg>& args, size_t index) {
    if (index >= args.size() || !std::holds_alternative<std::string>(args[index])) {
        throw std::invalid_argument("formatText: no text argument for a string placeholder");
    }
    return std::get<std::string>(args[index]);
}

long long integerArg(const std::vector<FormatArg>& args, size_t index) {
    if (index >= args.size() || !std::holds_alternative<long long>(args[index])) {
        throw std::invalid_argument("formatText: no integer argument for a number placeholder");
    }
    return std::get<long long>(args[index]);
}

// Length of the UTF-8 sequence starting at text[i] and its code point, or 0 when the bytes there
// are not a well-formed sequence.
size_t decodeUtf8(const std::string& text, size_t i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    size_t len = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

bool isValidUtf8(const std::string& text) {
    char32_t cp = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t len = decodeUtf8(text, i, cp);
        if (len == 0) {
            return false;
        }
        i += len;
    }
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char32_t upperCodePoint(char32_t cp) {
    if (cp >= U'a' && cp <= U'z') {
        return cp - 0x20;
    }
    if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) {
        return cp - 0x20;
    }
    switch (cp) {
    case 0xFF:
        return 0x178; // y diaeresis
    case 0x153:
        return 0x152; // oe ligature
    case 0x161:
        return 0x160; // s caron
    case 0x17E:
        return 0x17D; // z caron
    default:
        return cp;
    }
}

unsigned char upperWindows1252(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
        return static_cast<unsigned char>(c - 0x20);
    }
    switch (c) {
    case 0xFF:
        return 0x9F;
    case 0x9A:
        return 0x8A;
    case 0x9C:
        return 0x8C;
    case 0x9E:
        return 0x8E;
    default:
        return c;
    }
}

} // namespace

std::string formatText(const std::string& pattern, const std::vector<FormatArg>& args) {
    std::string out;
    out.reserve(pattern.size() + 32);
    size_t next = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out += pattern[i];
            continue;
        }
        if (++i >= pattern.size()) {
            throw std::invalid_argument("formatText: pattern ends after %");
        }
        if (pattern[i] == '%') {
            out += '%';
            continue;
        }
        size_t index = next;
        if (pattern[i] >= '0' && pattern[i] <= '9') {
            index = 0;
            while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9') {
                index = index * 10 + static_cast<size_t>(pattern[i] - '0');
                if (index > args.size()) {
                    throw std::invalid_argument("formatText: argument index out of range");
                }
                ++i;
            }
            if (i >= pattern.size() || pattern[i] != ':') {
                throw std::invalid_argument("formatText: ':' expected after an argument index");
            }
            if (++i >= pattern.size()) {
                throw std::invalid_argument("formatText: pattern ends in a placeholder");
            }
        }
        switch (pattern[i]) {
        case 's':
        case 'S':
            out += textArg(args, index);
            break;
        case 'd':
            out += std::to_string(integerArg(args, index));
            break;
        default:
            throw std::invalid_argument("formatText: unknown placeholder");
        }
        next = index + 1;
    }
    return out;
}

std::string upperIdentifier(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    if (isValidUtf8(value)) {
        char32_t cp = 0;
        for (size_t i = 0; i < value.size();) {
            const size_t len = decodeUtf8(value, i, cp);
            appendUtf8(out, upperCodePoint(cp));
            i += len;
        }
    } else {
        for (const char c : value) {
            out += static_cast<char>(upperWindows1252(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

std::string quoteIdentifier(int dialect, const std::string& value) {
    if (dialect == 1) {
        return upperIdentifier(data::trim(value));
    }
    std::string out;
    out.reserve(value.size() + 2);
    out += '"';
    for (const char c : value) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
    return out;
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
    return isOrdinaryName(name) ? name : quoteIdentifier(3, name);
}

std::string sqlIdentifier(int dialect, const std::string& name) {
    if (dialect != 1)
        return sqlIdentifier(name);
    if (!isOrdinaryName(name))
        throw EDialectName(name);
    return name;
}

std::string quoteString(const std::string& value) {
    std::string out;
    out.reserve(value.size() + 2);
    out += '\'';
    for (const char c : value) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    out += '\'';
    return out;
}

void appendResplit(data::TStringList& list, const std::string& text) {
    list.SetText(list.Text() + text);
}

std::optional<std::string> triggerEventPhrase(int64_t triggerType) {
    if (triggerType >= 0 && triggerType < static_cast<int64_t>(TriggerTypes.size())) {
        return std::string(TriggerTypes[static_cast<size_t>(triggerType)]);
    }
    // For a trigger on several row events the server stores a code whose successor carries bit 0
    // set for AFTER, then one two-bit slot per event (1 INSERT, 2 UPDATE, 3 DELETE), first event
    // lowest. So 17 is BEFORE INSERT OR UPDATE, 25 BEFORE INSERT OR DELETE, 113 BEFORE INSERT OR
    // UPDATE OR DELETE. Database and DDL triggers carry their kind in bits 13 and 14.
    if (triggerType >= 0 && (triggerType & kTriggerKindMask) == kDatabaseTrigger) {
        return databaseEventPhrase(triggerType);
    }
    if (triggerType >= 0 && (triggerType & kTriggerKindMask) == kDdlTrigger) {
        return ddlEventPhrase(triggerType);
    }
    if (triggerType < 0 || triggerType + 1 >= 128) {
        return std::nullopt;
    }
    const auto code = static_cast<unsigned>(triggerType + 1);
    std::string phrase = (code & 1u) != 0 ? kAfter : kBefore;
    bool seen[4] = {false, false, false, false};
    bool ended = false;
    int events = 0;
    for (unsigned shift = 1; shift <= 5; shift += 2) {
        const unsigned event = (code >> shift) & 3u;
        if (event == 0) {
            ended = true;
            continue;
        }
        if (ended || seen[event]) {
            return std::nullopt; // a gap between events, or one event twice
        }
        seen[event] = true;
        phrase += events == 0 ? " " : kEventSeparator;
        phrase += kEventNames[event];
        ++events;
    }
    if (events == 0) {
        return std::nullopt;
    }
    return phrase;
}

} // namespace vistrel::extract
