#pragma once
// Pure text helpers of the metadata extractor: formatting of the fixed statement patterns,
// identifier quoting, the re-splitting of scratch lists and the trigger event phrases. None of
// them touches a database, so they can be exercised on arbitrary input.
#include "data/strings.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace vistrel::extract {

// Errors of the extractor itself (as opposed to the data layer's errors, which propagate
// unchanged): a failed table lookup, an object kind or option that is not built.
class EExtractError : public std::runtime_error {
public:
    explicit EExtractError(const std::string& message) : std::runtime_error(message) {}
};

// The reason given for an object whose statement needs a name that a dialect-1 database cannot
// hold: that dialect has no quoted names and reads every name upper-cased.
inline constexpr char kDialectOneNameRefused[] = "Nome que o dialeto 1 não aceita: ";

// A name that the dialect of the database a statement is written for cannot hold. what() is
// kDialectOneNameRefused followed by the name.
class EDialectName : public EExtractError {
public:
    explicit EDialectName(const std::string& name)
        : EExtractError(kDialectOneNameRefused + name), m_name(name) {}
    const std::string& name() const noexcept { return m_name; }

private:
    std::string m_name;
};

// Fixed comment and closing texts that the listings write around an object's DDL; the processes
// remove them again by these same texts.
inline constexpr char kDomainHeaderText[] = "/* Domain definitions */";
inline constexpr char kExceptionHeaderText[] = "/*  Exceptions */";
inline constexpr char kTriggerHeaderText[] = "/* Triggers only will work for SQL triggers */";
inline constexpr char kCommitWorkText[] = "COMMIT WORK ;";
inline constexpr char kIndexHeaderHeadText[] = "/*  Index definitions for ";
inline constexpr char kIndexHeaderTailText[] = " */";

// One argument of formatText: a string (for %s and %S) or an integer (for %d).
using FormatArg = std::variant<std::string, long long>;

// Fills a pattern: "%s" and "%S" take the next argument as text, "%d" the next as a decimal
// integer, "%N:s" / "%N:d" take argument N (and continue counting from N + 1), "%%" is a
// percent sign. A placeholder without a matching argument, or of an unknown kind, throws
// std::invalid_argument: the patterns are the program's own, so that is a programming error.
std::string formatText(const std::string& pattern, const std::vector<FormatArg>& args);

// Upper-cases an identifier the way the workstation's Latin locale does: ASCII letters and the
// Latin-1 letters (and Windows-1252's S/Z caron, OE ligature and Y diaeresis). Text that is valid
// UTF-8 is treated as UTF-8, any other text as Windows-1252, so that a name is never mangled into
// an invalid byte sequence.
std::string upperIdentifier(const std::string& value);

// The identifier as written into a statement. Dialect 1: trimmed at both ends (characters at or
// below U+0020) and upper-cased, without quotes. Any other dialect: enclosed in double quotes
// with every inner double quote doubled, otherwise unchanged.
std::string quoteIdentifier(int dialect, const std::string& value);

// Whether the server reads the name unquoted as the very same name: an upper-case letter, then
// upper-case letters, digits, "_" and "$", and not a reserved word.
bool isOrdinaryName(const std::string& name);
// The name as a dialect-3 statement carries it: as it is when ordinary, otherwise in double
// quotes with inner double quotes doubled, so that the object keeps its exact name. Every name
// read from a database and written into a statement goes through this rule.
std::string sqlIdentifier(const std::string& name);
// The name as a statement for a database of the given SQL dialect carries it. Dialect 1 has no
// quoted names: an ordinary name goes as it is, any other raises EDialectName (upper-casing it
// would name another object). Dialect 3: sqlIdentifier(name).
std::string sqlIdentifier(int dialect, const std::string& name);

// The value in single quotes with every inner single quote doubled (a string literal).
std::string quoteString(const std::string& value);

// Sets list from its own text followed by text: every item followed by CR LF, then text, split
// again into items at every CR LF, lone CR and lone LF.
void appendResplit(data::TStringList& list, const std::string& text);

// The event phrase of a trigger type code: the fixed phrases for the codes 0 to 6 (0 has an empty
// phrase), and for a trigger that fires on several events the phrase built from its events,
// for example "BEFORE INSERT OR UPDATE". Codes that encode no row event give no phrase.
std::optional<std::string> triggerEventPhrase(int64_t triggerType);

} // namespace vistrel::extract
