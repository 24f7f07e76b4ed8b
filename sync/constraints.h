#pragma once
// The table constraints that 8-COMPARAR CONSTRAINTS carries (primary keys, unique keys, foreign keys
// and checks): how one is read from a row of the catalogue query, when the target already holds
// it, and the statement that creates it. NOT NULL constraints travel with their columns and are not
// read. The process itself is a description for the per-object driver (sync/objectkinds.cpp).
#include "sync/components.h"
#include "sync/objectprocess.h"

#include <string>
#include <vector>

namespace vistrel::data {
class TIBDataSet;
}

namespace vistrel::sync {

enum class ConstraintType { PrimaryKey, Unique, ForeignKey, Check };

// One constraint as its catalogue rows describe it. Names are kept without the blanks that pad
// the catalogue's name columns.
struct ConstraintDefinition {
    std::string name;
    std::string table;
    ConstraintType type = ConstraintType::Check;
    // Keys: the index behind the key and its columns in index order. Empty for a check.
    std::string indexName;
    bool descendingIndex = false;
    std::vector<std::string> columns;
    // Foreign key: the referenced table and its key columns in order, and the actions as stored
    // (RESTRICT, NO ACTION, CASCADE, SET NULL, SET DEFAULT).
    std::string referencedTable;
    std::vector<std::string> referencedColumns;
    std::string updateRule;
    std::string deleteRule;
    // Check: the text the server keeps for it, which reads "CHECK (...)".
    std::string checkSource;
};

// The walk over the source: the constraints of the four types on user tables, primary keys first,
// then unique keys, foreign keys and checks, each type by table and by name, so that a foreign key
// comes after the key it references. One row per constraint, with everything constraintFromRow
// reads (the key columns, the referenced columns and the check text included).
extern const char* const kConstraintEnumeration;

// The definition in the current row of the constraint query.
ConstraintDefinition constraintFromRow(data::TIBDataSet& row);

// Whether the server made the name: INTEG_ and digits for a constraint, RDB$ for an index. Such
// names differ between databases and are never written into a statement.
bool isServerConstraintName(const std::string& name);
bool isServerIndexName(const std::string& name);

// The constraint's type as the catalogue writes it ("PRIMARY KEY", ...).
const char* constraintTypeText(ConstraintType type);

// ALTER TABLE t ADD [CONSTRAINT c] PRIMARY KEY | UNIQUE (columns) [USING [DESCENDING] INDEX i];
// ALTER TABLE t ADD [CONSTRAINT c] FOREIGN KEY (columns) REFERENCES r (columns) [ON UPDATE a]
// [ON DELETE a] [USING ...]; ALTER TABLE t ADD [CONSTRAINT c] CHECK (...). A server-made
// constraint name is left out, so that the target makes its own. The index is named when its name
// is not server-made and differs from the constraint's (or the index is descending), so that the
// target's index gets the source's name. An action is written unless it is RESTRICT, the default
// (NO ACTION is written, so that the catalogue reads the same on both sides). Every name goes
// through the shared quoting rule, for a target of the given SQL dialect.
std::string constraintDdl(const ConstraintDefinition& constraint, int dialect = 3);

// A query that returns a row of the table when one breaks the check: the server checks only the
// rows written after a check is added, not those the table holds, so the process asks first. A row
// breaks a check when its condition is false (unknown passes, as it does for the server).
std::string checkViolationQuery(const ConstraintDefinition& check, int dialect = 3);

// Whether two constraints stand for the same rule, whatever their names: the same type on the same
// table and the same columns in the same order; a foreign key also the same referenced table and
// columns; a check the same text.
bool sameRule(const ConstraintDefinition& a, const ConstraintDefinition& b);

// Whether the target holds the constraint. One named by its author is present when the target has a
// constraint of that name on the same table; one whose name the server made is present when the
// target's table has a constraint of the same rule (sameRule). The probe cursor is bound to the
// target; its statement is replaced.
bool constraintOnTarget(const ConstraintDefinition& constraint, data::TIBDataSet& probe);

// What the constraint kind of the driver does with a row of the walk: its probe, its statement, and
// the refusal of a check that a target row breaks (a failure of that constraint).
bool targetHoldsConstraint(data::TIBDataSet& probe, const ObjectRow& row);
std::string constraintStatement(SyncComponents& components, const ObjectRow& row);
void refuseBrokenCheck(SyncComponents& components, const ObjectRow& row);

} // namespace vistrel::sync
