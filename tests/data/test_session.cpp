// Sessions and transactions against the private test server.
#include "data/detail/fbclient.h"
#include "data/errors.h"
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "tests/support/messageof.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/testserver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>

using namespace vistrel::data;
using vistrel::test::messageOf;
using vistrel::test::ScratchDatabase;
using vistrel::test::ScratchOptions;

namespace {

ScratchOptions withSql(const std::string& sql) {
    ScratchOptions o;
    o.sql = sql;
    return o;
}

ScratchOptions dialectOne() {
    ScratchOptions o;
    o.dialect = 1;
    return o;
}

// One session with its default transaction, as the window holds them.
struct Session {
    TIBDatabase db;
    TIBTransaction tr;
    explicit Session(const ScratchDatabase& s, const std::string& password = {}) {
        db.setServerType("IBServer");
        tr.setDefaultDatabase(&db);
        db.setDefaultTransaction(&tr);
        db.setDatabaseName(s.connectionString());
        db.Params().Add("user_name=" + s.user());
        db.Params().Add("password=" + (password.empty() ? s.password() : password));
    }
    int count(const std::string& sql) {
        TIBDataSet c;
        c.setDatabase(&db);
        c.SelectSQL().Add(sql);
        c.Open();
        return c.Fields(0).AsInteger();
    }
    void exec(const std::string& sql) {
        TIBDataSet c;
        c.setDatabase(&db);
        c.ParamCheck = false;
        c.SelectSQL().Add(sql);
        c.ExecSQL();
    }
};

TEST(Session, AttachesAndDetachesWithGoodCredentials) {
    ScratchDatabase s("session");
    Session x(s);
    x.db.setConnected(true);
    EXPECT_TRUE(x.db.Connected());
    x.db.setConnected(true); // second write of true does nothing
    EXPECT_EQ(x.db.SQLDialect(), 3);
    EXPECT_FALSE(x.tr.Active()) << "attach starts no transaction";
    x.db.setConnected(false);
    EXPECT_FALSE(x.db.Connected());
}

TEST(Session, WrongPasswordRaisesServerErrorAndStaysDetached) {
    ScratchDatabase s("badpw");
    Session x(s, "not-the-password");
    try {
        x.db.setConnected(true);
        FAIL() << "attach with a wrong password succeeded";
    } catch (const EIBInterBaseError& e) {
        EXPECT_NE(std::string(e.what()).find("Your user name and password are not defined"),
                  std::string::npos)
            << e.what();
        EXPECT_EQ(e.IBErrorCode(), 335544472);
        EXPECT_EQ(std::string(e.what()).find("SQLCODE"), std::string::npos);
    }
    EXPECT_FALSE(x.db.Connected());
}

TEST(Session, DialectOneDatabaseLowersSQLDialect) {
    ScratchDatabase s("dialect1", dialectOne());
    Session x(s);
    x.db.setConnected(true);
    EXPECT_EQ(x.db.SQLDialect(), 1);
    EXPECT_EQ(x.db.dbSQLDialect(), 1);

    // The same session on a dialect-3 database speaks dialect 3 again: a double-quoted name is a
    // name there, not a string.
    ScratchDatabase three("dialect3", withSql("CREATE TABLE \"t\" (ID INTEGER);"));
    x.db.setConnected(false);
    x.db.setDatabaseName(three.connectionString());
    x.db.setConnected(true);
    EXPECT_EQ(x.db.SQLDialect(), 3);
    EXPECT_EQ(x.count("SELECT COUNT(*) FROM \"t\""), 0);
    x.db.setConnected(false);
}

struct DpbCase {
    const char* name;
    std::vector<std::string> lines;
    bool attaches;
    std::string error;
};

class ParameterBlock : public ::testing::TestWithParam<DpbCase> {};

TEST_P(ParameterBlock, BuiltFromParams) {
    static ScratchDatabase s("dpb");
    const DpbCase& c = GetParam();
    TIBDatabase db;
    db.setDatabaseName(s.connectionString());
    for (auto line : c.lines) {
        auto pos = line.find("$PW");
        if (pos != std::string::npos)
            line.replace(pos, 3, s.password());
        db.Params().Add(line);
    }
    if (c.attaches) {
        EXPECT_NO_THROW(db.setConnected(true));
        EXPECT_TRUE(db.Connected());
        db.setConnected(false);
    } else {
        EXPECT_EQ(messageOf<EIBClientError>([&] { db.setConnected(true); }), c.error);
        EXPECT_FALSE(db.Connected());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParameterBlock,
    ::testing::Values(DpbCase{"plain", {"user_name=SYSDBA", "password=$PW"}, true, ""},
                      DpbCase{"blank_lines", {"", "user_name=SYSDBA", "   ", "password=$PW", ""}, true, ""},
                      DpbCase{"capitals_and_prefix", {"USER_NAME=SYSDBA", "isc_dpb_Password=$PW"}, true, ""},
                      DpbCase{"unknown_name",
                              {"user_name=SYSDBA", "Colour=blue", "password=$PW"},
                              false,
                              "DPB Constant (colour) is unknown"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Session, NameAndParamsCannotChangeWhileAttached) {
    ScratchDatabase s("locked");
    Session x(s);
    x.db.setConnected(true);
    const std::string before = x.db.DatabaseName();
    EXPECT_EQ(messageOf<EIBClientError>([&] { x.db.setDatabaseName("other"); }),
              "Cannot perform operation -- DB is currently open");
    EXPECT_EQ(x.db.DatabaseName(), before);
    EXPECT_EQ(messageOf<EIBClientError>([&] { x.db.Params().Clear(); }),
              "Cannot perform operation -- DB is currently open");
    EXPECT_EQ(x.db.Params().Count(), 2);
}

TEST(Session, EmptyNameIsMissing) {
    TIBDatabase db;
    EXPECT_EQ(messageOf<EIBClientError>([&] { db.setConnected(true); }), "Database name is missing");
}

TEST(Session, DdlCommittedByReconnectAndInvisibleBefore) {
    ScratchDatabase s("reconnect");
    Session x(s);
    x.exec("CREATE GENERATOR G_NEW");
    EXPECT_TRUE(x.tr.Active()) << "executing started the default transaction";
    EXPECT_EQ(s.queryValue("select count(*) from rdb$generators where rdb$generator_name = 'G_NEW';"), "0")
        << "another attachment must not see uncommitted DDL";
    x.db.setConnected(false);
    x.db.setConnected(true);
    EXPECT_FALSE(x.tr.Active());
    EXPECT_EQ(s.queryValue("select count(*) from rdb$generators where rdb$generator_name = 'G_NEW';"), "1");
}

TEST(Session, CommitRefusedAtDetachIsReportedAndRolledBack) {
    ScratchDatabase s("commitfail", withSql("CREATE TABLE T (A INTEGER);\n"
                                            "INSERT INTO T VALUES (1);\n"
                                            "INSERT INTO T VALUES (1);\n"));
    Session x(s);
    // A unique index over duplicates is built at commit, so the server refuses the commit.
    x.exec("CREATE UNIQUE INDEX UQ_T ON T (A)");
    try {
        x.db.setConnected(false);
        FAIL() << "a refused commit passed silently";
    } catch (const EIBInterBaseError& e) {
        EXPECT_NE(std::string(e.what()).find("duplicate"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(x.db.Connected()) << "the session still ends detached";
    EXPECT_FALSE(x.tr.Active());
    EXPECT_EQ(s.queryValue("select count(*) from rdb$indices where rdb$index_name = 'UQ_T';"), "0");
}

// Ending the transactions keeps the attachment: what they executed is committed, their cursors
// close, and the next cursor sees what another attachment committed meanwhile.
TEST(Session, EndTransactionsCommitsAndKeepsTheAttachment) {
    ScratchDatabase s("endtransactions", withSql("CREATE TABLE T (A INTEGER);\n"
                                                 "INSERT INTO T VALUES (1);\n"));
    Session x(s);
    EXPECT_NO_THROW(x.db.endTransactions()) << "a detached session has nothing to end";
    x.db.setConnected(true);
    EXPECT_NO_THROW(x.db.endTransactions()) << "no active transaction: nothing to end";
    const int attachment = x.count("select current_connection from rdb$database");
    TIBDataSet open;
    open.setDatabase(&x.db);
    open.SelectSQL().Add("select a from t");
    open.Open();
    x.exec("CREATE GENERATOR G_KEPT");
    s.runSql("INSERT INTO T VALUES (2);");
    EXPECT_EQ(x.count("select count(*) from t"), 1) << "the snapshot does not see the other commit yet";

    x.db.endTransactions();

    EXPECT_TRUE(x.db.Connected());
    EXPECT_FALSE(x.tr.Active());
    EXPECT_FALSE(open.Active()) << "a cursor of the ended transaction is closed";
    EXPECT_EQ(s.queryValue("select count(*) from rdb$generators where rdb$generator_name = 'G_KEPT';"), "1");
    EXPECT_EQ(x.count("select current_connection from rdb$database"), attachment) << "same attachment";
    EXPECT_EQ(x.count("select count(*) from t"), 2) << "the new transaction sees the other commit";
    open.Open();
    EXPECT_EQ(open.Fields(0).AsInteger(), 1) << "the closed cursor opens again";
}

TEST(Session, EndTransactionsReportsARefusedCommitAndStaysAttached) {
    ScratchDatabase s("endrefused", withSql("CREATE TABLE T (A INTEGER);\n"
                                            "INSERT INTO T VALUES (1);\n"
                                            "INSERT INTO T VALUES (1);\n"));
    Session x(s);
    x.exec("CREATE UNIQUE INDEX UQ_T ON T (A)");
    try {
        x.db.endTransactions();
        FAIL() << "a refused commit passed silently";
    } catch (const EIBInterBaseError& e) {
        EXPECT_NE(std::string(e.what()).find("duplicate"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(x.db.Connected());
    EXPECT_FALSE(x.tr.Active()) << "the refused transaction is rolled back";
    EXPECT_EQ(x.count("select count(*) from rdb$indices where rdb$index_name = 'UQ_T'"), 0);
    x.exec("CREATE GENERATOR G_AFTER");
    x.db.endTransactions();
    EXPECT_EQ(s.queryValue("select count(*) from rdb$generators where rdb$generator_name = 'G_AFTER';"), "1");
}

// Starting afresh tells the session's clients as a detach would, commits, closes every cursor
// bound to the session (also one outside the ended transactions) and keeps the attachment.
TEST(Session, StartAfreshTellsTheClientsCommitsAndKeepsTheAttachment) {
    struct Told final : DatabaseClient {
        int disconnecting = 0;
        void databaseDisconnecting() override { ++disconnecting; }
        void databaseDestroyed() override {}
    };
    ScratchDatabase s("startafresh", withSql("CREATE TABLE T (A INTEGER);\n"
                                             "INSERT INTO T VALUES (1);\n"));
    Session x(s);
    Told told;
    x.db.addClient(&told);
    x.db.startAfresh();
    EXPECT_EQ(told.disconnecting, 0) << "a detached session has nothing to start afresh";
    x.db.setConnected(true);
    const int attachment = x.count("select current_connection from rdb$database");
    TIBTransaction other;
    other.setDefaultDatabase(&x.db);
    TIBDataSet elsewhere;
    elsewhere.setDatabase(&x.db);
    elsewhere.setTransaction(&other);
    elsewhere.SelectSQL().Add("select a from t");
    elsewhere.Open();
    x.exec("CREATE GENERATOR G_AFRESH");

    x.db.startAfresh();

    EXPECT_EQ(told.disconnecting, 1);
    EXPECT_TRUE(x.db.Connected());
    EXPECT_FALSE(x.tr.Active());
    EXPECT_FALSE(other.Active());
    EXPECT_FALSE(elsewhere.Active()) << "every cursor of the session is closed";
    EXPECT_EQ(s.queryValue("select count(*) from rdb$generators where rdb$generator_name = 'G_AFRESH';"),
              "1");
    EXPECT_EQ(x.count("select current_connection from rdb$database"), attachment) << "same attachment";
    elsewhere.Open();
    EXPECT_EQ(elsewhere.Fields(0).AsInteger(), 1) << "the closed cursor opens again";

    x.exec("CREATE UNIQUE INDEX UQ_T ON T (A)");
    s.runSql("INSERT INTO T VALUES (1);");
    EXPECT_THROW(x.db.startAfresh(), EIBInterBaseError) << "a refused commit is raised";
    EXPECT_TRUE(x.db.Connected());
    EXPECT_EQ(told.disconnecting, 2);
    x.db.removeClient(&told);
}

// Every commit that reaches the server is counted with the time its answer took, a refused one
// too; rollbacks and a start afresh with nothing to end are not commits.
TEST(Session, CommitsAreCountedAndTimed) {
    ScratchDatabase s("commitcount", withSql("CREATE TABLE T (A INTEGER);\n"));
    Session x(s);
    x.db.setConnected(true);
    auto commitsAfter = [](const auto& work) {
        const uint64_t count = commitCount();
        const double seconds = commitSeconds();
        work();
        return std::pair{commitCount() - count, commitSeconds() - seconds};
    };

    const auto [explicitCommits, explicitSeconds] = commitsAfter([&] {
        x.tr.StartTransaction();
        x.exec("INSERT INTO T VALUES (1)");
        x.tr.Commit();
    });
    EXPECT_EQ(explicitCommits, 1u);
    EXPECT_GT(explicitSeconds, 0.0);

    EXPECT_EQ(commitsAfter([&] {
                  x.tr.StartTransaction();
                  x.tr.Rollback();
              }).first,
              0u);
    EXPECT_EQ(commitsAfter([&] { x.db.startAfresh(); }).first, 0u) << "no transaction was active";

    const auto [ddlCommits, ddlSeconds] = commitsAfter([&] {
        x.exec("ALTER TABLE T ADD B INTEGER");
        x.db.startAfresh();
    });
    EXPECT_EQ(ddlCommits, 1u);
    EXPECT_GT(ddlSeconds, 0.0);

    x.exec("CREATE UNIQUE INDEX UQ_T ON T (A)");
    s.runSql("INSERT INTO T (A) VALUES (1);");
    EXPECT_EQ(commitsAfter([&] { EXPECT_THROW(x.db.startAfresh(), EIBInterBaseError); }).first, 1u)
        << "a refused commit reached the server";
}

TEST(Transaction, ExplicitStartCommitRollbackAndTheirErrors) {
    ScratchDatabase s("transaction");
    Session x(s);
    EXPECT_EQ(messageOf<EIBClientError>([&] { x.tr.StartTransaction(); }),
              "Cannot perform operation -- DB is not open");
    EXPECT_EQ(messageOf<EIBClientError>([&] { x.tr.Commit(); }), "Transaction is not active");
    x.db.setConnected(true);
    x.tr.StartTransaction();
    EXPECT_EQ(messageOf<EIBClientError>([&] { x.tr.StartTransaction(); }), "Transaction is active");
    x.exec("CREATE GENERATOR G_RB");
    x.tr.Rollback();
    EXPECT_EQ(x.count("select count(*) from rdb$generators where rdb$generator_name = 'G_RB'"), 0);
    x.exec("CREATE GENERATOR G_CM");
    x.tr.Commit();
    EXPECT_EQ(s.queryValue("select count(*) from rdb$generators where rdb$generator_name = 'G_CM';"), "1");
    TIBTransaction lonely;
    EXPECT_EQ(messageOf<EIBClientError>([&] { lonely.StartTransaction(); }),
              "No databases are listed in transaction component");
}

TEST(Session, StoredStartUpAttachSwallowsFailureAndRemembers) {
    TIBDatabase db;
    TIBTransaction tr;
    tr.setDefaultDatabase(&db);
    db.setDefaultTransaction(&tr);
    db.setDatabaseName("127.0.0.1/1:/nowhere/fatura.fdb");
    db.setStreamedConnected(true);
    tr.setStreamedActive(true);
    EXPECT_NO_THROW(db.Loaded());
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(tr.Active());
    // Remembering the stored state makes a later start try the attach (and report its failure).
    EXPECT_THROW(tr.StartTransaction(), EIBInterBaseError);
}

TEST(Session, StoredStartUpAttachStartsTheStoredTransaction) {
    ScratchDatabase s("storedok");
    Session x(s);
    x.db.setStreamedConnected(true);
    x.tr.setStreamedActive(true);
    x.db.Loaded();
    EXPECT_TRUE(x.db.Connected());
    EXPECT_TRUE(x.tr.Active());
}

TEST(Session, MissingClientLibraryNamesTheFile) {
    EXPECT_EQ(messageOf<EIBClientError>([] { detail::loadClient("libnot-a-client.so.9"); }),
              "InterBase library libnot-a-client.so.9 not found in the path. Please install InterBase to use "
              "this functionality");
    TIBDatabase db;
    EXPECT_EQ(messageOf<EIBClientError>([&] { db.setServerType("Oracle"); }),
              "Oracle is not a registered server type");
}

} // namespace

namespace {

// A session on the database named `name`, attached.
std::unique_ptr<TIBDatabase> attachedTo(const std::string& name) {
    auto db = std::make_unique<TIBDatabase>();
    db->setServerType("IBServer");
    db->setDatabaseName(name);
    const vistrel::test::TestServer& server = vistrel::test::TestServer::instance();
    db->Params().Add("user_name=" + server.user());
    db->Params().Add("password=" + server.password());
    db->setConnected(true);
    return db;
}

} // namespace

// The server's own view of the attachment decides: other spellings of the path, another name of
// the host and an alias give the same identity; another database, even of the same file name in
// another folder, does not.
TEST(Session, DatabaseIdentityIsTheServersViewOfTheAttachment) {
    ScratchDatabase a("identidade", "fatura.fdb");
    ScratchDatabase b("identidade", "fatura.fdb");
    const vistrel::test::TestServer& server = vistrel::test::TestServer::instance();
    const std::filesystem::path file = a.path();
    const std::string port = std::to_string(server.port());

    // An alias for a's file in the server's alias list, read again at each attach.
    const std::filesystem::path aliases = server.serverFolder() / "conf" / "databases.conf";
    ASSERT_TRUE(std::filesystem::exists(aliases)) << aliases;
    {
        std::ofstream out(aliases, std::ios::app);
        out << "vistrel_identidade_" << port << " = " << file.string() << "\n";
    }

    const std::string identity = attachedTo(a.connectionString())->databaseIdentity();
    EXPECT_FALSE(identity.empty());
    const std::string spellings[] = {
        "localhost/" + port + ":" + (file.parent_path() / "." / file.filename()).string(),
        "127.0.0.1/" + port + ":" +
            (file.parent_path() / ".." / file.parent_path().filename() / file.filename()).string(),
        "127.0.0.1/" + port + ":vistrel_identidade_" + port,
    };
    for (const std::string& name : spellings) {
        SCOPED_TRACE(name);
        auto session = attachedTo(name);
        EXPECT_EQ(session->databaseIdentity(), identity);
        session->setConnected(false);
    }
    EXPECT_NE(attachedTo(b.connectionString())->databaseIdentity(), identity);
}
