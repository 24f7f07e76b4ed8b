#pragma once
// The object kinds the per-object driver walks, one description each (sync/objectkinds.cpp holds
// them side by side). Processes 1, 2, 3, 6, 7 and 8 are runObjectProcess over their kind; the view
// phase of process 4 walks the view kind over the relation list of its table phase.
#include "sync/objectprocess.h"

namespace vistrel::sync {

// The view test of process 4: whether a relation of the source is a view (the table phase skips
// views, the view phase acts on them).
inline constexpr char kViewTest[] =
    "SELECT RDB$VIEW_NAME FROM RDB$VIEW_RELATIONS WHERE RDB$VIEW_NAME=:TABELAW";

extern const ObjectKind kGeneratorKind;  // 1-CRIAR GENERATOR
extern const ObjectKind kExceptionKind;  // 2-CRIAR EXCEPTION
extern const ObjectKind kDomainKind;     // 3-COMPARAR DOMAINS
extern const ObjectKind kViewKind;       // 4-COMPARAR TABELAS/VIEWS, the view phase
extern const ObjectKind kTriggerKind;    // 6-COMPARAR TRIGGERS
extern const ObjectKind kIndexKind;      // 7-COMPARAR  INDICES
extern const ObjectKind kConstraintKind; // 8-COMPARAR CONSTRAINTS

} // namespace vistrel::sync
