// The direct-execution connection against the private test server. What the connection did is
// checked through isql (ScratchDatabase), a separate attachment that shares nothing with it.
#include "data/errors.h"
#include "data/ibdatabase.h"
#include "data/sqlconnection.h"
#include "tests/support/catalogue.h"
#include "tests/support/messageof.h"
#include "tests/support/scratchdatabase.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

using namespace vistrel::data;
using vistrel::test::messageOf;
using vistrel::test::relationCount;
using vistrel::test::ScratchDatabase;
using vistrel::test::ScratchOptions;

namespace {

constexpr const char* kWrongLogin = "Your user name and password are not defined. Ask your database "
                                    "administrator to set up a Firebird login.";

ScratchOptions withSql(const std::string& sql) {
    ScratchOptions o;
    o.sql = sql;
    return o;
}

// Configures the connection the way the target connect handler does: the database line set in
// place, a user name and a password line appended.
void configure(TSQLConnection& c, const ScratchDatabase& db, const std::string& password) {
    c.setConnectionName("FBConnection");
    c.DriverName = "Firebird";
    c.Params().SetValues("DataBase", db.connectionString());
    c.Params().Add("User_Name=" + db.user());
    c.Params().Add("Password=" + password);
}

TTransactionDesc desc(uint32_t id, TTransIsolationLevel level = xilREADCOMMITTED) {
    TTransactionDesc d;
    d.TransactionID = id;
    d.IsolationLevel = level;
    return d;
}

std::vector<std::string> linesNamed(const TStringList& list, const std::string& name) {
    std::vector<std::string> out;
    for (const auto& line : list.items()) {
        if (equalsIgnoreCase(line.substr(0, line.find('=')), name))
            out.push_back(line);
    }
    return out;
}

// The values of a one-column query joined by commas, in the query's order.
std::string listOf(const ScratchDatabase& db, const std::string& query) {
    return db.queryValue("select coalesce(cast(list(x) as varchar(500)), '') from (" + query + ") as q(x)");
}

int tableCount(const ScratchDatabase& db, const std::string& name) {
    return std::stoi(relationCount(db, name));
}

// ---------------------------------------------------------------------------------------------
// Parameters

TEST(SQLConnectionParams, StoredLinesInStoredOrder) {
    TSQLConnection c;
    const std::vector<std::string> settings = {std::string("VendorLib=") + kClientLibraryName,
                                               "Database=database.fdb",
                                               "User_Name=sysdba",
                                               "Password=masterkey",
                                               "Role=RoleName",
                                               "MaxBlobSize=-1",
                                               "LocaleCode=0000",
                                               "IsolationLevel=ReadCommitted",
                                               "SQLDialect=3",
                                               "CommitRetain=true",
                                               "WaitOnLocks=True",
                                               "TrimChar=False"};
    std::vector<std::string> got;
    for (const auto& line : c.Params().items()) {
        for (const auto& s : settings) {
            if (line == s)
                got.push_back(line);
        }
    }
    EXPECT_EQ(got, settings);
    EXPECT_EQ(c.Params().Values("LibraryName"), "dbxfb.dll");
    EXPECT_EQ(c.Params().Values("GetDriverFunc"), "getSQLDriverINTERBASE");
    EXPECT_FALSE(c.Connected()) << "stored properties do not connect";
    EXPECT_FALSE(c.KeepConnection);
    EXPECT_FALSE(c.LoginPrompt);
    EXPECT_EQ(c.DriverName, "Firebird");
}

TEST(SQLConnectionParams, SetValuesReplacesFirstLineOfNameWithoutRegardToCaseAddAppends) {
    TSQLConnection c;
    const int count = c.Params().Count();
    const int at = c.Params().IndexOfName("Database");
    ASSERT_GE(at, 0);
    c.Params().Add("DATABASE=second");
    c.Params().SetValues("dataBASE", "h:/x.fdb");
    EXPECT_EQ(c.Params()[at], "dataBASE=h:/x.fdb");
    EXPECT_EQ(c.Params()[count], "DATABASE=second") << "only the first line of the name is replaced";
    EXPECT_EQ(c.Params().Count(), count + 1);
}

TEST(SQLConnectionParams, ThreeAppendedPasswordsTheLastTakesEffectAndIsWrittenOverTheFirst) {
    ScratchDatabase db("sqlc_pw3");
    TSQLConnection c;
    for (const std::string pw : {"wrong-1", "wrong-2"}) {
        configure(c, db, pw);
        EXPECT_THROW(c.setConnected(true), EIBInterBaseError);
        EXPECT_FALSE(c.Connected());
    }
    configure(c, db, db.password());
    c.setConnected(true);
    EXPECT_TRUE(c.Connected());

    const auto passwords = linesNamed(c.Params(), "Password");
    const std::vector<std::string> expected = {"Password=" + db.password(), "Password=wrong-1",
                                               "Password=wrong-2", "Password=" + db.password()};
    EXPECT_EQ(passwords, expected) << "the stored line carries the operator's latest entry";
    const auto users = linesNamed(c.Params(), "User_Name");
    ASSERT_EQ(users.size(), 4u);
    for (const auto& u : users)
        EXPECT_EQ(u, "User_Name=" + db.user());
    c.setConnected(false);
}

TEST(SQLConnectionParams, AWrongLastPasswordFailsWithTheServerMessageEvenAfterAGoodOne) {
    ScratchDatabase db("sqlc_pwbad");
    TSQLConnection c;
    configure(c, db, db.password());
    c.Params().Add("Password=not-the-password");
    try {
        c.setConnected(true);
        FAIL() << "attach with a wrong password succeeded";
    } catch (const EIBInterBaseError& e) {
        EXPECT_EQ(std::string(e.what()), kWrongLogin);
        EXPECT_EQ(e.IBErrorCode(), 335544472);
    }
    EXPECT_FALSE(c.Connected());
    // The first Password line, once overwritten by the good entry, now carries the wrong one.
    EXPECT_EQ(c.Params().Values("Password"), "not-the-password");
}

TEST(SQLConnectionParams, AnEmptyLastPasswordIsNotReplacedByTheStoredOne) {
    ScratchDatabase db("sqlc_pwempty");
    TSQLConnection c;
    c.Params().SetValues("Password", db.password()); // the stored default is the right password
    configure(c, db, "");
    EXPECT_THROW(c.setConnected(true), EIBInterBaseError);
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(c.Params().Values("Password"), db.password()) << "an empty entry is not written over the first";
}

TEST(SQLConnectionParams, ALaterDatabaseLineOverridesAnEarlierOne) {
    ScratchDatabase db("sqlc_dbline");
    TSQLConnection c;
    configure(c, db, db.password());
    c.Params().SetValues("Database", db.host() + ":/no/such/folder/none.fdb");
    c.Params().Add("database=" + db.connectionString());
    c.setConnected(true);
    EXPECT_TRUE(c.Connected());
    c.setConnected(false);
}

TEST(SQLConnectionParams, AMissingClientLibraryIsReportedWithItsFileName) {
    ScratchDatabase db("sqlc_nolib");
    TSQLConnection c;
    configure(c, db, db.password());
    c.VendorLib = "libvistrel-no-such-client.so";
    EXPECT_EQ(
        messageOf<EIBClientError>([&] { c.setConnected(true); }),
        "InterBase library libvistrel-no-such-client.so not found in the path. Please install InterBase to "
        "use this functionality");
    EXPECT_FALSE(c.Connected());
}

// A Role line names a role for the attachment. The stored "RoleName" is no role of the database:
// the server then attaches without one (every other test here attaches with it).
TEST(SQLConnectionParams, TheRoleLineIsSentAndARealRoleTakesEffect) {
    const std::string user = "VSQLC_" + std::to_string(getpid());
    ScratchDatabase db("sqlc_role", withSql("create table t (id integer);\n"
                                            "create role RoleName;\n"
                                            "grant insert on t to role RoleName;\n"));
    db.runSql("create or alter user " + user + " password 'pw-" + user + "';\n" + "grant RoleName to " +
              user + ";\n");
    struct DropUser {
        const ScratchDatabase& db;
        std::string user;
        ~DropUser() {
            try {
                db.runSql("drop user " + user + ";\n");
            } catch (...) {
            }
        }
    } dropUser{db, user};

    TSQLConnection c;
    c.Params().SetValues("DataBase", db.connectionString());
    c.Params().Add("User_Name=" + user);
    c.Params().Add("Password=pw-" + user);
    EXPECT_EQ(c.ExecuteDirect("insert into t values (1)"), 1) << "the privilege comes from the role";

    c.Params().SetValues("Role", "");
    try {
        c.ExecuteDirect("insert into t values (2)");
        FAIL() << "insert without the role succeeded";
    } catch (const EIBInterBaseRoleError& e) {
        EXPECT_EQ(e.SQLCode(), -551);
    }
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(listOf(db, "select id from t"), "1");
}

// ---------------------------------------------------------------------------------------------
// Transactions and direct execution

TEST(SQLConnection, StartExecuteCommitCreatesAnObjectAnotherAttachmentSeesThenCloses) {
    ScratchDatabase db("sqlc_basic");
    TSQLConnection c;
    configure(c, db, db.password());
    ASSERT_FALSE(c.Connected());

    c.StartTransaction(desc(1));
    EXPECT_TRUE(c.Connected()) << "StartTransaction connects first";
    EXPECT_EQ(c.activeTransactionCount(), 1);
    EXPECT_EQ(c.ExecuteDirect("create table made_here (id integer)"), 0);
    EXPECT_EQ(tableCount(db, "MADE_HERE"), 0) << "not visible before the commit";
    c.Commit(desc(1));

    EXPECT_EQ(tableCount(db, "MADE_HERE"), 1);
    EXPECT_EQ(c.activeTransactionCount(), 0);
    EXPECT_FALSE(c.Connected()) << "KeepConnection false: a commit that leaves nothing active closes";

    // The next round attaches anew.
    c.StartTransaction(desc(1));
    EXPECT_TRUE(c.Connected());
    EXPECT_EQ(c.ExecuteDirect("insert into made_here values (7)"), 1);
    c.Commit(desc(1));
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(db.queryValue("select id from made_here"), "7");
}

TEST(SQLConnection, KeepConnectionTrueStaysOpenAfterTheLastCommit) {
    ScratchDatabase db("sqlc_keep");
    TSQLConnection c;
    configure(c, db, db.password());
    c.KeepConnection = true;
    c.StartTransaction(desc(1));
    c.ExecuteDirect("create table kept (id integer)");
    c.Commit(desc(1));
    EXPECT_TRUE(c.Connected());
    c.setConnected(false);
    EXPECT_EQ(tableCount(db, "KEPT"), 1);
}

TEST(SQLConnection, AFailingStatementLeavesItsTransactionOpenAndTheNextRoundStillCommits) {
    ScratchDatabase db("sqlc_fail", withSql("create table t (id integer);\n"));
    TSQLConnection c;
    configure(c, db, db.password());

    c.StartTransaction(desc(1));
    EXPECT_EQ(c.ExecuteDirect("insert into t values (1)"), 1);
    const std::string message =
        messageOf<EIBInterBaseError>([&] { c.ExecuteDirect("create table t (id integer)"); });
    EXPECT_NE(message.find("Table T already exists"), std::string::npos) << message;
    EXPECT_TRUE(c.Connected());
    EXPECT_EQ(c.activeTransactionCount(), 1) << "nothing is rolled back on a failure";

    // The procedure process's next round: same descriptor.
    c.StartTransaction(desc(1));
    EXPECT_EQ(c.activeTransactionCount(), 2);
    c.ExecuteDirect("create table after_failure (id integer)");
    c.Commit(desc(1));
    EXPECT_EQ(tableCount(db, "AFTER_FAILURE"), 1) << "the newer transaction was committed";
    EXPECT_EQ(c.activeTransactionCount(), 1);
    EXPECT_TRUE(c.Connected()) << "the failed transaction still active keeps the connection open";

    // And once more: every later round commits too.
    c.StartTransaction(desc(1));
    c.ExecuteDirect("insert into after_failure values (2)");
    c.Commit(desc(1));
    EXPECT_EQ(db.queryValue("select count(*) from after_failure"), "1");

    EXPECT_EQ(db.queryValue("select count(*) from t"), "0") << "the failed transaction's work is pending";
    c.setConnected(false);
    EXPECT_EQ(c.activeTransactionCount(), 0);
    EXPECT_EQ(db.queryValue("select count(*) from t"), "0") << "closing rolls the failed transaction back";
}

TEST(SQLConnection, CommitWalksTheStackEntriesAboveTheMatchStayActiveUntilClose) {
    ScratchDatabase db("sqlc_walk", withSql("create table t (id integer);\n"));
    TSQLConnection c;
    configure(c, db, db.password());

    c.StartTransaction(desc(1));
    c.ExecuteDirect("insert into t values (1)");
    c.StartTransaction(desc(2));
    c.ExecuteDirect("insert into t values (2)");

    c.Commit(desc(1));
    EXPECT_EQ(listOf(db, "select id from t"), "1") << "the matching entry was committed";
    EXPECT_EQ(c.activeTransactionCount(), 1) << "the entry above it was taken off without ending it";
    EXPECT_TRUE(c.Connected());
    EXPECT_EQ(messageOf<EDatabaseError>([&] { c.Commit(desc(2)); }), "There is no active transaction")
        << "an entry taken off the stack can no longer be committed";

    // The transaction taken off the stack no longer receives statements: they run on their own.
    EXPECT_EQ(c.ExecuteDirect("insert into t values (3)"), 1);
    EXPECT_EQ(listOf(db, "select id from t order by id"), "1,3");
    EXPECT_TRUE(c.Connected());

    c.setConnected(false);
    EXPECT_EQ(c.activeTransactionCount(), 0);
    EXPECT_EQ(listOf(db, "select id from t order by id"), "1,3") << "closing rolled back id 2";
}

TEST(SQLConnection, DestroyingTheConnectionRollsBackWhatIsActive) {
    ScratchDatabase db("sqlc_dtor", withSql("create table t (id integer);\n"));
    {
        TSQLConnection c;
        configure(c, db, db.password());
        c.StartTransaction(desc(1));
        c.ExecuteDirect("insert into t values (1)");
    }
    EXPECT_EQ(db.queryValue("select count(*) from t"), "0");
}

TEST(SQLConnection, CommitWithoutTransactionAndWithAnUnknownID) {
    ScratchDatabase db("sqlc_notr", withSql("create table t (id integer);\n"));
    TSQLConnection c;
    configure(c, db, db.password());
    EXPECT_EQ(messageOf<EDatabaseError>([&] { c.Commit(desc(1)); }), "There is no active transaction");
    c.setConnected(true);
    EXPECT_EQ(messageOf<EDatabaseError>([&] { c.Commit(desc(1)); }), "There is no active transaction");

    // An ID matching no entry leaves the stack as it was.
    c.StartTransaction(desc(1));
    c.ExecuteDirect("insert into t values (1)");
    EXPECT_EQ(messageOf<EDatabaseError>([&] { c.Commit(desc(5)); }), "There is no active transaction");
    EXPECT_EQ(c.activeTransactionCount(), 1);
    c.Commit(desc(1));
    EXPECT_EQ(db.queryValue("select count(*) from t"), "1");
    EXPECT_FALSE(c.Connected());
}

TEST(SQLConnection, ExecuteDirectWithoutTransactionCommitsItsOwnAndCloses) {
    ScratchDatabase db("sqlc_auto", withSql("create table t (id integer);\n"));
    TSQLConnection c;
    configure(c, db, db.password());
    EXPECT_EQ(c.ExecuteDirect("insert into t values (4)"), 1);
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(c.activeTransactionCount(), 0);
    EXPECT_EQ(db.queryValue("select id from t"), "4");

    EXPECT_THROW(c.ExecuteDirect("insert into t values ('not a number')"), EIBInterBaseError);
    EXPECT_EQ(c.activeTransactionCount(), 0) << "its own transaction is rolled back on failure";
    EXPECT_EQ(db.queryValue("select count(*) from t"), "1");
    c.setConnected(false);
}

// Statements are prepared in the database's dialect when it is below 3: a dialect-1 database takes
// DDL (it refuses every DDL statement prepared in dialect 3) and reads double quotes as a string.
TEST(SQLConnection, ADialectOneDatabaseGetsItsStatementsInDialectOne) {
    ScratchDatabase db("sqlc_d1", {.sql = "create table t (s varchar(10));\n", .dialect = 1});
    TSQLConnection c;
    configure(c, db, db.password());
    c.ExecuteDirect("create exception e_d1 'feita'");
    EXPECT_EQ(db.queryValue("select rdb$exception_name from rdb$exceptions"), "E_D1");
    EXPECT_EQ(c.ExecuteDirect("insert into t values (\"dupla\")"), 1);
    EXPECT_EQ(db.queryValue("select s from t"), "dupla");

    ScratchDatabase three("sqlc_d3", withSql("create table t (s varchar(10));\n"));
    TSQLConnection d;
    configure(d, three, three.password());
    EXPECT_THROW(d.ExecuteDirect("insert into t values (\"dupla\")"), EIBInterBaseError);
}

struct RowsCase {
    const char* sql;
    int rows;
};

class SQLConnectionRows : public ::testing::TestWithParam<RowsCase> {};

TEST_P(SQLConnectionRows, ReturnsRowsInsertedUpdatedOrDeleted) {
    ScratchDatabase db("sqlc_rows", withSql("create table t (id integer, s varchar(5));\n"
                                            "insert into t values (1, 'a');\n"
                                            "insert into t values (2, 'b');\n"
                                            "insert into t values (3, 'a');\n"));
    TSQLConnection c;
    configure(c, db, db.password());
    c.StartTransaction(desc(1));
    EXPECT_EQ(c.ExecuteDirect(GetParam().sql), GetParam().rows);
    c.Commit(desc(1));
}

INSTANTIATE_TEST_SUITE_P(
    Statements, SQLConnectionRows,
    ::testing::Values(RowsCase{"insert into t values (9, 'z')", 1},
                      RowsCase{"insert into t select id + 10, s from t", 3},
                      RowsCase{"update t set s = 'c' where s = 'a'", 2},
                      RowsCase{"update t set s = 'c' where 1 = 0", 0},
                      RowsCase{"delete from t where id > 1", 2}, RowsCase{"select * from t", 0},
                      RowsCase{"create table u (id integer)", 0},
                      RowsCase{"update or insert into t (id, s) values (1, 'q') matching (id)", 1}),
    [](const auto& param) { return "case" + std::to_string(param.index); });

// Read committed sees another attachment's commit between two statements; repeatable read
// (snapshot) does not. Dirty read and custom have no Firebird counterpart and run read committed.
struct IsolationCase {
    TTransIsolationLevel level;
    const char* seen;
};

class SQLConnectionIsolation : public ::testing::TestWithParam<IsolationCase> {};

TEST_P(SQLConnectionIsolation, MapsTheDescriptorIsolation) {
    ScratchDatabase db("sqlc_iso", withSql("create table t (id integer);\n"
                                           "create table seen (n integer, k integer);\n"));
    TSQLConnection c;
    configure(c, db, db.password());
    c.StartTransaction(desc(1, GetParam().level));
    c.ExecuteDirect("insert into seen select count(*), 1 from t");
    db.runSql("insert into t values (1);\n");
    c.ExecuteDirect("insert into seen select count(*), 2 from t");
    c.Commit(desc(1, GetParam().level));
    EXPECT_EQ(listOf(db, "select n from seen order by k"), GetParam().seen);
}

INSTANTIATE_TEST_SUITE_P(Levels, SQLConnectionIsolation,
                         ::testing::Values(IsolationCase{xilREADCOMMITTED, "0,1"},
                                           IsolationCase{xilREPEATABLEREAD, "0,0"},
                                           IsolationCase{xilDIRTYREAD, "0,1"},
                                           IsolationCase{xilCUSTOM, "0,1"}),
                         [](const auto& param) { return "level" + std::to_string(int(param.param.level)); });

TEST(SQLConnection, TheTextIsSentUnchanged) {
    ScratchDatabase db("sqlc_text", withSql("create table t (id integer, s varchar(20));\n"));
    TSQLConnection c;
    configure(c, db, db.password());
    const std::string body = "  DECLARE VARIABLE X INTEGER;\r\n"
                             "BEGIN\r\n"
                             "  X = :A + 1;\r\n"
                             "  INSERT INTO T VALUES (:X, 'why? :X :A');\r\n"
                             "  R = :X;\r\n"
                             "END ";
    const std::string text = " CREATE OR ALTER PROCEDURE P (   A  integer  ) RETURNS ( R  integer ) AS   " +
                             body + "\r\n ; \r\n   ";
    c.StartTransaction(desc(1));
    EXPECT_EQ(c.ExecuteDirect(text), 0);
    c.Commit(desc(1));
    const std::string source = db.query("set blob all;\nselect rdb$procedure_source from rdb$procedures;\n");
    EXPECT_NE(source.find("  INSERT INTO T VALUES (:X, 'why? :X :A');"), std::string::npos) << source;
    db.runSql("execute procedure p 4;\n");
    EXPECT_EQ(db.queryValue("select id || s from t"), "5why? :X :A");

    // No parameter markers are looked for: a bare "?" reaches the server, which finds no values.
    const std::string message =
        messageOf<EIBInterBaseError>([&] { c.ExecuteDirect("insert into t values (?, 'x')"); });
    EXPECT_NE(message.find("No SQLDA for input values provided"), std::string::npos) << message;
}

// The connection speaks UTF8: an accented literal inside a procedure body and in a statement reaches
// a WIN1252 database as the text written, not as its UTF-8 bytes read one by one.
TEST(SQLConnection, AccentedTextArrivesAsWritten) {
    ScratchDatabase db("sqlc_utf8", ScratchOptions{.sql = "create table t (id integer, s varchar(20));\n",
                                                   .characterSet = "WIN1252"});
    TSQLConnection c;
    configure(c, db, db.password());
    c.StartTransaction(desc(1));
    c.ExecuteDirect("insert into t values (1, '\xc3\xa7\xc3\xa3o')"); // "ção"
    c.ExecuteDirect("create procedure p returns (r varchar(10)) as begin r = '\xc3\xb1"
                    "and\xc3\xba'; "
                    "suspend; end"); // "ñandú"
    c.Commit(desc(1));
    // Windows-1252 bytes in the table and in the procedure's result (isql shows OCTETS in hex).
    EXPECT_EQ(db.queryValue("select cast(s as varchar(20) character set octets) from t"), "E7E36F");
    EXPECT_EQ(db.queryValue("select cast(r as varchar(10) character set octets) from p"), "F1616E64FA");
}

TEST(SQLConnection, AStatementLongerThan64KiBIsSentWhole) {
    ScratchDatabase db("sqlc_long");
    TSQLConnection c;
    configure(c, db, db.password());
    const std::string comment(70000, 'x');
    c.StartTransaction(desc(1));
    c.ExecuteDirect("CREATE OR ALTER PROCEDURE BIG AS BEGIN /*" + comment + "*/ END");
    c.Commit(desc(1));
    EXPECT_EQ(db.queryValue("select char_length(rdb$procedure_source) from rdb$procedures"),
              std::to_string(comment.size() + 14));
}

TEST(SQLConnection, SettingConnectionNameClosesAndRollsBack) {
    ScratchDatabase db("sqlc_name", withSql("create table t (id integer);\n"));
    TSQLConnection c;
    configure(c, db, db.password());
    c.StartTransaction(desc(1));
    c.ExecuteDirect("insert into t values (1)");
    c.setConnectionName("FBConnection");
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(c.ConnectionName(), "FBConnection");
    EXPECT_EQ(c.activeTransactionCount(), 0);
    EXPECT_EQ(db.queryValue("select count(*) from t"), "0");
}

TEST(SQLConnection, AnAttachmentCutOffByTheServerClosesAndTheNextRoundAttachesAnew) {
    ScratchDatabase db("sqlc_cut", withSql("create table t (id integer);\n"));
    TSQLConnection c;
    configure(c, db, db.password());
    c.StartTransaction(desc(1));
    c.ExecuteDirect("insert into t values (1)");
    db.runSql("delete from mon$attachments where mon$attachment_id <> current_connection;\n");

    EXPECT_THROW(c.ExecuteDirect("insert into t values (2)"), EIBInterBaseError);
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(c.activeTransactionCount(), 0);

    c.StartTransaction(desc(1));
    c.ExecuteDirect("insert into t values (3)");
    c.Commit(desc(1));
    EXPECT_EQ(listOf(db, "select id from t"), "3");
}

} // namespace
