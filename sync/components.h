#pragma once
// The components the processes work on, owned and wired in one place: the source and target
// sessions with their transactions, the stored cursor ORIGEM, the stored statement CAMPOS2, the
// extractor and the direct-execution connection, and the cursors that runs create. The window
// holds one; so do a widget-free program, the tests and the benchmark.
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/sqlconnection.h"
#include "extract/ibextract.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vistrel::sync {

class SyncComponents {
public:
    // Binds each transaction and session to the other, ORIGEM (with its stored statement and
    // fields) and the extractor to the source, CAMPOS2 to the target, and loads the client library:
    // a library that cannot be loaded fails the construction with its error. Nothing attaches.
    SyncComponents();
    // Run cursors go first, then the stored components, then the sessions (detached without a
    // report; detach them before to learn of a refused commit).
    ~SyncComponents();
    SyncComponents(const SyncComponents&) = delete;
    SyncComponents& operator=(const SyncComponents&) = delete;

    data::TIBDatabase& IBDatabase1() { return m_source; }
    data::TIBDatabase& IBDatabase2() { return m_target; }
    data::TIBTransaction& IBTransaction1() { return m_sourceTransaction; }
    data::TIBTransaction& IBTransaction2() { return m_targetTransaction; }
    data::TIBDataSet& ORIGEM() { return m_origem; }
    data::TIBQuery& CAMPOS2() { return m_campos2; }
    extract::TIBExtract& IBExtract1() { return m_extractor; }
    data::TSQLConnection& SQLConnection() { return m_directConnection; }

    // Replaces a session's login: its database name and the user name and password parameters.
    // The session must be detached.
    void setSourceLogin(const std::string& databaseName, const std::string& user,
                        const std::string& password);
    void setTargetLogin(const std::string& databaseName, const std::string& user,
                        const std::string& password);
    // Detaches the direct-execution connection, points it at the target database and attaches it.
    void connectDirectConnection(const std::string& databaseName, const std::string& user,
                                 const std::string& password);

    // Starts a run: releases the cursors of earlier runs that nothing observes any more (no grid
    // shows them), so the cursors held do not grow with the runs.
    void beginRun();
    // A new run cursor bound to the source (IBDatabase1) or the target (IBDatabase2), held until
    // a later run begins and nothing observes it.
    data::TIBDataSet& newSourceCursor();
    data::TIBDataSet& newTargetCursor();
    // Keeps a cursor until the components go.
    data::TIBDataSet* keepCursor(std::unique_ptr<data::TIBDataSet> cursor);
    // The cursors held: those kept and the run cursors not yet released.
    std::size_t keptCursorCount() const noexcept { return m_keptCursors.size() + m_runCursors.size(); }

    // Gives the processes what a target reconnect stands for, on the attachment already held:
    // the target's clients are told as at a detach (its cursors close, its statements lose their
    // prepared state), its open transaction is committed (a refused commit raises its error) and
    // the next statement starts a new transaction that sees the schema as committed.
    void targetReconnect();

private:
    data::TIBDataSet& newRunCursor(data::TIBDatabase& session);

    // Declaration order: the sessions outlive everything bound to them.
    data::TIBDatabase m_source;               // IBDatabase1
    data::TIBDatabase m_target;               // IBDatabase2
    data::TIBTransaction m_sourceTransaction; // IBTransaction1
    data::TIBTransaction m_targetTransaction; // IBTransaction2
    data::TSQLConnection m_directConnection;  // SQLConnection
    data::TIBDataSet m_origem;                // ORIGEM
    data::TIBQuery m_campos2;                 // CAMPOS2
    extract::TIBExtract m_extractor;          // IBExtract1
    std::vector<std::unique_ptr<data::TIBDataSet>> m_keptCursors;
    std::vector<std::unique_ptr<data::TIBDataSet>> m_runCursors;
};

} // namespace vistrel::sync
