#pragma once
// Field type rendering: the one place where the catalogue values of a field (RDB$FIELDS, and the
// RDB$TYPES name of its type code) become the type text of a DDL statement. The domain listing,
// the column mapping of the table process and the parameter list of the procedure process all
// render through it; where their outputs differ, the difference is an option.
#include "extract/extracttext.h"

#include <optional>
#include <string>
#include <string_view>

namespace vistrel::extract {

// The type codes of RDB$FIELDS.RDB$FIELD_TYPE (Firebird 3) that the table of type names holds.
namespace fieldtype {
inline constexpr int kSmallint = 7;
inline constexpr int kInteger = 8;
inline constexpr int kQuad = 9;
inline constexpr int kFloat = 10;
inline constexpr int kDFloat = 11;
inline constexpr int kDate = 12;
inline constexpr int kTime = 13;
inline constexpr int kChar = 14;
inline constexpr int kBigint = 16; // INT64
inline constexpr int kInterbaseBoolean = 17;
inline constexpr int kBoolean = 23;
inline constexpr int kDouble = 27;
inline constexpr int kTimestamp = 35;
inline constexpr int kVarchar = 37;
inline constexpr int kCString = 40;
inline constexpr int kBlobId = 45;
inline constexpr int kBlob = 261;
} // namespace fieldtype

// A type code that the chosen table of names lacks, such as the Firebird 4 types (DECFLOAT 24 and
// 25, INT128 26, TIME and TIMESTAMP WITH TIME ZONE 28 and 29): it is reported, never written as a
// type text the server would read differently. The message names the code.
class EUnsupportedFieldType : public EExtractError {
public:
    explicit EUnsupportedFieldType(int typeCode);
    int typeCode() const noexcept { return m_typeCode; }

private:
    int m_typeCode;
};

// The catalogue values of one field, as RDB$FIELDS holds them. Each caller reads them its own way
// (what counts as "no precision", for instance); the rendering takes them as they come.
struct FieldTypeValues {
    int typeCode = 0;                            // RDB$FIELD_TYPE
    int subType = 0;                             // RDB$FIELD_SUB_TYPE: 1 NUMERIC, 2 DECIMAL; blob sub-type
    int scale = 0;                               // RDB$FIELD_SCALE, stored negative (-2: two decimals)
    std::optional<int> precision = std::nullopt; // RDB$FIELD_PRECISION, when there is a declared one
    int length = 0;                              // RDB$FIELD_LENGTH, in bytes
    std::optional<int> characterLength = std::nullopt; // RDB$CHARACTER_LENGTH, when recorded
    int segmentLength = 0;                             // RDB$SEGMENT_LENGTH of a blob
};

// Which names the type codes get (one column of the table of type names).
enum class TypeNames {
    // The server's DDL names of the Firebird 3 types.
    Ddl,
    // As the procedure process's parameter query names them: INTEGER in lower case, no BLOB_ID.
    ParameterQuery,
    // The extractor's own table: code 17 is BOOLEAN (as InterBase numbered it), as is the Firebird
    // BOOLEAN (23); D_FLOAT (11) is missing.
    Extractor,
};

// When SMALLINT, INTEGER and BIGINT fields are written NUMERIC(p, s) or DECIMAL(p, s).
enum class ExactNumerics {
    // With a scale: DECIMAL when the sub-type is 2, else NUMERIC; p is the declared precision, or
    // the storage's largest (4, 9, 18) when there is none.
    Scaled,
    // As Scaled, and also a field declared NUMERIC or DECIMAL (sub-type 1 or 2) without a scale.
    ScaledOrDeclared,
    // A field declared NUMERIC or DECIMAL with a precision is written so; any other field of those
    // types, and a DOUBLE PRECISION, with a negative scale is NUMERIC of its storage's largest
    // precision (4, 9, 18; 15 for DOUBLE PRECISION).
    DeclaredElseStorage,
};

// How a blob's sub-type follows "BLOB".
enum class BlobSubTypes {
    // " SUB_TYPE TEXT" for 1, " SUB_TYPE n" for any other n but 0, nothing for 0.
    TextOrNumberExceptZero,
    // " SUB_TYPE TEXT" for 1, " SUB_TYPE n" for any other n.
    TextOrNumber,
    // " SUB_TYPE " and the name of 1 to 8 (TEXT, BLR, ACL, RANGES, SUMMARY, FORMAT,
    // TRANSACTION_DESCRIPTION, EXTERNAL_FILE_DESCRIPTION) or the number, then " SEGMENT SIZE n".
    NamesAndSegmentSize,
};

struct FieldTypeOptions {
    TypeNames names = TypeNames::Ddl;
    ExactNumerics exactNumerics = ExactNumerics::Scaled;
    // Written between precision and scale.
    std::string_view precisionScaleSeparator = ", ";
    BlobSubTypes blobSubTypes = BlobSubTypes::TextOrNumberExceptZero;
};

// The three renderings the processes use.
// Column mapping of the table process: NUMERIC(9, 2), BLOB SUB_TYPE TEXT, BLOB.
inline constexpr FieldTypeOptions kColumnTypeOptions{};
// Procedure parameters: NUMERIC(9,2), integer, BLOB SUB_TYPE 0.
inline constexpr FieldTypeOptions kParameterTypeOptions{
    .names = TypeNames::ParameterQuery,
    .exactNumerics = ExactNumerics::ScaledOrDeclared,
    .precisionScaleSeparator = ",",
    .blobSubTypes = BlobSubTypes::TextOrNumber,
};
// Domains in the extractor: NUMERIC(15, 2) for a scaled double, BLOB SUB_TYPE TEXT SEGMENT SIZE 80.
inline constexpr FieldTypeOptions kDomainTypeOptions{
    .names = TypeNames::Extractor,
    .exactNumerics = ExactNumerics::DeclaredElseStorage,
    .precisionScaleSeparator = ", ",
    .blobSubTypes = BlobSubTypes::NamesAndSegmentSize,
};

// The type text of a field: the type with its precision and scale, length (CHAR and VARCHAR, in
// characters when recorded, else in bytes) or blob sub-type. BIGINT is written for a 64-bit
// integer without a scale. Throws EUnsupportedFieldType for a code the chosen names lack.
std::string fieldTypeText(const FieldTypeValues& field, const FieldTypeOptions& options);

// The type code of an RDB$TYPES name of RDB$FIELD_TYPE (SHORT, LONG, INT64, TEXT, VARYING, DOUBLE,
// BLOB, DATE, ...), compared exactly; none for a name the table lacks.
std::optional<int> typeCodeOfCatalogueName(std::string_view name);

// The column mapping's input: the values of the table process's column list as its cursor reads
// them, as text (digits, or empty for null; blanks around a value are disregarded). The type comes
// by its RDB$TYPES name.
struct ColumnTypeSource {
    std::string typeName;        // RDB$TYPES.RDB$TYPE_NAME of RDB$FIELD_TYPE (VARYING, LONG, ...)
    std::string length;          // RDB$FIELD_LENGTH, bytes
    std::string precision;       // RDB$FIELD_PRECISION
    std::string scale;           // RDB$FIELD_SCALE, zero or negative
    std::string subType;         // RDB$FIELD_SUB_TYPE
    std::string characterLength; // RDB$CHARACTER_LENGTH, characters
};

// The column type text for a column added by the table process, so that it gets the source's type:
// fieldTypeText with kColumnTypeOptions, where a precision or character length of 0 counts as
// none. A type name that the table lacks (in other letters, say) is written as it is.
std::string columnTypeText(const ColumnTypeSource& source);

// The character-set rules. " CHARACTER SET " and the set's name, or nothing when the name is empty
// or the set is the one the database takes by default.
std::string characterSetClause(std::string_view characterSet, bool isDefaultSet);
// " COLLATE " and the collation's name, or nothing when the name is empty. The name is written for
// a database of the given SQL dialect (sqlIdentifier).
std::string collateClause(std::string_view collation, int dialect = 3);

// The names that the extractor's collation lookup gives for a character set and a collation in it.
struct CollationNames {
    std::string characterSet;
    std::string collation;
    std::string defaultCollation; // the character set's default collation
};
// The clauses of a field in that set with that collation: for a collation other than the set's
// default, " COLLATE " and its name, preceded by the character set clause unless collateOnly or
// the set is the database's default; for the default collation the character set clause alone
// (even for the database's default set), or nothing when collateOnly.
std::string collationClauses(const CollationNames& names, bool collateOnly, bool isDefaultSet,
                             int dialect = 3);

} // namespace vistrel::extract
