#pragma once
// What a process writes and reads on its window: the panes, the option boxes, the message box,
// the event loop and the grids' data sources. The window implements it; a widget-free program or
// a test implements it over streams or vectors. The components a process works on are in
// sync/components.h.
#include "sync/objectevents.h"

#include <string>

namespace vistrel::data {
class TIBDataSet;
}

namespace vistrel::sync {

class ProcessView {
public:
    virtual ~ProcessView() = default;

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
    // "Alterar": after its walk a process also brings what differs into line (off unless asked).
    virtual bool alterar() const { return false; }
    // Told of every statement a run is about to send to the target. A view that writes the script
    // of a run answers false: the statement is then recorded there and not sent.
    virtual bool sendStatement(const std::string& /*statement*/) { return true; }
    // Whether the procedure process executes its statements through the direct-execution
    // connection. The window always lets it, whatever criarauto says; the command's dry run and
    // check do not.
    virtual bool directExecution() const { return true; }
    // File-name fields of both rows, for the same-name guard.
    virtual std::string xbanco() const = 0;
    virtual std::string xbanco2() const = 0;

    virtual void showMessage(const std::string& text) = 0;
    // One pass of the event loop.
    virtual void processEvents() = 0;

    // Point DataSource1 / DataSource2 at a cursor (nullptr: at nothing).
    virtual void setDataSource1(data::TIBDataSet* dataSet) = 0;
    virtual void setDataSource2(data::TIBDataSet* dataSet) = 0;

    // Whether the run is to stop before its next object (the program is ending).
    virtual bool stopRequested() const { return false; }

    virtual void setProgressMax(int max) = 0;
    virtual void setProgressPosition(int position) = 0;

    // One object's step of a walk (see sync/objectevents.h); the window does nothing with it.
    virtual void objectEvent(ObjectEvent /*event*/, ObjectType /*type*/, const std::string& /*name*/) {}
};

// Every entry followed by CR LF: the text of the procedure buffer and of a recorded log.
template <class Entries> std::string entriesText(const Entries& entries) {
    std::string text;
    for (const std::string& entry : entries)
        text += entry + "\r\n";
    return text;
}

} // namespace vistrel::sync
