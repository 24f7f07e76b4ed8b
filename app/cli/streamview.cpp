#include "app/cli/streamview.h"

#include "app/cli/signals.h"

namespace vistrel::cli {

StreamView::StreamView(Output& output, Settings settings)
    : m_output(output), m_settings(std::move(settings)) {}

void StreamView::beginProcess(int number, const std::string& name, sync::RunCounter::ViewNames targetViews) {
    m_processNumber = number;
    m_processName = name;
    m_progressMax = 0;
    m_walked = 0;
    m_current.clear();
    m_counter.beginProcess(number, std::move(targetViews), m_settings.script == nullptr);
    showProgress();
}

void StreamView::objectEvent(sync::ObjectEvent event, sync::ObjectType kind, const std::string& name) {
    flushPendingMessage();
    m_counter.record(event, kind, name);
    if (event == sync::ObjectEvent::Walked && kind != sync::ObjectType::Column) {
        m_walked += 1;
        m_current = name;
        showProgress();
    }
}

bool StreamView::sendStatement(const std::string& statement) {
    if (!m_settings.script)
        return true;
    m_settings.script->push_back(statement);
    return false;
}

bool StreamView::stopRequested() const {
    return receivedSignal() != 0;
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
