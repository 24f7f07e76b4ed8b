#pragma once
// A widget-free host for driving the processes against real databases: real sessions,
// extractor, stored cursors and direct-execution connection; the panes are vectors of entries.
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/sqlconnection.h"
#include "extract/ibextract.h"
#include "sync/processhost.h"
#include "tests/support/scratchdatabase.h"

#include <memory>
#include <string>
#include <vector>

namespace vistrel::test {

class TestHost : public sync::ProcessHost {
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
    std::string xbancoValue;
    std::string xbanco2Value;
    int processEventsCalls = 0;
    data::TIBDataSet* dataSource1 = nullptr;
    data::TIBDataSet* dataSource2 = nullptr;
    int progressMax = 100;
    int progressPosition = 0;

    void appendProcessLog(const std::string& entry) override { processLog.push_back(entry); }
    void appendErrorLog(const std::string& entry) override { errorLog.push_back(entry); }
    void clearProcessLog() override { processLog.clear(); }
    void clearProcedureBuffer() override { procedureBuffer.clear(); }
    void appendProcedureBuffer(const std::string& entry) override { procedureBuffer.push_back(entry); }
    std::string procedureBufferText() const override;
    bool criarauto() const override { return criarautoValue; }
    bool rapido() const override { return rapidoValue; }
    std::string xbanco() const override { return xbancoValue; }
    std::string xbanco2() const override { return xbanco2Value; }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void processEvents() override { ++processEventsCalls; }
    void setDataSource1(data::TIBDataSet* ds) override { dataSource1 = ds; }
    void setDataSource2(data::TIBDataSet* ds) override { dataSource2 = ds; }
    void setProgressMax(int max) override { progressMax = max; }
    void setProgressPosition(int position) override { progressPosition = position; }
    data::TIBDatabase& IBDatabase1() override { return m_db1; }
    data::TIBDatabase& IBDatabase2() override { return m_db2; }
    extract::TIBExtract& IBExtract1() override { return *m_extract; }
    data::TIBDataSet& ORIGEM() override { return *m_origem; }
    data::TIBQuery& CAMPOS2() override { return *m_campos2; }
    data::TSQLConnection& SQLConnection() override { return *m_sqlConnection; }
    data::TIBDataSet* keepCursor(std::unique_ptr<data::TIBDataSet> cursor) override;

    data::TIBTransaction& IBTransaction1() { return m_tr1; }
    data::TIBTransaction& IBTransaction2() { return m_tr2; }
    // The process log as one text, entries joined by CR LF (each followed by one).
    std::string processLogText() const;

private:
    // Declaration order is destruction order reversed: cursors go before the sessions.
    data::TIBDatabase m_db1;
    data::TIBDatabase m_db2;
    data::TIBTransaction m_tr1;
    data::TIBTransaction m_tr2;
    std::unique_ptr<extract::TIBExtract> m_extract;
    std::unique_ptr<data::TIBDataSet> m_origem;
    std::unique_ptr<data::TIBQuery> m_campos2;
    std::unique_ptr<data::TSQLConnection> m_sqlConnection;
    std::vector<std::unique_ptr<data::TIBDataSet>> m_cursors;
};

} // namespace vistrel::test
