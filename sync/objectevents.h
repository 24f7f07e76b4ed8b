#pragma once
// What a process tells its view about each object it walks, for a view that counts or shows
// progress (the command's summary and progress line). The window ignores it.
#include <string>

namespace vistrel::sync {

enum class ObjectType {
    Generator,
    Exception,
    Domain,
    Table,
    Column,
    View,
    Procedure,
    Trigger,
    Index,
    Constraint
};

enum class ObjectEvent {
    Walked,  // the walk reached the object (one source row)
    Missing, // the target lacks it, or holds another form of it (a procedure's parameter counts)
    Written, // its statements went to the process log (what the run executes when it may)
    Created, // its statements were executed without failure
    Failed,  // a failure line was written for it
    // With "Alterar": the target holds another form of it, its alteration was executed, or the
    // alteration was refused (it would lose or refuse data).
    Differs,
    Altered,
    Refused,
};

} // namespace vistrel::sync
