#pragma once
// What a process needs of the window: the panes, the option boxes, the message box, the event
// loop, the grids' data sources and the components the window owns. The window implements it;
// tests drive the processes through the real window on the offscreen platform.
#include <memory>
#include <string>
#include <vector>

namespace vistrel::data {
class TIBDatabase;
class TIBDataSet;
class TIBQuery;
class TSQLConnection;
} // namespace vistrel::data

namespace vistrel::extract {
class TIBExtract;
}

namespace vistrel::sync {

class ProcessHost {
public:
    virtual ~ProcessHost() = default;

    // Process log (Memo1) and error log (Memo3): one entry appended at the end. Entries are
    // byte strings exactly as read from the databases or built by the processes.
    virtual void appendProcessLog(const std::string& entry) = 0;
    virtual void appendErrorLog(const std::string& entry) = 0;
    virtual void clearProcessLog() = 0;

    // Procedure buffer (Memo2).
    virtual void clearProcedureBuffer() = 0;
    virtual void appendProcedureBuffer(const std::string& entry) = 0;
    virtual std::string procedureBufferText() const = 0; // every entry followed by CR LF

    virtual bool criarauto() const = 0;
    virtual bool rapido() const = 0;
    // File-name fields of both rows, for the same-name guard.
    virtual std::string xbanco() const = 0;
    virtual std::string xbanco2() const = 0;

    virtual void showMessage(const std::string& text) = 0;
    // One pass of the event loop.
    virtual void processEvents() = 0;

    // Point DataSource1 / DataSource2 at a cursor (nullptr: at nothing).
    virtual void setDataSource1(data::TIBDataSet* dataSet) = 0;
    virtual void setDataSource2(data::TIBDataSet* dataSet) = 0;

    virtual void setProgressMax(int max) = 0;
    virtual void setProgressPosition(int position) = 0;

    // Components owned by the window.
    virtual data::TIBDatabase& IBDatabase1() = 0;
    virtual data::TIBDatabase& IBDatabase2() = 0;
    virtual extract::TIBExtract& IBExtract1() = 0;
    virtual data::TIBDataSet& ORIGEM() = 0;
    virtual data::TIBQuery& CAMPOS2() = 0;
    virtual data::TSQLConnection& SQLConnection() = 0;

    // Cursors created by a run have no owner while the program runs; the window keeps them so
    // that they live until it closes (a grid may still point at them).
    virtual data::TIBDataSet* keepCursor(std::unique_ptr<data::TIBDataSet> cursor) = 0;
};

} // namespace vistrel::sync
