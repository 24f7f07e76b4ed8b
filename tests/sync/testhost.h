#pragma once
// A widget-free host for driving the processes against real databases: the real components
// object (sessions, extractor, stored cursors and direct-execution connection) and a view whose
// panes are vectors of entries.
#include "sync/components.h"
#include "sync/processes.h"
#include "sync/processview.h"
#include "tests/support/scratchdatabase.h"

#include <string>
#include <vector>

namespace vistrel::test {

class TestHost : public sync::ProcessView {
public:
    // Binds IBDatabase1 to source and IBDatabase2 (and SQLConnection) to target, attaches both.
    TestHost(const ScratchDatabase& source, const ScratchDatabase& target);
    ~TestHost() override;

    std::vector<std::string> processLog;
    std::vector<std::string> errorLog;
    std::vector<std::string> procedureBuffer{"Memo2"};
    std::vector<std::string> messages;
    bool criarautoValue = true;
    bool rapidoValue = false;
    bool alterarValue = false;
    // Statements a run sent to the target, in order, as the view is told of them.
    std::vector<std::string> sentStatements;
    // A stop is asked for once the process log holds this many entries (0: never).
    size_t stopAfterLogEntries = 0;
    std::string xbancoValue;
    std::string xbanco2Value;
    int processEventsCalls = 0;
    data::TIBDataSet* dataSource1 = nullptr;
    data::TIBDataSet* dataSource2 = nullptr;
    int progressMax = 100;
    int progressPosition = 0;

    // Runs one process on these components with this view.
    void run(sync::ProcessEntry process) { process(m_components, *this); }

    void appendProcessLog(const std::string& entry) override { processLog.push_back(entry); }
    void appendErrorLog(const std::string& entry) override { errorLog.push_back(entry); }
    void clearProcessLog() override { processLog.clear(); }
    void clearProcedureBuffer() override { procedureBuffer.clear(); }
    void appendProcedureBuffer(const std::string& entry) override { procedureBuffer.push_back(entry); }
    std::string procedureBufferText() const override { return sync::entriesText(procedureBuffer); }
    bool criarauto() const override { return criarautoValue; }
    bool rapido() const override { return rapidoValue; }
    bool alterar() const override { return alterarValue; }
    bool sendStatement(const std::string& statement) override {
        sentStatements.push_back(statement);
        return true;
    }
    bool stopRequested() const override {
        return stopAfterLogEntries > 0 && processLog.size() >= stopAfterLogEntries;
    }
    std::string xbanco() const override { return xbancoValue; }
    std::string xbanco2() const override { return xbanco2Value; }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void processEvents() override { ++processEventsCalls; }
    void setDataSource1(data::TIBDataSet* ds) override { dataSource1 = ds; }
    void setDataSource2(data::TIBDataSet* ds) override { dataSource2 = ds; }
    void setProgressMax(int max) override { progressMax = max; }
    void setProgressPosition(int position) override { progressPosition = position; }

    sync::SyncComponents& components() { return m_components; }
    data::TIBDatabase& IBDatabase1() { return m_components.IBDatabase1(); }
    data::TIBDatabase& IBDatabase2() { return m_components.IBDatabase2(); }
    data::TIBTransaction& IBTransaction1() { return m_components.IBTransaction1(); }
    data::TIBTransaction& IBTransaction2() { return m_components.IBTransaction2(); }
    extract::TIBExtract& IBExtract1() { return m_components.IBExtract1(); }
    data::TIBDataSet& ORIGEM() { return m_components.ORIGEM(); }
    data::TIBQuery& CAMPOS2() { return m_components.CAMPOS2(); }
    data::TSQLConnection& SQLConnection() { return m_components.SQLConnection(); }

    // The process log as one text, entries joined by CR LF (each followed by one).
    std::string processLogText() const { return sync::entriesText(processLog); }

private:
    sync::SyncComponents m_components;
};

} // namespace vistrel::test
