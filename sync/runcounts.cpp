#include "sync/runcounts.h"

#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/strings.h"

namespace vistrel::sync {

namespace {

constexpr char kTargetViews[] = "SELECT RDB$RELATION_NAME FROM RDB$RELATIONS WHERE RDB$VIEW_BLR IS NOT NULL";
constexpr char kNoObject[] = " nenhum objeto";
constexpr char kInterrupted[] = " interrompido (conexão perdida)";

} // namespace

const char* kindName(ObjectType kind) {
    switch (kind) {
    case ObjectType::Generator:
        return "generators";
    case ObjectType::Exception:
        return "exceptions";
    case ObjectType::Domain:
        return "domains";
    case ObjectType::Table:
        return "tabelas";
    case ObjectType::Column:
        return "colunas";
    case ObjectType::View:
        return "views";
    case ObjectType::Procedure:
        return "procedures";
    case ObjectType::Trigger:
        return "triggers";
    case ObjectType::Index:
        return "índices";
    case ObjectType::Constraint:
        return "constraints";
    }
    return "objetos";
}

void RunCounter::beginProcess(int number, ViewNames targetViews, bool statementsSent) {
    m_number = number;
    m_statementsSent = statementsSent;
    m_counts.clear();
    m_readViews = std::move(targetViews);
    m_targetViews.reset();
    m_currentOpen = false;
}

KindCounts& RunCounter::countsOf(ObjectType kind) {
    for (auto& [k, counts] : m_counts)
        if (k == kind)
            return counts;
    m_counts.emplace_back(kind, KindCounts{});
    return m_counts.back().second;
}

void RunCounter::countEscapedFailure() {
    if (m_counts.empty())
        return;
    countsOf(m_currentOpen ? m_currentKind : m_counts.back().first).failed += 1;
    m_currentOpen = false;
}

void RunCounter::record(ObjectEvent event, ObjectType kind, const std::string& name) {
    // The target's views as they were before the view phase wrote any.
    if (kind == ObjectType::View && !m_targetViews)
        m_targetViews = m_readViews ? m_readViews() : std::set<std::string>{};
    KindCounts& counts = countsOf(kind);
    const bool presentView = kind == ObjectType::View && m_targetViews->count(data::trim(name)) != 0;
    switch (event) {
    case ObjectEvent::Walked:
        counts.walked += 1;
        m_currentKind = kind;
        m_currentOpen = false;
        break;
    case ObjectEvent::Missing:
        if (!presentView)
            counts.missing += 1;
        m_currentKind = kind;
        m_currentOpen = true;
        break;
    case ObjectEvent::Written:
        if (!presentView)
            counts.written += 1;
        break;
    case ObjectEvent::Created:
        // A script run sends nothing: what it wrote is counted, nothing as created.
        if (!presentView && m_statementsSent)
            counts.created += 1;
        m_currentOpen = false;
        break;
    case ObjectEvent::Failed:
        counts.failed += 1;
        m_currentOpen = false;
        break;
    case ObjectEvent::Differs:
        counts.differs += 1;
        m_currentKind = kind;
        m_currentOpen = true;
        break;
    case ObjectEvent::Altered:
        if (m_statementsSent)
            counts.altered += 1;
        m_currentOpen = false;
        break;
    case ObjectEvent::Refused:
        counts.refused += 1;
        m_currentOpen = false;
        break;
    }
}

std::set<std::string> targetViewNames(SyncComponents& components) {
    std::set<std::string> names;
    data::TIBDataSet views;
    views.setDatabase(&components.IBDatabase2());
    views.SelectSQL().Add(kTargetViews);
    views.Open();
    while (!views.Eof()) {
        names.insert(data::trim(views.FieldByName("RDB$RELATION_NAME").AsString()));
        views.Next();
    }
    views.Close();
    return names;
}

std::string processLabel(const ProcessRecord& process) {
    return "[" + std::to_string(process.number) + " " + process.commandName + "]";
}

namespace {

// What "Alterar" did of a kind, after the summary's counts; nothing when it found nothing to alter.
std::string alterationCounts(const KindCounts& counts) {
    if (counts.differs == 0 && counts.altered == 0 && counts.refused == 0)
        return "";
    return ", diferentes " + std::to_string(counts.differs) + ", alterados " +
           std::to_string(counts.altered) + ", recusados " + std::to_string(counts.refused);
}

} // namespace

std::vector<std::string> summaryLines(const ProcessRecord& process, const RunCounts& counts) {
    const std::string label = processLabel(process);
    if (counts.empty())
        return {label + kNoObject};
    std::vector<std::string> lines;
    for (const auto& [kind, c] : counts)
        lines.push_back(label + " " + kindName(kind) + ": percorridos " + std::to_string(c.walked) +
                        ", faltando " + std::to_string(c.missing) + ", criados " + std::to_string(c.created) +
                        ", falhas " + std::to_string(c.failed) + alterationCounts(c));
    return lines;
}

std::string interruptedLine(const ProcessRecord& process) {
    return processLabel(process) + kInterrupted;
}

} // namespace vistrel::sync
