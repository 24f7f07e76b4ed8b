#include "sync/columntype.h"

#include "data/strings.h"

namespace vistrel::sync {

namespace {

bool isZeroOrEmpty(const std::string& value) {
    return value.empty() || value == "0";
}

// NUMERIC(p, s) or DECIMAL(p, s) for a scaled integer field. A field without a recorded precision
// (made before precisions were stored) gets the largest precision its storage holds.
std::string scaledType(const ColumnTypeSource& s, const char* maxPrecision) {
    const std::string precision = data::trim(s.precision);
    std::string scale = data::trim(s.scale);
    if (!scale.empty() && scale.front() == '-')
        scale.erase(0, 1);
    const char* word = data::trim(s.subType) == "2" ? "DECIMAL(" : "NUMERIC(";
    return word + (isZeroOrEmpty(precision) ? std::string(maxPrecision) : precision) + ", " + scale + ")";
}

std::string characterType(const char* word, const ColumnTypeSource& s) {
    const std::string characters = data::trim(s.characterLength);
    return word + (isZeroOrEmpty(characters) ? data::trim(s.length) : characters) + ")";
}

std::string blobType(const ColumnTypeSource& s) {
    const std::string subType = data::trim(s.subType);
    if (subType == "1")
        return "BLOB SUB_TYPE TEXT";
    if (isZeroOrEmpty(subType))
        return "BLOB";
    return "BLOB SUB_TYPE " + subType;
}

} // namespace

std::string columnTypeText(const ColumnTypeSource& s) {
    const std::string typeName = data::trim(s.typeName);
    const bool scaled = !isZeroOrEmpty(data::trim(s.scale));
    if (typeName == "VARYING")
        return characterType("VARCHAR(", s);
    if (typeName == "TEXT")
        return characterType("CHAR(", s);
    if (typeName == "SHORT")
        return scaled ? scaledType(s, "4") : "SMALLINT";
    if (typeName == "LONG")
        return scaled ? scaledType(s, "9") : "INTEGER";
    if (typeName == "INT64")
        return scaled ? scaledType(s, "18") : "BIGINT";
    if (typeName == "DOUBLE")
        return "DOUBLE PRECISION";
    if (typeName == "BLOB")
        return blobType(s);
    return typeName;
}

} // namespace vistrel::sync
