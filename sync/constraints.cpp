#include "sync/constraints.h"

#include "data/errors.h"
#include "data/ibdataset.h"
#include "data/strings.h"
#include "sync/runframe.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace vistrel::sync {

namespace {

// Two literals as one, at compile time.
template <std::size_t A, std::size_t B>
constexpr std::array<char, A + B - 1> joined(const char (&a)[A], const char (&b)[B]) {
    std::array<char, A + B - 1> out{};
    for (std::size_t i = 0; i + 1 < A; ++i)
        out[i] = a[i];
    for (std::size_t i = 0; i < B; ++i)
        out[A - 1 + i] = b[i];
    return out;
}

// The columns of an index, each as "position:name", one a line (LIST keeps no order of its own,
// so the position travels with the name).
#define VISTREL_INDEX_COLUMNS(index)                                                                         \
    "(SELECT LIST(S.RDB$FIELD_POSITION || ':' || TRIM(TRAILING FROM S.RDB$FIELD_NAME), ASCII_CHAR(10)) "     \
    "FROM RDB$INDEX_SEGMENTS S WHERE S.RDB$INDEX_NAME = " index ")"

// Everything constraintFromRow reads, one constraint per row; a WHERE clause follows. A check is
// kept as two triggers (before insert, before update) of the same text; a foreign key with actions
// has triggers there too, without text.
constexpr char kConstraintQuery[] =
    "SELECT C.RDB$CONSTRAINT_NAME, C.RDB$RELATION_NAME, C.RDB$CONSTRAINT_TYPE, C.RDB$INDEX_NAME, "
    "I.RDB$INDEX_TYPE, " VISTREL_INDEX_COLUMNS(
        "C.RDB$INDEX_NAME") " AS KEY_COLUMNS, "
                            "RI.RDB$RELATION_NAME AS REFERENCED_RELATION, " VISTREL_INDEX_COLUMNS(
                                "I.RDB$FOREIGN_KEY") " AS "
                                                     "REFERENCED_COLUMNS, RC.RDB$UPDATE_RULE, "
                                                     "RC.RDB$DELETE_RULE, "
                                                     "(SELECT FIRST 1 T.RDB$TRIGGER_SOURCE FROM "
                                                     "RDB$CHECK_CONSTRAINTS CC JOIN RDB$TRIGGERS T ON "
                                                     "T.RDB$TRIGGER_NAME = CC.RDB$TRIGGER_NAME WHERE "
                                                     "CC.RDB$CONSTRAINT_NAME = C.RDB$CONSTRAINT_NAME AND "
                                                     "T.RDB$TRIGGER_SOURCE IS NOT NULL ORDER BY "
                                                     "T.RDB$TRIGGER_TYPE) AS CHECK_SOURCE "
                                                     "FROM RDB$RELATION_CONSTRAINTS C JOIN RDB$RELATIONS R "
                                                     "ON R.RDB$RELATION_NAME = C.RDB$RELATION_NAME "
                                                     "LEFT JOIN RDB$INDICES I ON I.RDB$INDEX_NAME = "
                                                     "C.RDB$INDEX_NAME "
                                                     "LEFT JOIN RDB$INDICES RI ON RI.RDB$INDEX_NAME = "
                                                     "I.RDB$FOREIGN_KEY "
                                                     "LEFT JOIN RDB$REF_CONSTRAINTS RC ON "
                                                     "RC.RDB$CONSTRAINT_NAME = C.RDB$CONSTRAINT_NAME ";

#undef VISTREL_INDEX_COLUMNS

constexpr char kEnumerationOrder[] =
    "WHERE COALESCE(R.RDB$SYSTEM_FLAG, 0) = 0 AND R.RDB$VIEW_BLR IS NULL AND C.RDB$CONSTRAINT_TYPE IN "
    "('PRIMARY KEY', 'UNIQUE', 'FOREIGN KEY', 'CHECK') ORDER BY CASE C.RDB$CONSTRAINT_TYPE "
    "WHEN 'PRIMARY KEY' THEN 1 WHEN 'UNIQUE' THEN 2 WHEN 'FOREIGN KEY' THEN 3 ELSE 4 END, "
    "C.RDB$RELATION_NAME, C.RDB$CONSTRAINT_NAME";
constexpr auto kEnumerationText = joined(kConstraintQuery, kEnumerationOrder);

// The target's constraints of one type on one table.
constexpr char kRuleProbeHead[] = "WHERE C.RDB$RELATION_NAME='";
constexpr char kRuleProbeMiddle[] = "' AND C.RDB$CONSTRAINT_TYPE='";
constexpr char kRuleProbeTail[] = "' ";

// The target's constraint of that name on that table.
constexpr char kNameProbeHead[] =
    "SELECT RDB$CONSTRAINT_NAME FROM RDB$RELATION_CONSTRAINTS WHERE RDB$CONSTRAINT_NAME='";
constexpr char kNameProbeMiddle[] = "' AND RDB$RELATION_NAME='";
constexpr char kNameProbeTail[] = "' ";

constexpr char kDefaultRule[] = "RESTRICT";

std::string nameField(data::TIBDataSet& row, const char* field) {
    return data::trimRight(row.FieldByName(field).AsString());
}

// "position:name" lines back into names in the order of their positions.
std::vector<std::string> orderedColumns(const std::string& list) {
    std::vector<std::pair<int, std::string>> numbered;
    for (const std::string& line : data::splitLines(list)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        numbered.emplace_back(std::stoi(line.substr(0, colon)), line.substr(colon + 1));
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::string> columns;
    for (auto& [position, name] : numbered)
        columns.push_back(std::move(name));
    return columns;
}

std::string columnList(const std::vector<std::string>& columns, int dialect) {
    std::string out;
    for (const std::string& column : columns) {
        if (!out.empty())
            out += ", ";
        out += sqlIdentifier(dialect, column);
    }
    return out;
}

std::string actionClause(const char* event, const std::string& rule) {
    if (rule.empty() || rule == kDefaultRule)
        return "";
    return std::string(" ON ") + event + " " + rule;
}

} // namespace

constinit const char* const kConstraintEnumeration = kEnumerationText.data();

ConstraintDefinition constraintFromRow(data::TIBDataSet& row) {
    ConstraintDefinition c;
    c.name = nameField(row, "RDB$CONSTRAINT_NAME");
    c.table = nameField(row, "RDB$RELATION_NAME");
    const std::string type = nameField(row, "RDB$CONSTRAINT_TYPE");
    static constexpr ConstraintType kTypes[] = {ConstraintType::PrimaryKey, ConstraintType::Unique,
                                                ConstraintType::ForeignKey, ConstraintType::Check};
    const auto known = std::find_if(std::begin(kTypes), std::end(kTypes),
                                    [&](ConstraintType t) { return type == constraintTypeText(t); });
    if (known == std::end(kTypes))
        throw std::invalid_argument("constraint of type " + type + " is not carried: " + c.name);
    c.type = *known;
    c.indexName = nameField(row, "RDB$INDEX_NAME");
    const data::TField& indexType = row.FieldByName("RDB$INDEX_TYPE");
    c.descendingIndex = !indexType.IsNull() && indexType.AsInteger() == 1;
    c.columns = orderedColumns(row.FieldByName("KEY_COLUMNS").AsString());
    c.referencedTable = nameField(row, "REFERENCED_RELATION");
    c.referencedColumns = orderedColumns(row.FieldByName("REFERENCED_COLUMNS").AsString());
    c.updateRule = nameField(row, "RDB$UPDATE_RULE");
    c.deleteRule = nameField(row, "RDB$DELETE_RULE");
    c.checkSource = row.FieldByName("CHECK_SOURCE").AsString();
    return c;
}

bool isServerConstraintName(const std::string& name) {
    static const std::string kPrefix = "INTEG_";
    if (name.size() <= kPrefix.size() || name.compare(0, kPrefix.size(), kPrefix) != 0)
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(kPrefix.size()), name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

bool isServerIndexName(const std::string& name) {
    return name.rfind("RDB$", 0) == 0;
}

const char* constraintTypeText(ConstraintType type) {
    switch (type) {
    case ConstraintType::PrimaryKey:
        return "PRIMARY KEY";
    case ConstraintType::Unique:
        return "UNIQUE";
    case ConstraintType::ForeignKey:
        return "FOREIGN KEY";
    case ConstraintType::Check:
        return "CHECK";
    }
    return "CHECK";
}

std::string constraintDdl(const ConstraintDefinition& c, int dialect) {
    std::string ddl = "ALTER TABLE " + sqlIdentifier(dialect, c.table) + " ADD ";
    if (!isServerConstraintName(c.name))
        ddl += "CONSTRAINT " + sqlIdentifier(dialect, c.name) + " ";
    if (c.type == ConstraintType::Check)
        return ddl + c.checkSource + ";";
    ddl += std::string(constraintTypeText(c.type)) + " (" + columnList(c.columns, dialect) + ")";
    if (c.type == ConstraintType::ForeignKey) {
        ddl += " REFERENCES " + sqlIdentifier(dialect, c.referencedTable) + " (" +
               columnList(c.referencedColumns, dialect) + ")";
        ddl += actionClause("UPDATE", c.updateRule);
        ddl += actionClause("DELETE", c.deleteRule);
    }
    const bool ownIndexName = !c.indexName.empty() && !isServerIndexName(c.indexName);
    if (ownIndexName && (c.indexName != c.name || c.descendingIndex))
        ddl += std::string(" USING ") + (c.descendingIndex ? "DESCENDING " : "") + "INDEX " +
               sqlIdentifier(dialect, c.indexName);
    return ddl + ";";
}

std::string checkViolationQuery(const ConstraintDefinition& c, int dialect) {
    static const std::string kCheck = "CHECK";
    std::string condition = data::trimLeft(c.checkSource);
    if (data::equalsIgnoreCase(condition.substr(0, kCheck.size()), kCheck))
        condition = condition.substr(kCheck.size());
    return "SELECT FIRST 1 1 FROM " + sqlIdentifier(dialect, c.table) + " WHERE NOT " + condition;
}

bool sameRule(const ConstraintDefinition& a, const ConstraintDefinition& b) {
    if (a.type != b.type || a.table != b.table)
        return false;
    switch (a.type) {
    case ConstraintType::PrimaryKey:
    case ConstraintType::Unique:
        return a.columns == b.columns;
    case ConstraintType::ForeignKey:
        return a.columns == b.columns && a.referencedTable == b.referencedTable &&
               a.referencedColumns == b.referencedColumns;
    case ConstraintType::Check:
        return a.checkSource == b.checkSource;
    }
    return false;
}

bool constraintOnTarget(const ConstraintDefinition& c, data::TIBDataSet& probe) {
    if (!isServerConstraintName(c.name)) {
        openWith(probe, kNameProbeHead + literalName(c.name) + kNameProbeMiddle + literalName(c.table) +
                            kNameProbeTail);
        return !probe.Eof();
    }
    openWith(probe, kConstraintQuery + (kRuleProbeHead + literalName(c.table) + kRuleProbeMiddle +
                                        constraintTypeText(c.type) + kRuleProbeTail));
    for (; !probe.Eof(); probe.Next())
        if (sameRule(constraintFromRow(probe), c))
            return true;
    return false;
}

bool targetHoldsConstraint(data::TIBDataSet& probe, const ObjectRow& row) {
    return constraintOnTarget(constraintFromRow(*row.cursor), probe);
}

std::string constraintStatement(SyncComponents& components, const ObjectRow& row) {
    return constraintDdl(constraintFromRow(*row.cursor), targetDialect(components));
}

void refuseBrokenCheck(SyncComponents& components, const ObjectRow& row) {
    const ConstraintDefinition check = constraintFromRow(*row.cursor);
    if (check.type != ConstraintType::Check)
        return;
    data::TIBDataSet& rows =
        newStatementCursor(components, checkViolationQuery(check, targetDialect(components)));
    rows.Open();
    const bool broken = !rows.Eof();
    rows.Close();
    if (broken)
        throw data::EDatabaseError("a row of " + check.table + " breaks the check " + check.name);
}

} // namespace vistrel::sync
