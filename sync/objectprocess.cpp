#include "sync/objectprocess.h"

#include "data/errors.h"
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/strings.h"
#include "sync/runframe.h"
#include "sync/runstop.h"

#include <memory>
#include <string>

namespace vistrel::sync {

std::string nameIn(NameForm form, const std::string& name) {
    switch (form) {
    case NameForm::AsRead:
        return name;
    case NameForm::Trimmed:
        return data::trim(name);
    }
    return name;
}

namespace {

constexpr char kReasonIndent[] = "    ";
constexpr char kReasonCode[] = "SQLCODE ";
constexpr char kReasonLineJoin[] = " - ";

} // namespace

std::string failureReason(const std::exception& error) {
    std::string reason = kReasonIndent;
    // The SQL code of a client error is the number of its own message, not the server's.
    if (const auto* serverError = dynamic_cast<const data::EIBInterBaseError*>(&error))
        reason += kReasonCode + std::to_string(serverError->SQLCode()) + ": ";
    const std::string message = error.what();
    bool lineBreak = false;
    bool written = false;
    for (const char c : message) {
        if (c == '\r' || c == '\n') {
            lineBreak = true;
            continue;
        }
        if (lineBreak && written)
            reason += kReasonLineJoin;
        lineBreak = false;
        written = true;
        reason += c;
    }
    return reason;
}

void writeFailure(ProcessView& view, Pane pane, const std::string& line, const std::exception& error,
                  const std::string& errorLogLine) {
    // A lost connection ends the run instead: no object after it can reach the server, and one
    // message for the whole run says so where the run is reported.
    if (const auto* fatal = dynamic_cast<const data::EIBFatalServerError*>(&error))
        throw *fatal;
    if (const auto* lost = dynamic_cast<const data::EIBConnectionLost*>(&error))
        throw *lost;
    const std::string reason = failureReason(error);
    if (pane == Pane::ErrorLog) {
        view.appendErrorLog(line);
        view.appendErrorLog(reason);
    } else {
        view.appendProcessLog(line);
        view.appendProcessLog(reason);
        view.appendErrorLog(errorLogLine.empty() ? line : errorLogLine);
        view.appendErrorLog(reason);
    }
}

std::string extractedText(SyncComponents& components, const ObjectKind& kind, const std::string& name) {
    extract::TIBExtract& extractor = targetExtractor(components);
    extractor.ExtractObject(kind.extractType, name, extract::TExtractTypes{});
    std::string ddl = extractor.Items().Text();
    for (const Rewrite& rewrite : kind.rewrites) {
        switch (rewrite.op) {
        case Rewrite::Op::Remove:
            ddl = removeText(ddl, rewrite.text);
            break;
        case Rewrite::Op::RemoveAroundName:
            ddl = removeText(ddl, rewrite.text + name + rewrite.tail);
            break;
        case Rewrite::Op::CreateOrAlter:
            ddl = createOrAlter(ddl);
            break;
        }
    }
    return ddl;
}

namespace {

// The walk of one kind over its rows.
class ObjectWalk {
public:
    ObjectWalk(SyncComponents& components, ProcessView& view, const ObjectKind& kind, data::TIBDataSet& probe)
        : m_components(components), m_view(view), m_kind(kind), m_probe(probe) {}

    void run(data::TIBDataSet& rows) {
        while (!rows.Eof()) {
            stopIfRequested(m_view);
            ObjectRow row{
                .name = rows.FieldByName(m_kind.nameField).AsString(), .relation = {}, .cursor = &rows};
            if (m_kind.relationField)
                row.relation = rows.FieldByName(m_kind.relationField).AsString();
            visit(row);
            rows.Next();
        }
    }

    void run(const std::vector<ObjectRow>& rows) {
        for (const ObjectRow& row : rows) {
            stopIfRequested(m_view);
            visit(row);
        }
    }

private:
    void visit(const ObjectRow& row) {
        const bool leftAlone = m_kind.leavesAlone && row.cursor && m_kind.leavesAlone(*row.cursor);
        const bool act = !leftAlone && needsStep(row);
        // A probe on the source decides whether the row is an object of the kind at all (a
        // relation that is a view); one on the target, whether the target lacks it.
        if (act || (!leftAlone && m_kind.probe.on == ObjectProbe::On::Target))
            m_view.objectEvent(ObjectEvent::Walked, m_kind.type, nameIn(m_kind.lineName, row.name));
        if (act)
            step(row);
        if (m_kind.pumpEvents)
            m_view.processEvents();
    }

    bool needsStep(const ObjectRow& row) {
        const ObjectProbe& probe = m_kind.probe;
        if (probe.holds)
            return !probe.holds(m_probe, row);
        const std::string name = nameIn(probe.name, row.name);
        if (probe.parameter) {
            m_probe.SelectSQL().Clear();
            m_probe.SelectSQL().Add(probe.head);
            m_probe.ParamByName(probe.parameter).setAsString(name);
            m_probe.Open();
        } else {
            std::string statement = probe.head + literalName(name);
            if (probe.withoutRelation && data::trim(row.relation).empty())
                statement += probe.withoutRelation;
            else if (probe.middle)
                statement += probe.middle + literalName(row.relation) + probe.tail;
            else
                statement += probe.tail;
            openWith(m_probe, statement);
        }
        return (probe.actWhen == ObjectProbe::ActWhen::NoRow) == m_probe.Eof();
    }

    void step(const ObjectRow& row) {
        const std::string lineName = nameIn(m_kind.lineName, row.name);
        m_view.objectEvent(ObjectEvent::Missing, m_kind.type, lineName);
        // A kind with a failure line reports any failure of its step; one without, only a name
        // that the target's dialect cannot hold (dialectFailure); anything else ends the run.
        try {
            objectStep(row, lineName);
        } catch (const extract::EDialectName& error) {
            const ObjectFailure& failure = m_kind.failure.line ? m_kind.failure : m_kind.dialectFailure;
            if (!failure.line)
                throw;
            reportFailure(failure, lineName, error);
        } catch (const std::exception& error) {
            if (!m_kind.failure.line)
                throw;
            reportFailure(m_kind.failure, lineName, error);
        }
        if (m_kind.closingBanner)
            m_view.appendProcessLog(kClosingBanner);
    }

    void reportFailure(const ObjectFailure& failure, const std::string& lineName,
                       const std::exception& error) {
        const std::string line = failure.namesObject ? failure.line + lineName : std::string(failure.line);
        writeFailure(m_view, failure.pane, line, error,
                     failure.errorLogLine ? failure.errorLogLine + lineName : std::string());
        m_view.objectEvent(ObjectEvent::Failed, m_kind.type, lineName);
    }

    void objectStep(const ObjectRow& row, const std::string& lineName) {
        if (m_kind.notFoundLeadIn)
            m_view.appendProcessLog(m_kind.notFoundLeadIn + lineName);
        if (m_kind.openingBanner)
            m_view.appendProcessLog(m_kind.openingBanner);
        const std::string ddl = m_kind.buildDdl ? m_kind.buildDdl(m_components, row) : extractedDdl(row);
        if (m_kind.logDdl)
            m_view.appendProcessLog(ddl);
        // An empty text (an index the extractor has no text for) gives nothing to execute.
        if (!ddl.empty())
            m_view.objectEvent(ObjectEvent::Written, m_kind.type, lineName);
        // A released statement cursor lives until the step's end, past the reconnect.
        std::unique_ptr<data::TIBDataSet> releasedCursor;
        bool executed = false;
        if (m_kind.executor == Executor::Campos2)
            executed = executeOnCampos2(ddl);
        else
            releasedCursor = executeOnStatementCursor(row, ddl, executed);
        if (reconnects())
            m_components.targetReconnect();
        if (executed)
            m_view.objectEvent(ObjectEvent::Created, m_kind.type, lineName);
    }

    std::string extractedDdl(const ObjectRow& row) {
        return extractedText(m_components, m_kind, nameIn(m_kind.extractName, row.name));
    }

    // Whether the statement was executed.
    bool executeOnCampos2(const std::string& ddl) {
        data::TIBQuery& campos2 = m_components.CAMPOS2();
        campos2.SQL().Clear();
        campos2.SQL().SetText(ddl);
        if (!m_view.criarauto() || !m_view.sendStatement(ddl))
            return false;
        campos2.ExecSQL();
        return true;
    }

    // `executed`: whether a statement was executed.
    std::unique_ptr<data::TIBDataSet> executeOnStatementCursor(const ObjectRow& row, const std::string& ddl,
                                                               bool& executed) {
        const std::string text = m_kind.padStatement ? " " + ddl + " " : ddl;
        std::unique_ptr<data::TIBDataSet> released;
        data::TIBDataSet* cursor = nullptr;
        if (m_kind.executor == Executor::ReleasedStatementCursor) {
            released = std::make_unique<data::TIBDataSet>();
            released->setDatabase(&m_components.IBDatabase2());
            released->ParamCheck = false;
            released->SelectSQL().Clear();
            released->SelectSQL().Add(text);
            cursor = released.get();
        } else {
            cursor = &newStatementCursor(m_components, text);
        }
        if (m_view.criarauto()) {
            if (m_kind.beforeExecution)
                m_kind.beforeExecution(m_components, row);
            const std::vector<std::string> statements =
                m_kind.statements ? m_kind.statements(ddl) : std::vector<std::string>{text};
            for (const std::string& statement : statements) {
                if (!m_view.sendStatement(statement))
                    continue;
                cursor->SelectSQL().Clear();
                cursor->SelectSQL().Add(statement);
                cursor->ExecSQL();
                executed = true;
            }
        }
        return released;
    }

    bool reconnects() const {
        switch (m_kind.reconnect) {
        case Reconnect::Never:
            return false;
        case Reconnect::UnlessRapido:
            return !m_view.rapido();
        case Reconnect::WhenCriarauto:
            return m_view.criarauto();
        case Reconnect::Always:
            return true;
        }
        return false;
    }

    SyncComponents& m_components;
    ProcessView& m_view;
    const ObjectKind& m_kind;
    data::TIBDataSet& m_probe;
};

} // namespace

namespace {

// The probe cursor of a walk: a run cursor on the target (DESTINOTABELA), or a cursor of the
// walk's own on the source.
class ProbeCursor {
public:
    ProbeCursor(SyncComponents& components, ObjectProbe::On on) {
        if (on == ObjectProbe::On::Target) {
            m_cursor = &components.newTargetCursor();
        } else {
            m_own.setDatabase(&components.IBDatabase1());
            m_cursor = &m_own;
        }
    }
    data::TIBDataSet& cursor() { return *m_cursor; }

private:
    data::TIBDataSet m_own;
    data::TIBDataSet* m_cursor = nullptr;
};

} // namespace

void walkObjects(SyncComponents& components, ProcessView& view, const ObjectKind& kind,
                 data::TIBDataSet& rows) {
    ProbeCursor probe(components, kind.probe.on);
    ObjectWalk(components, view, kind, probe.cursor()).run(rows);
}

void walkObjects(SyncComponents& components, ProcessView& view, const ObjectKind& kind,
                 const std::vector<ObjectRow>& rows) {
    ProbeCursor probe(components, kind.probe.on);
    ObjectWalk(components, view, kind, probe.cursor()).run(rows);
}

void runObjectProcess(SyncComponents& components, ProcessView& view, const ObjectKind& kind) {
    runGuards(components, view);
    components.beginRun();
    data::TIBDataSet& rows = components.newSourceCursor(); // TABELAS
    ProbeCursor probe(components, kind.probe.on);
    if (kind.pointDataSource1)
        view.setDataSource1(&rows);
    rows.SelectSQL().Clear();
    for (const char* line : kind.enumeration)
        rows.SelectSQL().Add(line);
    rows.Open();
    if (kind.executor == Executor::Campos2)
        components.CAMPOS2().ParamCheck = false;
    ObjectWalk(components, view, kind, probe.cursor()).run(rows);
    // What the run created is committed, so that the other sessions and the next runs see it.
    if (kind.commitAtEnd)
        components.IBDatabase2().endTransactions();
    if (kind.completion)
        view.showMessage(kind.completion);
}

} // namespace vistrel::sync
