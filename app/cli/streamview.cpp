#include "app/cli/streamview.h"

#include "data/strings.h"

namespace vistrel::cli {

const char* kindName(sync::ObjectType kind) {
    switch (kind) {
    case sync::ObjectType::Generator:
        return "generators";
    case sync::ObjectType::Exception:
        return "exceptions";
    case sync::ObjectType::Domain:
        return "domains";
    case sync::ObjectType::Table:
        return "tabelas";
    case sync::ObjectType::Column:
        return "colunas";
    case sync::ObjectType::View:
        return "views";
    case sync::ObjectType::Procedure:
        return "procedures";
    case sync::ObjectType::Trigger:
        return "triggers";
    case sync::ObjectType::Index:
        return "índices";
    case sync::ObjectType::Constraint:
        return "constraints";
    }
    return "objetos";
}

StreamView::StreamView(Output& output, Settings settings)
    : m_output(output), m_settings(std::move(settings)) {}

void StreamView::beginProcess(int number, const std::string& name) {
    m_processNumber = number;
    m_processName = name;
    m_progressMax = 0;
    m_walked = 0;
    m_current.clear();
    m_counts.clear();
    m_currentOpen = false;
    showProgress();
}

KindCounts& StreamView::countsOf(sync::ObjectType kind) {
    for (auto& [k, counts] : m_counts)
        if (k == kind)
            return counts;
    m_counts.emplace_back(kind, KindCounts{});
    return m_counts.back().second;
}

void StreamView::countEscapedFailure() {
    if (m_counts.empty())
        return;
    countsOf(m_currentOpen ? m_currentKind : m_counts.back().first).failed += 1;
    m_currentOpen = false;
}

void StreamView::objectEvent(sync::ObjectEvent event, sync::ObjectType kind, const std::string& name) {
    flushPendingMessage();
    KindCounts& counts = countsOf(kind);
    // Every view is written on every run; one the target already holds is no missing object.
    const bool presentView = kind == sync::ObjectType::View && m_targetViews.count(data::trim(name)) != 0;
    switch (event) {
    case sync::ObjectEvent::Walked:
        counts.walked += 1;
        if (kind != sync::ObjectType::Column) {
            m_walked += 1;
            m_current = name;
            showProgress();
        }
        m_currentKind = kind;
        m_currentOpen = false;
        break;
    case sync::ObjectEvent::Missing:
        if (!presentView)
            counts.missing += 1;
        m_currentKind = kind;
        m_currentOpen = true;
        break;
    case sync::ObjectEvent::Written:
        if (!presentView)
            counts.written += 1;
        break;
    case sync::ObjectEvent::Created:
        // A script run sends nothing: what it wrote is counted, nothing as created.
        if (!presentView && !m_settings.script)
            counts.created += 1;
        m_currentOpen = false;
        break;
    case sync::ObjectEvent::Failed:
        counts.failed += 1;
        m_currentOpen = false;
        break;
    case sync::ObjectEvent::Differs:
        counts.differs += 1;
        m_currentKind = kind;
        m_currentOpen = true;
        break;
    case sync::ObjectEvent::Altered:
        if (!m_settings.script)
            counts.altered += 1;
        m_currentOpen = false;
        break;
    case sync::ObjectEvent::Refused:
        counts.refused += 1;
        m_currentOpen = false;
        break;
    }
}

bool StreamView::sendStatement(const std::string& statement) {
    if (!m_settings.script)
        return true;
    m_settings.script->push_back(statement);
    return false;
}

void StreamView::setProgressMax(int max) {
    m_progressMax = max;
    showProgress();
}

void StreamView::showProgress() {
    if (!m_output.progressShown())
        return;
    m_output.progress(
        progressLine(m_processNumber, m_processName, m_walked, m_progressMax, m_current, m_output.width()));
}

void StreamView::appendProcessLog(const std::string& entry) {
    flushPendingMessage();
    m_output.processEntry(entry);
}

void StreamView::appendErrorLog(const std::string& entry) {
    flushPendingMessage();
    m_output.errorEntry(entry);
}

void StreamView::showMessage(const std::string& text) {
    flushPendingMessage();
    m_pendingMessage = text;
    m_messagePending = true;
}

std::string StreamView::takePendingMessage() {
    m_messagePending = false;
    return std::move(m_pendingMessage);
}

void StreamView::flushPendingMessage() {
    if (!m_messagePending)
        return;
    m_messagePending = false;
    m_output.processEntry(m_pendingMessage);
    m_pendingMessage.clear();
}

} // namespace vistrel::cli
