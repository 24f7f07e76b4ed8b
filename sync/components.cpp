#include "sync/components.h"

#include "sync/processes.h"

#include <utility>

namespace vistrel::sync {

namespace {

constexpr char kServerType[] = "IBServer";

// The direct-execution connection as the target's "Conectar" configures it.
constexpr char kConnectionName[] = "FBConnection";
constexpr char kDriverName[] = "Firebird";
constexpr char kGetDriverFunc[] = "getSQLDriverINTERBASE";

void setLogin(data::TIBDatabase& session, const std::string& databaseName, const std::string& user,
              const std::string& password) {
    session.Params().Clear();
    session.setDatabaseName(databaseName);
    session.Params().Add("user_name=" + user);
    session.Params().Add("password=" + password);
}

} // namespace

SyncComponents::SyncComponents() {
    m_sourceTransaction.setDefaultDatabase(&m_source);
    m_targetTransaction.setDefaultDatabase(&m_target);
    m_source.setDefaultTransaction(&m_sourceTransaction);
    m_target.setDefaultTransaction(&m_targetTransaction);

    // Loads the client library.
    m_source.setServerType(kServerType);
    m_target.setServerType(kServerType);

    m_origem.Name = "ORIGEM";
    m_origem.setDatabase(&m_source);
    m_origem.setTransaction(&m_sourceTransaction);
    setupORIGEM(m_origem);

    m_campos2.Name = "CAMPOS2";
    m_campos2.setDatabase(&m_target);
    m_campos2.setTransaction(&m_targetTransaction);

    m_extractor.setDatabase(&m_source);
    m_extractor.setTransaction(&m_sourceTransaction);
}

SyncComponents::~SyncComponents() = default;

void SyncComponents::setSourceLogin(const std::string& databaseName, const std::string& user,
                                    const std::string& password) {
    setLogin(m_source, databaseName, user, password);
}

void SyncComponents::setTargetLogin(const std::string& databaseName, const std::string& user,
                                    const std::string& password) {
    setLogin(m_target, databaseName, user, password);
}

void SyncComponents::connectDirectConnection(const std::string& databaseName, const std::string& user,
                                             const std::string& password) {
    data::TSQLConnection& connection = m_directConnection;
    connection.setConnected(false);
    connection.setConnectionName(kConnectionName);
    connection.DriverName = kDriverName;
    connection.Params().SetValues("DataBase", databaseName);
    connection.Params().Add("User_Name=" + user);
    connection.Params().Add("Password=" + password);
    connection.GetDriverFunc = kGetDriverFunc;
    connection.VendorLib = data::kClientLibraryName;
    connection.setConnected(true);
}

void SyncComponents::beginRun() {
    std::erase_if(m_runCursors,
                  [](const std::unique_ptr<data::TIBDataSet>& cursor) { return !cursor->Observed(); });
}

data::TIBDataSet& SyncComponents::newRunCursor(data::TIBDatabase& session) {
    auto cursor = std::make_unique<data::TIBDataSet>();
    cursor->setDatabase(&session);
    m_runCursors.push_back(std::move(cursor));
    return *m_runCursors.back();
}

data::TIBDataSet& SyncComponents::newSourceCursor() {
    return newRunCursor(m_source);
}

data::TIBDataSet& SyncComponents::newTargetCursor() {
    return newRunCursor(m_target);
}

data::TIBDataSet* SyncComponents::keepCursor(std::unique_ptr<data::TIBDataSet> cursor) {
    m_keptCursors.push_back(std::move(cursor));
    return m_keptCursors.back().get();
}

void SyncComponents::targetReconnect() {
    m_target.startAfresh();
}

} // namespace vistrel::sync
