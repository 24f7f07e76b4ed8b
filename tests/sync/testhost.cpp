#include "tests/sync/testhost.h"

#include "sync/processes.h"

namespace vistrel::test {

TestHost::TestHost(const ScratchDatabase& source, const ScratchDatabase& target)
    : xbancoValue(source.fileName()), xbanco2Value(target.fileName()) {
    for (auto [db, tr] : {std::pair{&m_db1, &m_tr1}, std::pair{&m_db2, &m_tr2}}) {
        db->setServerType("IBServer");
        tr->setDefaultDatabase(db);
        db->setDefaultTransaction(tr);
    }
    m_db1.setDatabaseName(source.connectionString());
    m_db1.Params().Add("user_name=" + source.user());
    m_db1.Params().Add("password=" + source.password());
    m_db2.setDatabaseName(target.connectionString());
    m_db2.Params().Add("user_name=" + target.user());
    m_db2.Params().Add("password=" + target.password());
    m_db1.setConnected(true);
    m_db2.setConnected(true);

    m_extract = std::make_unique<extract::TIBExtract>();
    m_extract->setDatabase(&m_db1);
    m_extract->setTransaction(&m_tr1);

    m_origem = std::make_unique<data::TIBDataSet>();
    m_origem->Name = "ORIGEM";
    m_origem->setDatabase(&m_db1);
    m_origem->setTransaction(&m_tr1);
    sync::setupORIGEM(*m_origem);

    m_campos2 = std::make_unique<data::TIBQuery>();
    m_campos2->Name = "CAMPOS2";
    m_campos2->setDatabase(&m_db2);
    m_campos2->setTransaction(&m_tr2);

    m_sqlConnection = std::make_unique<data::TSQLConnection>();
    m_sqlConnection->setConnectionName("FBConnection");
    m_sqlConnection->Params().SetValues("DataBase", target.connectionString());
    m_sqlConnection->Params().Add("User_Name=" + target.user());
    m_sqlConnection->Params().Add("Password=" + target.password());
    m_sqlConnection->setConnected(true);
}

TestHost::~TestHost() {
    m_cursors.clear();
    m_origem.reset();
    m_campos2.reset();
    m_extract.reset();
    // Detach explicitly so that a refused commit cannot pass unnoticed in a test.
    m_db2.setConnected(false);
    m_db1.setConnected(false);
}

std::string TestHost::procedureBufferText() const {
    std::string out;
    for (const auto& e : procedureBuffer)
        out += e + "\r\n";
    return out;
}

std::string TestHost::processLogText() const {
    std::string out;
    for (const auto& e : processLog)
        out += e + "\r\n";
    return out;
}

data::TIBDataSet* TestHost::keepCursor(std::unique_ptr<data::TIBDataSet> cursor) {
    m_cursors.push_back(std::move(cursor));
    return m_cursors.back().get();
}

} // namespace vistrel::test
