// Field type rendering: one table of cases for the three renderings (column mapping, procedure
// parameters, domains), with the exact type texts they write.
#include "extract/fieldtype.h"
#include "tests/support/systemnames.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <variant>

namespace vistrel::extract {
namespace {

using namespace fieldtype;
// The type name padded to 93 characters, as the column list's stored field reads it.
using test::padded;

// A rendering of catalogue values with one of the option sets the processes use.
struct Rendered {
    const FieldTypeOptions* options;
    FieldTypeValues field;
};

struct TypeCase {
    const char* label;
    // The column mapping reads its values as text; the others take the values themselves.
    std::variant<ColumnTypeSource, Rendered> input;
    // The type text, or, for a code the rendering does not know, the error's message.
    std::string expected;
    std::optional<int> unsupportedCode = std::nullopt;
};

void PrintTo(const TypeCase& c, std::ostream* os) {
    *os << c.label;
}

std::string render(const TypeCase& c) {
    if (const auto* column = std::get_if<ColumnTypeSource>(&c.input))
        return columnTypeText(*column);
    const auto& rendered = std::get<Rendered>(c.input);
    return fieldTypeText(rendered.field, *rendered.options);
}

class FieldTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(FieldTypeTest, WritesTheTypeText) {
    const TypeCase& c = GetParam();
    if (!c.unsupportedCode) {
        EXPECT_EQ(render(c), c.expected);
        return;
    }
    try {
        const std::string text = render(c);
        ADD_FAILURE() << "rendered as " << text;
    } catch (const EUnsupportedFieldType& e) {
        EXPECT_EQ(e.typeCode(), *c.unsupportedCode);
        EXPECT_EQ(std::string(e.what()), c.expected);
    }
}

Rendered parameter(FieldTypeValues field) {
    return {&kParameterTypeOptions, field};
}

Rendered domain(FieldTypeValues field) {
    return {&kDomainTypeOptions, field};
}

// Column values: type name, length, precision, scale, sub-type, character length (digits, nulls
// as empty text).
INSTANTIATE_TEST_SUITE_P(
    Column, FieldTypeTest,
    ::testing::Values(
        TypeCase{"Varchar", ColumnTypeSource{padded("VARYING"), "60", "", "0", "0", "60"}, "VARCHAR(60)"},
        TypeCase{"VarcharMultiByte", ColumnTypeSource{padded("VARYING"), "240", "", "0", "0", "60"},
                 "VARCHAR(60)"},
        TypeCase{"VarcharWithoutCharacterLength", ColumnTypeSource{padded("VARYING"), "60", "", "0", "0", ""},
                 "VARCHAR(60)"},
        TypeCase{"VarcharCharacterLengthZero", ColumnTypeSource{padded("VARYING"), "12", "", "0", "0", "0"},
                 "VARCHAR(12)"},
        TypeCase{"Char", ColumnTypeSource{padded("TEXT"), "1", "", "0", "0", "1"}, "CHAR(1)"},
        TypeCase{"CharMultiByte", ColumnTypeSource{padded("TEXT"), "40", "", "0", "0", "10"}, "CHAR(10)"},
        TypeCase{"Smallint", ColumnTypeSource{padded("SHORT"), "2", "0", "0", "0", ""}, "SMALLINT"},
        TypeCase{"Integer", ColumnTypeSource{padded("LONG"), "4", "0", "0", "0", ""}, "INTEGER"},
        TypeCase{"IntegerNullPrecision", ColumnTypeSource{padded("LONG"), "4", "", "0", "", ""}, "INTEGER"},
        TypeCase{"Bigint", ColumnTypeSource{padded("INT64"), "8", "0", "0", "0", ""}, "BIGINT"},
        TypeCase{"BigintNullPrecision", ColumnTypeSource{padded("INT64"), "8", "", "0", "", ""}, "BIGINT"},
        TypeCase{"Numeric18Scale0IsBigint", ColumnTypeSource{padded("INT64"), "8", "18", "0", "1", ""},
                 "BIGINT"},
        TypeCase{"NumericOnShort", ColumnTypeSource{padded("SHORT"), "2", "4", "-1", "1", ""},
                 "NUMERIC(4, 1)"},
        TypeCase{"NumericOnLong", ColumnTypeSource{padded("LONG"), "4", "9", "-2", "1", ""}, "NUMERIC(9, 2)"},
        TypeCase{"NumericOnInt64", ColumnTypeSource{padded("INT64"), "8", "18", "-4", "1", ""},
                 "NUMERIC(18, 4)"},
        TypeCase{"NumericInt64Scale2", ColumnTypeSource{padded("INT64"), "8", "18", "-2", "1", ""},
                 "NUMERIC(18, 2)"},
        TypeCase{"DecimalOnInt64", ColumnTypeSource{padded("INT64"), "8", "10", "-3", "2", ""},
                 "DECIMAL(10, 3)"},
        TypeCase{"DecimalOnLong", ColumnTypeSource{padded("LONG"), "4", "5", "-2", "2", ""}, "DECIMAL(5, 2)"},
        TypeCase{"ScaledWithoutPrecisionShort", ColumnTypeSource{padded("SHORT"), "2", "", "-1", "", ""},
                 "NUMERIC(4, 1)"},
        TypeCase{"ScaledWithoutPrecisionLong", ColumnTypeSource{padded("LONG"), "4", "0", "-2", "0", ""},
                 "NUMERIC(9, 2)"},
        TypeCase{"ScaledWithoutPrecisionInt64", ColumnTypeSource{padded("INT64"), "8", "", "-3", "", ""},
                 "NUMERIC(18, 3)"},
        TypeCase{"Double", ColumnTypeSource{padded("DOUBLE"), "8", "", "0", "0", ""}, "DOUBLE PRECISION"},
        TypeCase{"DoubleScaled", ColumnTypeSource{padded("DOUBLE"), "8", "", "-2", "0", ""},
                 "DOUBLE PRECISION"},
        TypeCase{"Float", ColumnTypeSource{padded("FLOAT"), "4", "", "0", "0", ""}, "FLOAT"},
        TypeCase{"Date", ColumnTypeSource{padded("DATE"), "4", "", "0", "0", ""}, "DATE"},
        TypeCase{"Time", ColumnTypeSource{padded("TIME"), "4", "", "0", "0", ""}, "TIME"},
        TypeCase{"Timestamp", ColumnTypeSource{padded("TIMESTAMP"), "8", "", "0", "0", ""}, "TIMESTAMP"},
        TypeCase{"Boolean", ColumnTypeSource{padded("BOOLEAN"), "1", "", "0", "0", ""}, "BOOLEAN"},
        TypeCase{"BlobText", ColumnTypeSource{padded("BLOB"), "8", "", "0", "1", ""}, "BLOB SUB_TYPE TEXT"},
        TypeCase{"BlobBinary", ColumnTypeSource{padded("BLOB"), "8", "", "0", "0", ""}, "BLOB"},
        TypeCase{"BlobNullSubType", ColumnTypeSource{padded("BLOB"), "8", "", "0", "", ""}, "BLOB"},
        TypeCase{"BlobOtherSubType", ColumnTypeSource{padded("BLOB"), "8", "", "0", "-5", ""},
                 "BLOB SUB_TYPE -5"},
        TypeCase{"Cstring", ColumnTypeSource{padded("CSTRING"), "10", "", "0", "0", ""}, "CSTRING"},
        // Type names compare exactly: a name in other letters, or one the table lacks, is written
        // as it is.
        TypeCase{"LowerCaseName", ColumnTypeSource{padded("varying"), "60", "", "0", "0", "60"}, "varying"},
        TypeCase{"NameNotInTable", ColumnTypeSource{padded("INT128"), "16", "", "0", "0", ""}, "INT128"}),
    [](const ::testing::TestParamInfo<TypeCase>& param) { return std::string(param.param.label); });

// Parameter values: type code, sub-type, scale, precision (none for 0 or null), length, character
// length (none for null).
INSTANTIATE_TEST_SUITE_P(
    Parameter, FieldTypeTest,
    ::testing::Values(
        TypeCase{"Smallint", parameter({.typeCode = kSmallint}), "SMALLINT"},
        TypeCase{"IntegerInLowerCase", parameter({.typeCode = kInteger}), "integer"},
        TypeCase{"Bigint", parameter({.typeCode = kBigint}), "BIGINT"},
        TypeCase{"Numeric", parameter({.typeCode = kBigint, .subType = 1, .scale = -2, .precision = 15}),
                 "NUMERIC(15,2)"},
        TypeCase{"Decimal", parameter({.typeCode = kInteger, .subType = 2, .scale = -3, .precision = 9}),
                 "DECIMAL(9,3)"},
        TypeCase{"DeclaredWithoutScale", parameter({.typeCode = kInteger, .subType = 1, .precision = 5}),
                 "NUMERIC(5,0)"},
        TypeCase{"ScaledWithoutPrecision", parameter({.typeCode = kSmallint, .scale = -1}), "NUMERIC(4,1)"},
        TypeCase{"DecimalWithoutPrecision", parameter({.typeCode = kBigint, .subType = 2, .scale = -4}),
                 "DECIMAL(18,4)"},
        TypeCase{"DoubleScaled", parameter({.typeCode = kDouble, .scale = -2}), "DOUBLE PRECISION"},
        TypeCase{"VarcharInCharacters",
                 parameter({.typeCode = kVarchar, .length = 40, .characterLength = 10}), "VARCHAR(10)"},
        TypeCase{"CharWithoutCharacterLength", parameter({.typeCode = kChar, .length = 7}), "CHAR(7)"},
        TypeCase{"BlobText", parameter({.typeCode = kBlob, .subType = 1}), "BLOB SUB_TYPE TEXT"},
        TypeCase{"BlobBinary", parameter({.typeCode = kBlob}), "BLOB SUB_TYPE 0"},
        TypeCase{"BlobOtherSubType", parameter({.typeCode = kBlob, .subType = -3}), "BLOB SUB_TYPE -3"},
        TypeCase{"Boolean", parameter({.typeCode = kBoolean}), "BOOLEAN"},
        TypeCase{"DFloat", parameter({.typeCode = kDFloat}), "D_FLOAT"},
        TypeCase{"Timestamp", parameter({.typeCode = kTimestamp}), "TIMESTAMP"},
        TypeCase{"BlobIdUnknown", parameter({.typeCode = kBlobId}), "Tipo de campo não suportado: código 45",
                 kBlobId},
        TypeCase{"Int128Unknown", parameter({.typeCode = 26}),
                 "Tipo de campo não suportado: código 26 (INT128)", 26},
        TypeCase{"TimeWithTimeZoneUnknown", parameter({.typeCode = 28}),
                 "Tipo de campo não suportado: código 28 (TIME WITH TIME ZONE)", 28}),
    [](const ::testing::TestParamInfo<TypeCase>& param) { return std::string(param.param.label); });

// Domain values: a precision only where the database records declared precisions.
INSTANTIATE_TEST_SUITE_P(
    Domain, FieldTypeTest,
    ::testing::Values(
        TypeCase{"Integer", domain({.typeCode = kInteger}), "INTEGER"},
        TypeCase{"BigintNotInt64", domain({.typeCode = kBigint}), "BIGINT"},
        TypeCase{"DeclaredNumeric", domain({.typeCode = kBigint, .subType = 1, .scale = -2, .precision = 15}),
                 "NUMERIC(15, 2)"},
        TypeCase{"DeclaredDecimal",
                 domain({.typeCode = kSmallint, .subType = 2, .scale = -1, .precision = 3}), "DECIMAL(3, 1)"},
        TypeCase{"DeclaredWithoutScale", domain({.typeCode = kInteger, .subType = 1, .precision = 9}),
                 "NUMERIC(9, 0)"},
        TypeCase{"ScaledSmallintTakesStorage", domain({.typeCode = kSmallint, .scale = -1}), "NUMERIC(4, 1)"},
        TypeCase{"DecimalWithoutPrecisionIsNumeric",
                 domain({.typeCode = kInteger, .subType = 2, .scale = -2}), "NUMERIC(9, 2)"},
        TypeCase{"UndeclaredInt64IgnoresPrecision",
                 domain({.typeCode = kBigint, .scale = -2, .precision = 10}), "NUMERIC(18, 2)"},
        TypeCase{"ScaledDouble", domain({.typeCode = kDouble, .scale = -3}), "NUMERIC(15, 3)"},
        TypeCase{"Double", domain({.typeCode = kDouble}), "DOUBLE PRECISION"},
        TypeCase{"Varchar", domain({.typeCode = kVarchar, .length = 2}), "VARCHAR(2)"},
        TypeCase{"BlobText", domain({.typeCode = kBlob, .subType = 1, .segmentLength = 80}),
                 "BLOB SUB_TYPE TEXT SEGMENT SIZE 80"},
        TypeCase{"BlobBinary", domain({.typeCode = kBlob, .segmentLength = 80}),
                 "BLOB SUB_TYPE 0 SEGMENT SIZE 80"},
        TypeCase{"BlobLastNamedSubType", domain({.typeCode = kBlob, .subType = 8, .segmentLength = 80}),
                 "BLOB SUB_TYPE EXTERNAL_FILE_DESCRIPTION SEGMENT SIZE 80"},
        TypeCase{"BlobSubTypePastNames", domain({.typeCode = kBlob, .subType = 9, .segmentLength = 80}),
                 "BLOB SUB_TYPE 9 SEGMENT SIZE 80"},
        TypeCase{"Quad", domain({.typeCode = kQuad}), "QUAD"},
        TypeCase{"Cstring", domain({.typeCode = kCString}), "CSTRING"},
        TypeCase{"BlobId", domain({.typeCode = kBlobId}), "BLOB_ID"},
        TypeCase{"InterbaseBoolean", domain({.typeCode = kInterbaseBoolean}), "BOOLEAN"},
        TypeCase{"FirebirdBoolean", domain({.typeCode = kBoolean}), "BOOLEAN"},
        TypeCase{"DFloatUnknown", domain({.typeCode = kDFloat}), "Tipo de campo não suportado: código 11",
                 kDFloat},
        TypeCase{"DecfloatUnknown", domain({.typeCode = 24}),
                 "Tipo de campo não suportado: código 24 (DECFLOAT(16))", 24}),
    [](const ::testing::TestParamInfo<TypeCase>& param) { return std::string(param.param.label); });

TEST(CatalogueTypeNames, NameTheirCodes) {
    EXPECT_EQ(typeCodeOfCatalogueName("SHORT"), kSmallint);
    EXPECT_EQ(typeCodeOfCatalogueName("VARYING"), kVarchar);
    EXPECT_EQ(typeCodeOfCatalogueName("TEXT"), kChar);
    EXPECT_EQ(typeCodeOfCatalogueName("BOOLEAN"), kBoolean);
    EXPECT_EQ(typeCodeOfCatalogueName("VARYING "), std::nullopt);
    EXPECT_EQ(typeCodeOfCatalogueName("varying"), std::nullopt);
    EXPECT_EQ(typeCodeOfCatalogueName(""), std::nullopt);
}

TEST(CharacterSetRules, WriteOnlyWhatDiffersFromTheDefault) {
    EXPECT_EQ(characterSetClause("WIN1252", false), " CHARACTER SET WIN1252");
    EXPECT_EQ(characterSetClause("WIN1252", true), "");
    EXPECT_EQ(characterSetClause("", false), "");
    EXPECT_EQ(collateClause("PT_BR"), " COLLATE PT_BR");
    EXPECT_EQ(collateClause(""), "");
    // A user collation whose name needs quotes is written quoted, never as statement text.
    EXPECT_EQ(collateClause("Minha \"Ordem\" --"), " COLLATE \"Minha \"\"Ordem\"\" --\"");

    const CollationNames other{"WIN1252", "WIN_PTBR", "WIN1252"};
    EXPECT_EQ(collationClauses(other, false, false), " CHARACTER SET WIN1252 COLLATE WIN_PTBR");
    EXPECT_EQ(collationClauses(other, true, false), " COLLATE WIN_PTBR");
    EXPECT_EQ(collationClauses(other, false, true), " COLLATE WIN_PTBR");
    const CollationNames byDefault{"WIN1252", "WIN1252", "WIN1252"};
    EXPECT_EQ(collationClauses(byDefault, false, false), " CHARACTER SET WIN1252");
    EXPECT_EQ(collationClauses(byDefault, false, true), " CHARACTER SET WIN1252");
    EXPECT_EQ(collationClauses(byDefault, true, false), "");
}

} // namespace
} // namespace vistrel::extract
