// A connection lost under an attached session or the direct-execution connection: the real
// server, reached through a TCP relay that the test cuts in the middle (the server keeps running).
// Whatever call meets the loss raises EIBConnectionLost with the operator's message, the session
// has closed itself, later calls raise the same until it attaches again, detaching it reports
// nothing, and the next attach works at the first try once the relay lets connections through.
#include "data/errors.h"
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/sqlconnection.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/tcprelay.h"
#include "tests/support/testserver.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using namespace vistrel::data;
using vistrel::test::ScratchDatabase;
using vistrel::test::TcpRelay;
using vistrel::test::TestServer;

namespace {

// The operator's message for a database name.
std::string lostMessage(const std::string& databaseName) {
    std::string message = kConnectionLostMessage;
    return message.replace(message.find("%s"), 2, databaseName);
}

// Whether the text is the client library's report of a connection it has lost.
bool isNetworkReport(const std::string& text) {
    for (const char* report :
         {"Error writing data to the connection", "Error reading data from the connection",
          "Connection lost to database", "Unable to complete network request"})
        if (text.find(report) != std::string::npos)
            return true;
    return false;
}

// One session through the relay, with its default transaction, as the window holds them.
struct RelayedSession {
    TIBDatabase db;
    TIBTransaction tr;
    RelayedSession(const TcpRelay& relay, const ScratchDatabase& database) {
        db.setServerType("IBServer");
        tr.setDefaultDatabase(&db);
        db.setDefaultTransaction(&tr);
        db.setDatabaseName(relay.host() + ":" + database.path().string());
        db.Params().Add("user_name=" + database.user());
        db.Params().Add("password=" + database.password());
        // As the window stores the source: a transaction start attaches a detached session.
        db.setStreamedConnected(true);
    }
    // A cursor that a case opens before the cut.
    std::unique_ptr<TIBDataSet> heldCursor;
    std::string value(const std::string& sql) {
        TIBDataSet cursor;
        cursor.setDatabase(&db);
        cursor.SelectSQL().Add(sql);
        cursor.Open();
        return cursor.Fields(0).AsString();
    }
};

// The EIBConnectionLost that `call` raises; fails the test when it raises anything else or nothing.
std::string lostMessageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const EIBConnectionLost& lost) {
        EXPECT_TRUE(isNetworkReport(lost.serverMessage())) << lost.serverMessage();
        return lost.what();
    } catch (const std::exception& other) {
        ADD_FAILURE() << "not a lost connection: " << other.what();
        return {};
    }
    ADD_FAILURE() << "no error";
    return {};
}

// A call on the session that meets the cut, made after `prepare` has run (before the cut).
struct LostCall {
    const char* name;
    std::function<void(RelayedSession&)> prepare;
    std::function<void(RelayedSession&)> call;
};

class SessionLost : public ::testing::TestWithParam<LostCall> {};

TEST_P(SessionLost, AnyCallClosesTheSessionAndRaisesTheOperatorsMessage) {
    const ScratchDatabase database("perda",
                                   {.sql = "CREATE TABLE T (N INTEGER);\nINSERT INTO T VALUES (1);\n"});
    TcpRelay relay(TestServer::instance().port());
    RelayedSession session(relay, database);
    session.db.setConnected(true);
    ASSERT_EQ(session.value("SELECT COUNT(*) FROM T"), "1");
    GetParam().prepare(session);

    relay.cut();
    EXPECT_EQ(lostMessageOf([&] { GetParam().call(session); }), lostMessage(session.db.DatabaseName()));
    EXPECT_FALSE(session.db.Connected());
    EXPECT_TRUE(session.db.connectionLost());
    EXPECT_FALSE(session.tr.Active());

    // Until it attaches again, every call says the same: neither a cursor nor a transaction start
    // attaches it behind the caller's back.
    EXPECT_EQ(lostMessageOf([&] { session.value("SELECT COUNT(*) FROM T"); }),
              lostMessage(session.db.DatabaseName()));
    EXPECT_EQ(lostMessageOf([&] { session.tr.StartTransaction(); }), lostMessage(session.db.DatabaseName()));
    EXPECT_FALSE(session.db.Connected());
    // Detaching it has nothing to report.
    EXPECT_NO_THROW(session.db.setConnected(false));

    // Back through the relay: the first attach works and the lost state is gone.
    relay.restore();
    ASSERT_NO_THROW(session.db.setConnected(true));
    EXPECT_FALSE(session.db.connectionLost());
    EXPECT_EQ(session.value("SELECT COUNT(*) FROM T"), "1");
    EXPECT_NO_THROW(session.db.setConnected(false));
}

const auto kNothing = [](RelayedSession&) {};

INSTANTIATE_TEST_SUITE_P(
    Calls, SessionLost,
    ::testing::Values(LostCall{"CursorOpen", kNothing, [](RelayedSession& s) { s.value("SELECT N FROM T"); }},
                      LostCall{"Statement", kNothing,
                               [](RelayedSession& s) {
                                   TIBDataSet statement;
                                   statement.setDatabase(&s.db);
                                   statement.SelectSQL().Add("INSERT INTO T VALUES (2)");
                                   statement.ExecSQL();
                               }},
                      LostCall{"Fetch",
                               [](RelayedSession& s) {
                                   // Far more rows than one packet brings, so that a later fetch asks the
                                   // server.
                                   s.heldCursor = std::make_unique<TIBDataSet>();
                                   s.heldCursor->setDatabase(&s.db);
                                   s.heldCursor->SelectSQL().Add(
                                       "WITH RECURSIVE R (I) AS (SELECT 1 FROM RDB$DATABASE UNION ALL "
                                       "SELECT I + 1 FROM R WHERE I < 100000) SELECT I FROM R");
                                   s.heldCursor->Open();
                               },
                               [](RelayedSession& s) {
                                   while (!s.heldCursor->Eof())
                                       s.heldCursor->Next();
                               }},
                      LostCall{"Commit", [](RelayedSession& s) { s.value("SELECT N FROM T"); },
                               [](RelayedSession& s) { s.tr.Commit(); }},
                      LostCall{"DatabaseInformation", kNothing,
                               [](RelayedSession& s) { (void)s.db.odsMajorVersion(); }},
                      LostCall{"StartAfresh", [](RelayedSession& s) { s.value("SELECT N FROM T"); },
                               [](RelayedSession& s) { s.db.startAfresh(); }}),
    [](const ::testing::TestParamInfo<LostCall>& p) { return std::string(p.param.name); });

// A session idle when its connection goes: detaching it reports nothing (the commit of its open
// transaction and the detach itself both meet the cut) and leaves it closed as lost; the next
// attach works.
TEST(SessionLost, DetachingASessionWhoseConnectionIsGoneReportsNothing) {
    const ScratchDatabase database("perda", {.sql = "CREATE TABLE T (N INTEGER);\n"});
    TcpRelay relay(TestServer::instance().port());
    RelayedSession session(relay, database);
    session.db.setConnected(true);
    ASSERT_EQ(session.value("SELECT COUNT(*) FROM T"), "0");
    ASSERT_TRUE(session.tr.Active());

    relay.cut();
    EXPECT_NO_THROW(session.db.setConnected(false));
    EXPECT_FALSE(session.db.Connected());
    EXPECT_TRUE(session.db.connectionLost());

    relay.restore();
    ASSERT_NO_THROW(session.db.setConnected(true));
    EXPECT_FALSE(session.db.connectionLost());
    EXPECT_EQ(session.value("SELECT COUNT(*) FROM T"), "0");
    session.db.setConnected(false);
}

// The server's own refusals are no lost connection: the session stays attached and usable.
TEST(SessionLost, AServerErrorLeavesTheSessionAttached) {
    const ScratchDatabase database("perda");
    TcpRelay relay(TestServer::instance().port());
    RelayedSession session(relay, database);
    session.db.setConnected(true);
    try {
        session.value("SELECT NOTHING FROM NOWHERE");
        ADD_FAILURE() << "no error";
    } catch (const EIBConnectionLost& lost) {
        ADD_FAILURE() << "taken for a lost connection: " << lost.serverMessage();
    } catch (const EIBInterBaseError& error) {
        EXPECT_EQ(error.SQLCode(), -204) << error.what();
    }
    EXPECT_TRUE(session.db.Connected());
    EXPECT_FALSE(session.db.connectionLost());
    EXPECT_EQ(session.value("SELECT COUNT(*) FROM RDB$DATABASE"), "1");
    session.db.setConnected(false);
}

// The direct-execution connection: a statement or a commit that meets the cut raises the operator's
// message and closes the connection; the next statement connects again.
TEST(DirectConnectionLost, StatementAndCommitRaiseTheOperatorsMessageAndTheNextStatementConnects) {
    const ScratchDatabase database("perda", {.sql = "CREATE TABLE T (N INTEGER);\n"});
    TcpRelay relay(TestServer::instance().port());
    const std::string name = relay.host() + ":" + database.path().string();
    TSQLConnection connection;
    connection.Params().SetValues("DataBase", name);
    connection.Params().Add("User_Name=" + database.user());
    connection.Params().Add("Password=" + database.password());
    TTransactionDesc desc;
    desc.TransactionID = 1;

    for (const bool atCommit : {false, true}) {
        SCOPED_TRACE(atCommit ? "at the commit" : "at the statement");
        connection.StartTransaction(desc);
        if (atCommit)
            connection.ExecuteDirect("INSERT INTO T VALUES (1)");
        relay.cut();
        EXPECT_EQ(lostMessageOf([&] {
                      if (atCommit)
                          connection.Commit(desc);
                      else
                          connection.ExecuteDirect("INSERT INTO T VALUES (1)");
                  }),
                  lostMessage(name));
        EXPECT_FALSE(connection.Connected());
        EXPECT_TRUE(connection.connectionLost());
        EXPECT_EQ(connection.activeTransactionCount(), 0);

        relay.restore();
        EXPECT_EQ(connection.ExecuteDirect("INSERT INTO T VALUES (2)"), 1);
        EXPECT_FALSE(connection.connectionLost());
    }
    connection.setConnected(false);
    // Nothing that met the cut was committed; what came after was.
    EXPECT_EQ(database.queryValue("SELECT COUNT(*) FROM T WHERE N = 1"), "0");
    EXPECT_EQ(database.queryValue("SELECT COUNT(*) FROM T WHERE N = 2"), "2");
}

} // namespace
