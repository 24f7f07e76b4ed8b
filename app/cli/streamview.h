#pragma once
// The command's process view: the panes written to the command's output, the option boxes as the
// command line set them, the message box held until the caller knows where its text belongs. It
// counts what every process reports per object, for the summary and the progress line.
#include "app/cli/output.h"
#include "sync/processview.h"
#include "sync/runcounts.h"

#include <string>
#include <utility>
#include <vector>

namespace vistrel::cli {

using KindCounts = sync::KindCounts;
using sync::kindName;

class StreamView : public sync::ProcessView {
public:
    struct Settings {
        bool criarauto = true;
        bool rapido = false;
        // Whether statements may reach the target at all (off for --dry-run and --check).
        bool targetWrites = true;
        // "Alterar": each process also alters what differs.
        bool alterar = false;
        // Where the statements of a run go instead of the target (--script); nullptr: to the target.
        std::vector<std::string>* script = nullptr;
        std::string sourceFileName;
        std::string targetFileName;
    };
    StreamView(Output& output, Settings settings);

    // Starts counting for one process (sync::RunCounter); `number` and `name` label the progress
    // line.
    void beginProcess(int number, const std::string& name, sync::RunCounter::ViewNames targetViews = {});
    // The counts of the current process, by kind, in the order the kinds were first reported.
    const sync::RunCounts& counts() const noexcept { return m_counter.counts(); }
    // Counts one failure of the object being handled when an error ended the process.
    void countEscapedFailure() { m_counter.countEscapedFailure(); }

    // The message box: the last message is held until the next output, so that the caller can
    // write a message that ends a run (the guard's) where it belongs.
    std::string takePendingMessage();
    void flushPendingMessage();

    // ProcessView
    void appendProcessLog(const std::string& entry) override;
    void appendErrorLog(const std::string& entry) override;
    void clearProcessLog() override {}
    void clearProcedureBuffer() override { m_procedureBuffer.clear(); }
    void appendProcedureBuffer(const std::string& entry) override { m_procedureBuffer.push_back(entry); }
    std::string procedureBufferText() const override { return sync::entriesText(m_procedureBuffer); }
    bool criarauto() const override { return m_settings.criarauto; }
    bool rapido() const override { return m_settings.rapido; }
    bool alterar() const override { return m_settings.alterar; }
    bool sendStatement(const std::string& statement) override;
    bool directExecution() const override { return m_settings.targetWrites; }
    std::string xbanco() const override { return m_settings.sourceFileName; }
    std::string xbanco2() const override { return m_settings.targetFileName; }
    void showMessage(const std::string& text) override;
    void processEvents() override {}
    // A termination signal asks the run to stop before its next object.
    bool stopRequested() const override;
    void setDataSource1(data::TIBDataSet*) override {}
    void setDataSource2(data::TIBDataSet*) override {}
    void setProgressMax(int max) override;
    void setProgressPosition(int) override {}
    void objectEvent(sync::ObjectEvent event, sync::ObjectType kind, const std::string& name) override;

private:
    void showProgress();

    Output& m_output;
    Settings m_settings;
    std::vector<std::string> m_procedureBuffer{"Memo2"};
    std::string m_pendingMessage;
    bool m_messagePending = false;

    int m_processNumber = 0;
    std::string m_processName;
    int m_progressMax = 0;
    int m_walked = 0;
    std::string m_current;
    sync::RunCounter m_counter;
};

} // namespace vistrel::cli
