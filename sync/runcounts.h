#pragma once
// What a process did, counted from the events it reports per object (sync/objectevents.h), and
// the summary lines that both hosts write at its end: one per kind of object,
//   [4 tabelas e views] colunas: percorridos 26, faltando 25, criados 25, falhas 0
// (sync/registry.h names the processes.)
#include "sync/components.h"
#include "sync/objectevents.h"
#include "sync/registry.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vistrel::sync {

// What one process reported of one kind of object.
struct KindCounts {
    int walked = 0;
    int missing = 0;
    int written = 0; // objects whose statements a run executes (a check: would create)
    int created = 0;
    int failed = 0;
    // With "Alterar": objects found in another form, altered, and whose alteration was refused.
    int differs = 0;
    int altered = 0;
    int refused = 0;
};

using RunCounts = std::vector<std::pair<ObjectType, KindCounts>>;

// Counts the events of one process at a time.
class RunCounter {
public:
    // The names of the target's views, trimmed; read at the first view the process walks.
    using ViewNames = std::function<std::set<std::string>()>;

    // Starts counting for a process. Every view is written on every run: a view counts as
    // missing only when the target lacked it, so a run of process 4 reads the target's views
    // (targetViewNames below) before its view phase.
    // `statementsSent`: whether the run's statements reach the target (not so for a script run,
    // which writes them: nothing then counts as created or altered).
    void beginProcess(int number, ViewNames targetViews = {}, bool statementsSent = true);
    void record(ObjectEvent event, ObjectType kind, const std::string& name);
    // One failure of the object being handled when an error ended the process.
    void countEscapedFailure();

    // By kind, in the order the kinds were first reported.
    const RunCounts& counts() const noexcept { return m_counts; }
    int processNumber() const noexcept { return m_number; }

private:
    KindCounts& countsOf(ObjectType kind);

    int m_number = 0;
    bool m_statementsSent = true;
    RunCounts m_counts;
    ViewNames m_readViews;
    std::optional<std::set<std::string>> m_targetViews;
    // The object being handled: its kind, and whether it was found missing and not yet done.
    ObjectType m_currentKind = ObjectType::Generator;
    bool m_currentOpen = false;
};

// The target's views, read in the target session's transaction; names trimmed.
std::set<std::string> targetViewNames(SyncComponents& components);

// The plural name of a kind of object ("generators", "tabelas", ...).
const char* kindName(ObjectType kind);

// "[N name]" for a process.
std::string processLabel(const ProcessRecord& process);

// The summary of one process: a line per kind, or "nenhum objeto" when it reported none; what
// "Alterar" did of a kind follows its counts when it found anything to alter.
std::vector<std::string> summaryLines(const ProcessRecord& process, const RunCounts& counts);
// The summary line of a process that a lost connection ended.
std::string interruptedLine(const ProcessRecord& process);

} // namespace vistrel::sync
