// Column type text for an added column, from the catalogue values of its field.
#include "sync/columntype.h"

#include <gtest/gtest.h>

#include <string>

namespace vistrel::sync {
namespace {

struct TypeCase {
    const char* label;
    ColumnTypeSource source;
    const char* expected;
};

std::string padded(const char* name) {
    std::string s(name);
    s.resize(93, ' ');
    return s;
}

class ColumnTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(ColumnTypeTest, GivesTheSourceType) {
    EXPECT_EQ(columnTypeText(GetParam().source), GetParam().expected);
}

// Values as the column list reads them: type name padded to 93 characters, numbers as digits,
// nulls as empty text.
INSTANTIATE_TEST_SUITE_P(
    Mapping, ColumnTypeTest,
    ::testing::Values(
        TypeCase{"Varchar", {padded("VARYING"), "60", "", "0", "0", "60"}, "VARCHAR(60)"},
        TypeCase{"VarcharMultiByte", {padded("VARYING"), "240", "", "0", "0", "60"}, "VARCHAR(60)"},
        TypeCase{"VarcharWithoutCharacterLength", {padded("VARYING"), "60", "", "0", "0", ""}, "VARCHAR(60)"},
        TypeCase{"Char", {padded("TEXT"), "1", "", "0", "0", "1"}, "CHAR(1)"},
        TypeCase{"CharMultiByte", {padded("TEXT"), "40", "", "0", "0", "10"}, "CHAR(10)"},
        TypeCase{"Smallint", {padded("SHORT"), "2", "0", "0", "0", ""}, "SMALLINT"},
        TypeCase{"Integer", {padded("LONG"), "4", "0", "0", "0", ""}, "INTEGER"},
        TypeCase{"IntegerNullPrecision", {padded("LONG"), "4", "", "0", "", ""}, "INTEGER"},
        TypeCase{"Bigint", {padded("INT64"), "8", "0", "0", "0", ""}, "BIGINT"},
        TypeCase{"BigintNullPrecision", {padded("INT64"), "8", "", "0", "", ""}, "BIGINT"},
        TypeCase{"Numeric18Scale0IsBigint", {padded("INT64"), "8", "18", "0", "1", ""}, "BIGINT"},
        TypeCase{"NumericOnShort", {padded("SHORT"), "2", "4", "-1", "1", ""}, "NUMERIC(4, 1)"},
        TypeCase{"NumericOnLong", {padded("LONG"), "4", "9", "-2", "1", ""}, "NUMERIC(9, 2)"},
        TypeCase{"NumericOnInt64", {padded("INT64"), "8", "18", "-4", "1", ""}, "NUMERIC(18, 4)"},
        TypeCase{"NumericInt64Scale2", {padded("INT64"), "8", "18", "-2", "1", ""}, "NUMERIC(18, 2)"},
        TypeCase{"DecimalOnInt64", {padded("INT64"), "8", "10", "-3", "2", ""}, "DECIMAL(10, 3)"},
        TypeCase{"DecimalOnLong", {padded("LONG"), "4", "5", "-2", "2", ""}, "DECIMAL(5, 2)"},
        TypeCase{"ScaledWithoutPrecisionShort", {padded("SHORT"), "2", "", "-1", "", ""}, "NUMERIC(4, 1)"},
        TypeCase{"ScaledWithoutPrecisionLong", {padded("LONG"), "4", "0", "-2", "0", ""}, "NUMERIC(9, 2)"},
        TypeCase{"ScaledWithoutPrecisionInt64", {padded("INT64"), "8", "", "-3", "", ""}, "NUMERIC(18, 3)"},
        TypeCase{"Double", {padded("DOUBLE"), "8", "", "0", "0", ""}, "DOUBLE PRECISION"},
        TypeCase{"Float", {padded("FLOAT"), "4", "", "0", "0", ""}, "FLOAT"},
        TypeCase{"Date", {padded("DATE"), "4", "", "0", "0", ""}, "DATE"},
        TypeCase{"Time", {padded("TIME"), "4", "", "0", "0", ""}, "TIME"},
        TypeCase{"Timestamp", {padded("TIMESTAMP"), "8", "", "0", "0", ""}, "TIMESTAMP"},
        TypeCase{"Boolean", {padded("BOOLEAN"), "1", "", "0", "0", ""}, "BOOLEAN"},
        TypeCase{"BlobText", {padded("BLOB"), "8", "", "0", "1", ""}, "BLOB SUB_TYPE TEXT"},
        TypeCase{"BlobBinary", {padded("BLOB"), "8", "", "0", "0", ""}, "BLOB"},
        TypeCase{"BlobNullSubType", {padded("BLOB"), "8", "", "0", "", ""}, "BLOB"},
        TypeCase{"BlobOtherSubType", {padded("BLOB"), "8", "", "0", "-5", ""}, "BLOB SUB_TYPE -5"},
        // Type names compare exactly: a name in other letters is written as it is.
        TypeCase{"LowerCaseName", {padded("varying"), "60", "", "0", "0", "60"}, "varying"}),
    [](const ::testing::TestParamInfo<TypeCase>& param) { return std::string(param.param.label); });

} // namespace
} // namespace vistrel::sync
