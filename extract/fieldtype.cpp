#include "extract/fieldtype.h"

#include "data/strings.h"
#include "extract/extracttext.h"

#include <array>
#include <charconv>

namespace vistrel::extract {

namespace {

using namespace fieldtype;

constexpr char kUnsupportedType[] = "Tipo de campo não suportado: código ";

// Types of later servers that no table here names: the message says which type the code is.
struct LaterType {
    int code;
    const char* name;
};
constexpr std::array<LaterType, 5> kLaterTypes = {{
    {24, "DECFLOAT(16)"},
    {25, "DECFLOAT(34)"},
    {26, "INT128"},
    {28, "TIME WITH TIME ZONE"},
    {29, "TIMESTAMP WITH TIME ZONE"},
}};

std::string unsupportedTypeMessage(int typeCode) {
    std::string message = kUnsupportedType + std::to_string(typeCode);
    for (const LaterType& t : kLaterTypes) {
        if (t.code == typeCode)
            message += std::string(" (") + t.name + ")";
    }
    return message;
}

// The table of type names: one row per type code, one column per TypeNames; nullptr where a
// table lacks the code.
struct TypeCodeRow {
    int code;
    const char* catalogueName; // RDB$TYPES.RDB$TYPE_NAME for RDB$FIELD_TYPE
    const char* ddl;
    const char* parameterQuery;
    const char* extractor;
};
// clang-format off
constexpr std::array<TypeCodeRow, 17> kTypeCodes = {{
    // code             RDB$TYPES    Ddl                 ParameterQuery      Extractor
    {kSmallint,         "SHORT",     "SMALLINT",         "SMALLINT",         "SMALLINT"},
    {kInteger,          "LONG",      "INTEGER",          "integer",          "INTEGER"},
    {kQuad,             "QUAD",      "QUAD",             "QUAD",             "QUAD"},
    {kFloat,            "FLOAT",     "FLOAT",            "FLOAT",            "FLOAT"},
    {kDFloat,           "D_FLOAT",   "D_FLOAT",          "D_FLOAT",          nullptr},
    {kDate,             "DATE",      "DATE",             "DATE",             "DATE"},
    {kTime,             "TIME",      "TIME",             "TIME",             "TIME"},
    {kChar,             "TEXT",      "CHAR",             "CHAR",             "CHAR"},
    // The server knows no type named INT64: a 64-bit integer is declared BIGINT.
    {kBigint,           "INT64",     "BIGINT",           "BIGINT",           "BIGINT"},
    {kInterbaseBoolean, nullptr,     nullptr,            nullptr,            "BOOLEAN"},
    {kBoolean,          "BOOLEAN",   "BOOLEAN",          "BOOLEAN",          "BOOLEAN"},
    {kDouble,           "DOUBLE",    "DOUBLE PRECISION", "DOUBLE PRECISION", "DOUBLE PRECISION"},
    {kTimestamp,        "TIMESTAMP", "TIMESTAMP",        "TIMESTAMP",        "TIMESTAMP"},
    {kVarchar,          "VARYING",   "VARCHAR",          "VARCHAR",          "VARCHAR"},
    {kCString,          "CSTRING",   "CSTRING",          "CSTRING",          "CSTRING"},
    {kBlobId,           "BLOB_ID",   "BLOB_ID",          nullptr,            "BLOB_ID"},
    {kBlob,             "BLOB",      "BLOB",             "BLOB",             "BLOB"},
}};
// clang-format on

constexpr std::array<const char*, 9> kBlobSubTypeNames = {
    "UNKNOWN",
    "TEXT",
    "BLR",
    "ACL",
    "RANGES",
    "SUMMARY",
    "FORMAT",
    "TRANSACTION_DESCRIPTION",
    "EXTERNAL_FILE_DESCRIPTION",
};
constexpr int kTextBlob = 1;
constexpr int kNumericSubType = 1;
constexpr int kDecimalSubType = 2;

const char* typeName(int typeCode, TypeNames names) {
    for (const TypeCodeRow& row : kTypeCodes) {
        if (row.code != typeCode)
            continue;
        const char* name = names == TypeNames::Ddl              ? row.ddl
                           : names == TypeNames::ParameterQuery ? row.parameterQuery
                                                                : row.extractor;
        if (name != nullptr)
            return name;
        break;
    }
    throw EUnsupportedFieldType(typeCode);
}

bool isIntegral(int typeCode) {
    return typeCode == kSmallint || typeCode == kInteger || typeCode == kBigint;
}

// The largest precision a type's storage holds.
int storagePrecision(int typeCode) {
    switch (typeCode) {
    case kSmallint:
        return 4;
    case kInteger:
        return 9;
    case kDouble:
        return 15;
    default:
        return 18;
    }
}

std::string exactNumeric(const char* word, int precision, int scale, const FieldTypeOptions& options) {
    return std::string(word) + "(" + std::to_string(precision) +
           std::string(options.precisionScaleSeparator) + std::to_string(-scale) + ")";
}

// NUMERIC(p, s) or DECIMAL(p, s) when the options make the field one, else nothing.
std::optional<std::string> exactNumericText(const FieldTypeValues& f, const FieldTypeOptions& options) {
    const bool integral = isIntegral(f.typeCode);
    const bool declared = f.subType == kNumericSubType || f.subType == kDecimalSubType;
    const char* word = f.subType == kDecimalSubType ? "DECIMAL" : "NUMERIC";
    switch (options.exactNumerics) {
    case ExactNumerics::Scaled:
        if (integral && f.scale != 0)
            return exactNumeric(word, f.precision.value_or(storagePrecision(f.typeCode)), f.scale, options);
        break;
    case ExactNumerics::ScaledOrDeclared:
        if (integral && (f.scale != 0 || declared))
            return exactNumeric(word, f.precision.value_or(storagePrecision(f.typeCode)), f.scale, options);
        break;
    case ExactNumerics::DeclaredElseStorage:
        if (integral && declared && f.precision)
            return exactNumeric(word, *f.precision, f.scale, options);
        if ((integral || f.typeCode == kDouble) && f.scale < 0)
            return exactNumeric("NUMERIC", storagePrecision(f.typeCode), f.scale, options);
        break;
    }
    return std::nullopt;
}

std::string blobSubTypeText(const FieldTypeValues& f, const FieldTypeOptions& options) {
    switch (options.blobSubTypes) {
    case BlobSubTypes::TextOrNumberExceptZero:
        if (f.subType == 0)
            return {};
        [[fallthrough]];
    case BlobSubTypes::TextOrNumber:
        return " SUB_TYPE " + (f.subType == kTextBlob ? std::string("TEXT") : std::to_string(f.subType));
    case BlobSubTypes::NamesAndSegmentSize: {
        const bool named = f.subType >= 1 && f.subType < static_cast<int>(kBlobSubTypeNames.size());
        return " SUB_TYPE " +
               (named ? std::string(kBlobSubTypeNames[static_cast<size_t>(f.subType)])
                      : std::to_string(f.subType)) +
               " SEGMENT SIZE " + std::to_string(f.segmentLength);
    }
    }
    return {};
}

// A catalogue value read as text: the number, or none for empty (null) or unreadable text.
std::optional<int> number(const std::string& text) {
    const std::string t = data::trim(text);
    int value = 0;
    const auto result = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || result.ec != std::errc() || result.ptr != t.data() + t.size())
        return std::nullopt;
    return value;
}

// The same, where 0 counts as none too.
std::optional<int> nonZeroNumber(const std::string& text) {
    const auto value = number(text);
    return value == 0 ? std::nullopt : value;
}

} // namespace

EUnsupportedFieldType::EUnsupportedFieldType(int typeCode)
    : EExtractError(unsupportedTypeMessage(typeCode)), m_typeCode(typeCode) {}

std::string fieldTypeText(const FieldTypeValues& field, const FieldTypeOptions& options) {
    const std::string name = typeName(field.typeCode, options.names);
    if (auto exact = exactNumericText(field, options))
        return *exact;
    switch (field.typeCode) {
    case kChar:
    case kVarchar:
        return name + "(" + std::to_string(field.characterLength.value_or(field.length)) + ")";
    case kBlob:
        return name + blobSubTypeText(field, options);
    default:
        return name;
    }
}

std::optional<int> typeCodeOfCatalogueName(std::string_view name) {
    for (const TypeCodeRow& row : kTypeCodes) {
        if (row.catalogueName != nullptr && name == row.catalogueName)
            return row.code;
    }
    return std::nullopt;
}

std::string columnTypeText(const ColumnTypeSource& source) {
    const std::string typeName = data::trim(source.typeName);
    const std::optional<int> typeCode = typeCodeOfCatalogueName(typeName);
    if (!typeCode)
        return typeName;
    return fieldTypeText(
        {
            .typeCode = *typeCode,
            .subType = number(source.subType).value_or(0),
            .scale = number(source.scale).value_or(0),
            .precision = nonZeroNumber(source.precision),
            .length = number(source.length).value_or(0),
            .characterLength = nonZeroNumber(source.characterLength),
        },
        kColumnTypeOptions);
}

std::string characterSetClause(std::string_view characterSet, bool isDefaultSet) {
    if (characterSet.empty() || isDefaultSet)
        return {};
    return " CHARACTER SET " + std::string(characterSet);
}

std::string collateClause(std::string_view collation, int dialect) {
    if (collation.empty())
        return {};
    // A user collation may carry any name: written by the shared quoting rule.
    return " COLLATE " + sqlIdentifier(dialect, std::string(collation));
}

std::string collationClauses(const CollationNames& names, bool collateOnly, bool isDefaultSet, int dialect) {
    if (names.collation != names.defaultCollation) {
        if (collateOnly || isDefaultSet)
            return collateClause(names.collation, dialect);
        return characterSetClause(names.characterSet, false) + collateClause(names.collation, dialect);
    }
    return collateOnly ? std::string() : characterSetClause(names.characterSet, false);
}

} // namespace vistrel::extract
