#pragma once
// Column type mapping: the type text written into ALTER TABLE ... ADD for a column that the
// target lacks, built from the source's catalogue values of the column's field.
#include <string>

namespace vistrel::sync {

// The catalogue values of one column's field, each as read from the column list (text of the
// value; empty when null). Blanks around the values are disregarded.
struct ColumnTypeSource {
    std::string typeName;        // RDB$TYPES.RDB$TYPE_NAME of RDB$FIELD_TYPE (VARYING, LONG, ...)
    std::string length;          // RDB$FIELD_LENGTH, bytes
    std::string precision;       // RDB$FIELD_PRECISION
    std::string scale;           // RDB$FIELD_SCALE, zero or negative
    std::string subType;         // RDB$FIELD_SUB_TYPE
    std::string characterLength; // RDB$CHARACTER_LENGTH, characters
};

// The column type text for an added column, so that it gets the source's type:
//   VARYING, TEXT       VARCHAR(n), CHAR(n): n in characters (the byte length when the character
//                       length is unknown)
//   SHORT, LONG, INT64  SMALLINT, INTEGER, BIGINT without a scale; with one NUMERIC(p, s), or
//                       DECIMAL(p, s) when the sub-type says DECIMAL
//   DOUBLE              DOUBLE PRECISION
//   BLOB                BLOB SUB_TYPE TEXT for text, BLOB for binary, BLOB SUB_TYPE n otherwise
//   any other name      the name itself (DATE, TIME, TIMESTAMP, FLOAT, BOOLEAN...)
std::string columnTypeText(const ColumnTypeSource& source);

} // namespace vistrel::sync
