#include "sync/definitions.h"

#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/strings.h"
#include "extract/fieldtype.h"

#include <charconv>
#include <map>

namespace vistrel::sync {

namespace {

// The type columns of RDB$FIELDS (alias F) with the names of its character set and collation; a
// collation is taken from the column (alias COLLATION_ID) when it has one of its own.
#define VISTREL_TYPE_COLUMNS(collationId)                                                                    \
    "F.RDB$FIELD_TYPE AS T_CODE, F.RDB$FIELD_SUB_TYPE AS T_SUB, F.RDB$FIELD_SCALE AS T_SCALE, "              \
    "F.RDB$FIELD_PRECISION AS T_PRECISION, F.RDB$FIELD_LENGTH AS T_LENGTH, F.RDB$CHARACTER_LENGTH AS "       \
    "T_CHARS, F.RDB$SEGMENT_LENGTH AS T_SEGMENT, (SELECT CS.RDB$CHARACTER_SET_NAME FROM RDB$CHARACTER_SETS " \
    "CS WHERE CS.RDB$CHARACTER_SET_ID = F.RDB$CHARACTER_SET_ID) AS T_SET, (SELECT CO.RDB$COLLATION_NAME "    \
    "FROM "                                                                                                  \
    "RDB$COLLATIONS CO WHERE CO.RDB$CHARACTER_SET_ID = F.RDB$CHARACTER_SET_ID AND CO.RDB$COLLATION_ID = "    \
    "COALESCE(" collationId ", 0)) AS T_COLLATION "

constexpr char kGenerators[] = "SELECT RDB$GENERATOR_NAME AS NAME, RDB$GENERATOR_INCREMENT AS STEP FROM "
                               "RDB$GENERATORS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 ORDER BY 1";
constexpr char kExceptions[] =
    "SELECT RDB$EXCEPTION_NAME AS NAME, RDB$MESSAGE AS MESSAGE FROM RDB$EXCEPTIONS "
    "WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 ORDER BY 1";
// The domains the domain process walks: user fields, the one it leaves out excepted.
constexpr char kDomains[] =
    "SELECT F.RDB$FIELD_NAME AS NAME, F.RDB$DEFAULT_SOURCE AS DEFAULT_SOURCE, F.RDB$VALIDATION_SOURCE AS "
    "CHECK_SOURCE, F.RDB$COMPUTED_SOURCE AS COMPUTED_SOURCE, F.RDB$NULL_FLAG AS "
    "NOT_NULL, " VISTREL_TYPE_COLUMNS(
        "F.RDB$COLLATION_ID") "FROM RDB$FIELDS F WHERE COALESCE(F.RDB$SYSTEM_FLAG, 0) = 0 AND "
                              "F.RDB$FIELD_NAME "
                              "NOT STARTING WITH 'RDB$' AND F.RDB$FIELD_NAME NOT STARTING WITH 'MON$' AND "
                              "F.RDB$FIELD_NAME NOT STARTING WITH 'SEC$' AND F.RDB$FIELD_NAME <> 'PK_ACESSO' "
                              "ORDER BY 1";
constexpr char kColumnsHead[] =
    "SELECT RF.RDB$RELATION_NAME AS TABLE_NAME, RF.RDB$FIELD_NAME AS NAME, RF.RDB$FIELD_POSITION AS POS, "
    "RF.RDB$FIELD_SOURCE AS FIELD_SOURCE, RF.RDB$DEFAULT_SOURCE AS DEFAULT_SOURCE, RF.RDB$NULL_FLAG AS "
    "NOT_NULL, F.RDB$COMPUTED_SOURCE AS COMPUTED_SOURCE, " VISTREL_TYPE_COLUMNS(
        "COALESCE(RF.RDB$COLLATION_ID, F.RDB$COLLATION_ID)") ", ";
constexpr char kColumnsIdentity[] = "RF.RDB$IDENTITY_TYPE AS IDENTITY_TYPE ";
constexpr char kColumnsNoIdentity[] = "NULL AS IDENTITY_TYPE ";
constexpr char kColumnsTail[] =
    "FROM RDB$RELATION_FIELDS RF JOIN RDB$RELATIONS R ON R.RDB$RELATION_NAME = RF.RDB$RELATION_NAME JOIN "
    "RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE WHERE COALESCE(R.RDB$SYSTEM_FLAG, 0) = 0 AND "
    "R.RDB$VIEW_BLR IS NULL ORDER BY RF.RDB$RELATION_NAME, RF.RDB$FIELD_POSITION, RF.RDB$FIELD_NAME";
constexpr char kViews[] =
    "SELECT RDB$RELATION_NAME AS NAME, RDB$VIEW_SOURCE AS SOURCE FROM RDB$RELATIONS WHERE "
    "RDB$VIEW_BLR IS NOT NULL AND COALESCE(RDB$SYSTEM_FLAG, 0) = 0 ORDER BY 1";
constexpr char kProcedures[] =
    "SELECT RDB$PROCEDURE_NAME AS NAME, RDB$PROCEDURE_SOURCE AS SOURCE FROM RDB$PROCEDURES WHERE "
    "COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND RDB$PACKAGE_NAME IS NULL ORDER BY 1";
constexpr char kParameters[] =
    "SELECT P.RDB$PROCEDURE_NAME AS PROCEDURE_NAME, P.RDB$PARAMETER_NAME AS NAME, P.RDB$PARAMETER_TYPE AS "
    "DIRECTION, P.RDB$FIELD_SOURCE AS FIELD_SOURCE, P.RDB$DEFAULT_SOURCE AS DEFAULT_SOURCE, P.RDB$NULL_FLAG "
    "AS NOT_NULL, P.RDB$PARAMETER_MECHANISM AS MECHANISM, P.RDB$RELATION_NAME AS OF_RELATION, "
    "P.RDB$FIELD_NAME AS OF_FIELD, " VISTREL_TYPE_COLUMNS(
        "F.RDB$COLLATION_ID") "FROM RDB$PROCEDURE_PARAMETERS P JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = "
                              "P.RDB$FIELD_SOURCE WHERE P.RDB$PACKAGE_NAME IS NULL AND "
                              "COALESCE(P.RDB$SYSTEM_FLAG, "
                              "0) = 0 ORDER BY P.RDB$PROCEDURE_NAME, P.RDB$PARAMETER_TYPE, "
                              "P.RDB$PARAMETER_NUMBER";
// The triggers the trigger process walks: user triggers, those of check constraints left out.
constexpr char kTriggers[] =
    "SELECT TRG.RDB$TRIGGER_NAME AS NAME, TRG.RDB$RELATION_NAME AS RELATION, TRG.RDB$TRIGGER_TYPE AS "
    "EVENT_TYPE, TRG.RDB$TRIGGER_SEQUENCE AS SEQ, TRG.RDB$TRIGGER_INACTIVE AS INACTIVE, "
    "TRG.RDB$TRIGGER_SOURCE "
    "AS SOURCE FROM RDB$TRIGGERS TRG WHERE COALESCE(TRG.RDB$SYSTEM_FLAG, 0) = 0 AND NOT EXISTS (SELECT * "
    "FROM "
    "RDB$CHECK_CONSTRAINTS CHK WHERE CHK.RDB$TRIGGER_NAME = TRG.RDB$TRIGGER_NAME) ORDER BY 1";
// The indexes the index process walks: user indexes that back no constraint.
constexpr char kIndexes[] =
    "SELECT IDX.RDB$INDEX_NAME AS NAME, IDX.RDB$RELATION_NAME AS RELATION, IDX.RDB$UNIQUE_FLAG AS "
    "UNIQUE_FLAG, "
    "IDX.RDB$INDEX_TYPE AS INDEX_TYPE, IDX.RDB$INDEX_INACTIVE AS INACTIVE, IDX.RDB$EXPRESSION_SOURCE AS "
    "EXPRESSION FROM RDB$INDICES IDX WHERE COALESCE(IDX.RDB$SYSTEM_FLAG, 0) = 0 AND NOT EXISTS (SELECT * "
    "FROM "
    "RDB$RELATION_CONSTRAINTS RC WHERE RC.RDB$INDEX_NAME = IDX.RDB$INDEX_NAME) ORDER BY 1";
constexpr char kIndexSegments[] =
    "SELECT S.RDB$INDEX_NAME AS INDEX_NAME, S.RDB$FIELD_NAME AS NAME FROM RDB$INDEX_SEGMENTS S JOIN "
    "RDB$INDICES IDX ON IDX.RDB$INDEX_NAME = S.RDB$INDEX_NAME WHERE COALESCE(IDX.RDB$SYSTEM_FLAG, 0) = 0 "
    "ORDER BY S.RDB$INDEX_NAME, S.RDB$FIELD_POSITION";

#undef VISTREL_TYPE_COLUMNS

constexpr int kFirstOdsWithIdentity = 12;

// Runs a query on the session's default transaction and hands every row to `each`.
template <class Each> void eachRow(data::TIBDatabase& session, const std::string& query, Each&& each) {
    data::TIBDataSet rows;
    rows.setDatabase(&session);
    rows.ParamCheck = false;
    rows.SelectSQL().Add(query);
    rows.Open();
    while (!rows.Eof()) {
        each(rows);
        rows.Next();
    }
    rows.Close();
}

std::string text(data::TIBDataSet& row, const char* field) {
    return data::trim(row.FieldByName(field).AsString());
}

int64_t number(data::TIBDataSet& row, const char* field, int64_t otherwise = 0) {
    return catalogueNumber(row.FieldByName(field)).value_or(otherwise);
}

bool flag(data::TIBDataSet& row, const char* field) {
    return number(row, field) != 0;
}

std::string source(data::TIBDataSet& row, const char* field) {
    return normalizedSource(row.FieldByName(field).AsString());
}

int storagePrecision(int code) {
    using namespace extract::fieldtype;
    return code == kSmallint ? 4 : code == kInteger ? 9 : 18;
}

FieldType fieldType(data::TIBDataSet& row) {
    FieldType type;
    extract::FieldTypeValues values;
    values.typeCode = static_cast<int>(number(row, "T_CODE"));
    values.subType = static_cast<int>(number(row, "T_SUB"));
    values.scale = static_cast<int>(number(row, "T_SCALE"));
    const auto precision = catalogueNumber(row.FieldByName("T_PRECISION"));
    if (precision && *precision != 0)
        values.precision = static_cast<int>(*precision);
    values.length = static_cast<int>(number(row, "T_LENGTH"));
    const auto characters = catalogueNumber(row.FieldByName("T_CHARS"));
    if (characters && *characters != 0)
        values.characterLength = static_cast<int>(*characters);
    values.segmentLength = static_cast<int>(number(row, "T_SEGMENT"));
    type.typeCode = values.typeCode;
    type.scale = values.scale;
    try {
        type.text = extract::fieldTypeText(values, extract::kColumnTypeOptions);
    } catch (const extract::EUnsupportedFieldType& error) {
        // Compared as what it is; the processes report such a type when they meet it.
        type.text = "TYPE " + std::to_string(values.typeCode);
    }
    if (isTextType(values.typeCode)) {
        type.length = values.characterLength.value_or(values.length);
        type.characterSet = text(row, "T_SET");
        type.collation = text(row, "T_COLLATION");
    } else if (values.typeCode == extract::fieldtype::kBlob && values.subType == 1) {
        type.characterSet = text(row, "T_SET");
        type.collation = text(row, "T_COLLATION");
    } else {
        type.length = values.length;
    }
    if (isExactNumericType(values.typeCode))
        type.precision = values.precision.value_or(storagePrecision(values.typeCode));
    return type;
}

// A user domain name, or empty for the domain the server made for a column or parameter.
std::string userDomain(const std::string& fieldSource) {
    return fieldSource.rfind("RDB$", 0) == 0 ? std::string() : fieldSource;
}

void readGenerators(data::TIBDatabase& session, SchemaDefinitions& out) {
    eachRow(session, kGenerators, [&](data::TIBDataSet& row) {
        out.generators.push_back({.name = text(row, "NAME"), .increment = number(row, "STEP", 1)});
    });
}

void readExceptions(data::TIBDatabase& session, SchemaDefinitions& out) {
    eachRow(session, kExceptions, [&](data::TIBDataSet& row) {
        out.exceptions.push_back(
            {.name = text(row, "NAME"), .message = row.FieldByName("MESSAGE").AsString()});
    });
}

void readDomains(data::TIBDatabase& session, SchemaDefinitions& out) {
    eachRow(session, kDomains, [&](data::TIBDataSet& row) {
        out.domains.push_back({.name = text(row, "NAME"),
                               .type = fieldType(row),
                               .defaultSource = source(row, "DEFAULT_SOURCE"),
                               .checkSource = source(row, "CHECK_SOURCE"),
                               .computedSource = source(row, "COMPUTED_SOURCE"),
                               .notNull = flag(row, "NOT_NULL")});
    });
}

void readTables(data::TIBDatabase& session, SchemaDefinitions& out) {
    const bool identity = session.odsMajorVersion() >= kFirstOdsWithIdentity;
    const std::string query =
        std::string(kColumnsHead) + (identity ? kColumnsIdentity : kColumnsNoIdentity) + kColumnsTail;
    eachRow(session, query, [&](data::TIBDataSet& row) {
        const std::string table = text(row, "TABLE_NAME");
        if (out.tables.empty() || out.tables.back().name != table)
            out.tables.push_back({.name = table, .columns = {}});
        const std::string domain = userDomain(text(row, "FIELD_SOURCE"));
        out.tables.back().columns.push_back({.name = text(row, "NAME"),
                                             .position = static_cast<int>(number(row, "POS")),
                                             .domain = domain,
                                             .type = fieldType(row),
                                             .defaultSource = source(row, "DEFAULT_SOURCE"),
                                             .computedSource = source(row, "COMPUTED_SOURCE"),
                                             .notNull = flag(row, "NOT_NULL"),
                                             .identity = !row.FieldByName("IDENTITY_TYPE").IsNull()});
    });
}

void readViews(data::TIBDatabase& session, SchemaDefinitions& out) {
    eachRow(session, kViews, [&](data::TIBDataSet& row) {
        out.views.push_back({.name = text(row, "NAME"), .source = source(row, "SOURCE")});
    });
}

std::string parameterDeclaration(data::TIBDataSet& row) {
    const std::string domain = userDomain(text(row, "FIELD_SOURCE"));
    const std::string ofRelation = text(row, "OF_RELATION");
    if (!ofRelation.empty())
        return "TYPE OF COLUMN " + ofRelation + "." + text(row, "OF_FIELD");
    if (!domain.empty())
        return (number(row, "MECHANISM") == 1 ? "TYPE OF " : "") + domain;
    const FieldType type = fieldType(row);
    std::string declaration = type.text;
    if (!type.characterSet.empty())
        declaration += " CHARACTER SET " + type.characterSet;
    return declaration;
}

void readProcedures(data::TIBDatabase& session, SchemaDefinitions& out) {
    std::map<std::string, size_t> byName;
    eachRow(session, kProcedures, [&](data::TIBDataSet& row) {
        byName[text(row, "NAME")] = out.procedures.size();
        out.procedures.push_back(
            {.name = text(row, "NAME"), .parameters = {}, .source = source(row, "SOURCE")});
    });
    eachRow(session, kParameters, [&](data::TIBDataSet& row) {
        const auto found = byName.find(text(row, "PROCEDURE_NAME"));
        if (found == byName.end())
            return;
        out.procedures[found->second].parameters.push_back({.name = text(row, "NAME"),
                                                            .output = flag(row, "DIRECTION"),
                                                            .declaration = parameterDeclaration(row),
                                                            .defaultSource = source(row, "DEFAULT_SOURCE"),
                                                            .notNull = flag(row, "NOT_NULL")});
    });
}

void readTriggers(data::TIBDatabase& session, SchemaDefinitions& out) {
    eachRow(session, kTriggers, [&](data::TIBDataSet& row) {
        out.triggers.push_back({.name = text(row, "NAME"),
                                .relation = text(row, "RELATION"),
                                .type = number(row, "EVENT_TYPE"),
                                .sequence = number(row, "SEQ"),
                                .inactive = flag(row, "INACTIVE"),
                                .source = source(row, "SOURCE")});
    });
}

void readIndexes(data::TIBDatabase& session, SchemaDefinitions& out) {
    std::map<std::string, size_t> byName;
    eachRow(session, kIndexes, [&](data::TIBDataSet& row) {
        byName[text(row, "NAME")] = out.indexes.size();
        out.indexes.push_back({.name = text(row, "NAME"),
                               .relation = text(row, "RELATION"),
                               .unique = flag(row, "UNIQUE_FLAG"),
                               .descending = flag(row, "INDEX_TYPE"),
                               .inactive = flag(row, "INACTIVE"),
                               .segments = {},
                               .expression = source(row, "EXPRESSION")});
    });
    eachRow(session, kIndexSegments, [&](data::TIBDataSet& row) {
        const auto found = byName.find(text(row, "INDEX_NAME"));
        if (found != byName.end())
            out.indexes[found->second].segments.push_back(text(row, "NAME"));
    });
}

void readConstraints(data::TIBDatabase& session, SchemaDefinitions& out) {
    eachRow(session, kConstraintEnumeration,
            [&](data::TIBDataSet& row) { out.constraints.push_back(constraintFromRow(row)); });
    for (ConstraintDefinition& c : out.constraints)
        c.checkSource = normalizedSource(c.checkSource);
}

} // namespace

bool isTextType(int typeCode) {
    using namespace extract::fieldtype;
    return typeCode == kChar || typeCode == kVarchar || typeCode == kCString;
}

bool isExactNumericType(int typeCode) {
    using namespace extract::fieldtype;
    return typeCode == kSmallint || typeCode == kInteger || typeCode == kBigint;
}

std::optional<int64_t> catalogueNumber(const data::TField& field) {
    if (field.IsNull())
        return std::nullopt;
    const std::string value = data::trim(field.AsString());
    if (value.empty())
        return std::nullopt;
    int64_t parsed = 0;
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, parsed);
    if (error != std::errc() || stop != end)
        throw ECatalogueValue("O catálogo traz um valor que não é número em " + field.FieldName() + ": " +
                              value);
    return parsed;
}

std::string normalizedSource(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
            lines.push_back(data::trimRight(line));
            line.clear();
            if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            line += text[i];
        }
    }
    size_t first = 0;
    while (first < lines.size() && lines[first].empty())
        ++first;
    size_t last = lines.size();
    while (last > first && lines[last - 1].empty())
        --last;
    std::string out;
    for (size_t i = first; i < last; ++i) {
        if (i > first)
            out += '\n';
        out += lines[i];
    }
    return out;
}

bool KindSelection::covers(ObjectType type) const {
    switch (type) {
    case ObjectType::Generator:
        return generators;
    case ObjectType::Exception:
        return exceptions;
    case ObjectType::Domain:
        return domains;
    case ObjectType::Table:
    case ObjectType::Column:
        return tables;
    case ObjectType::View:
        return views;
    case ObjectType::Procedure:
        return procedures;
    case ObjectType::Trigger:
        return triggers;
    case ObjectType::Index:
        return indexes;
    case ObjectType::Constraint:
        return constraints;
    }
    return false;
}

SchemaDefinitions readDefinitions(data::TIBDatabase& session, const KindSelection& kinds) {
    SchemaDefinitions out;
    if (kinds.generators)
        readGenerators(session, out);
    if (kinds.exceptions)
        readExceptions(session, out);
    if (kinds.domains)
        readDomains(session, out);
    if (kinds.tables)
        readTables(session, out);
    if (kinds.views)
        readViews(session, out);
    if (kinds.procedures)
        readProcedures(session, out);
    if (kinds.triggers)
        readTriggers(session, out);
    if (kinds.indexes)
        readIndexes(session, out);
    if (kinds.constraints)
        readConstraints(session, out);
    return out;
}

} // namespace vistrel::sync
