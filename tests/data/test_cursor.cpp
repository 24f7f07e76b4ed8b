// Cursors, queries and forward-only statements against the private test server.
#include "data/errors.h"
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/ibsql.h"
#include "tests/support/messageof.h"
#include "tests/support/scratchdatabase.h"

#include <gtest/gtest.h>

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

const char* const kSchema = R"(
CREATE TABLE CLIENTES (ID INTEGER NOT NULL, NOME VARCHAR(60), CODIGO CHAR(5), S SMALLINT,
  VALOR NUMERIC(9,2), OBS BLOB SUB_TYPE TEXT, DADOS BLOB SUB_TYPE 0,
  NOME_W VARCHAR(20) CHARACTER SET WIN1252, NOME_U CHAR(4) CHARACTER SET UTF8);
INSERT INTO CLIENTES (ID, NOME, CODIGO, S, VALOR) VALUES (1, 'Ana', 'AB', NULL, 12.5);
INSERT INTO CLIENTES (ID, NOME, CODIGO, S, VALOR) VALUES (2, 'Bia', 'XYZ12', 7, -0.05);
INSERT INTO CLIENTES (ID, NOME) VALUES (3, 'Caio');
)";

class Cursor : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_db = new ScratchDatabase("cursor", withSql(kSchema)); }
    static void TearDownTestSuite() {
        delete s_db;
        s_db = nullptr;
    }
    void SetUp() override {
        db.setServerType("IBServer");
        tr.setDefaultDatabase(&db);
        db.setDefaultTransaction(&tr);
        db.setDatabaseName(s_db->connectionString());
        db.Params().Add("user_name=" + s_db->user());
        db.Params().Add("password=" + s_db->password());
    }
    void TearDown() override {
        if (db.Connected()) {
            if (tr.Active())
                tr.Rollback();
            db.setConnected(false);
        }
    }
    std::unique_ptr<TIBDataSet> open(const std::string& sql) {
        auto c = std::make_unique<TIBDataSet>();
        c->setDatabase(&db);
        c->SelectSQL().Add(sql);
        c->Open();
        return c;
    }
    static ScratchDatabase* s_db;
    TIBDatabase db;
    TIBTransaction tr;
};

ScratchDatabase* Cursor::s_db = nullptr;

TEST_F(Cursor, OpeningAttachesTheSessionAndStartsTheDefaultTransaction) {
    auto c = open("select ID, NOME from CLIENTES order by ID");
    EXPECT_TRUE(db.Connected());
    EXPECT_TRUE(tr.Active());
    EXPECT_EQ(c->Transaction(), &tr);
    std::vector<std::string> names;
    while (!c->Eof()) {
        names.push_back(c->FieldByName("nome").AsString());
        c->Next();
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Ana", "Bia", "Caio"}));
    c->Next(); // further moves change nothing
    EXPECT_TRUE(c->Eof());
    c->First();
    EXPECT_FALSE(c->Eof());
    EXPECT_EQ(c->FieldByName("ID").AsString(), "1");
    c->Close();
    EXPECT_TRUE(tr.Active()) << "closing a cursor never ends its transaction";
}

TEST_F(Cursor, ProbeOnMissingNameOpensAtEof) {
    auto c = open("select RDB$RELATION_NAME from RDB$RELATIONS where RDB$RELATION_NAME = 'NAO_EXISTE'");
    EXPECT_TRUE(c->Active());
    EXPECT_TRUE(c->Eof());
}

TEST_F(Cursor, SystemTableNamesReadAs93PaddedCharacters) {
    auto c = open("select RDB$RELATION_NAME from RDB$RELATIONS where RDB$RELATION_NAME = 'CLIENTES'");
    ASSERT_FALSE(c->Eof());
    const std::string name = c->FieldByName("RDB$RELATION_NAME").AsString();
    EXPECT_EQ(name, "CLIENTES" + std::string(85, ' '));
    EXPECT_EQ(c->FieldByName("RDB$RELATION_NAME").Size(), 93);
}

TEST_F(Cursor, FieldValuesByKind) {
    auto c = open("select ID, CODIGO, S, VALOR, NOME from CLIENTES order by ID");
    EXPECT_EQ(c->FieldByName("CODIGO").AsString(), "AB   ") << "CHAR padded to the field size";
    EXPECT_EQ(c->FieldByName("S").AsString(), "") << "null SMALLINT reads as empty text";
    EXPECT_TRUE(std::holds_alternative<std::monostate>(c->FieldByName("S").AsVariant()));
    EXPECT_EQ(c->FieldByName("VALOR").AsString(), "12.50");
    EXPECT_EQ(std::get<int64_t>(c->FieldByName("ID").AsVariant()), 1);
    c->Next();
    EXPECT_EQ(c->FieldByName("S").AsString(), "7");
    EXPECT_EQ(c->FieldByName("VALOR").AsString(), "-0.05");
    c->Next();
    EXPECT_EQ(c->FieldByName("CODIGO").AsString(), "") << "null CHAR reads as empty text";
}

TEST_F(Cursor, MultiByteCharFieldsFollowTheBytesPerCharacterTable) {
    auto c = open("select NOME_U from CLIENTES where ID = 1");
    // UTF8 (set 4) counts one character per byte: CHAR(4) in UTF8 is 16 bytes.
    EXPECT_EQ(c->FieldByName("NOME_U").Size(), 16);
}

TEST_F(Cursor, UnknownFieldNamesTheCursor) {
    auto c = open("select ID from CLIENTES");
    EXPECT_EQ(messageOf<EDatabaseError>([&] { c->FieldByName("NADA"); }), "Field 'NADA' not found");
    c->Name = "ORIGEM";
    EXPECT_EQ(messageOf<EDatabaseError>([&] { c->FieldByName("NADA"); }), "ORIGEM: Field 'NADA' not found");
}

TEST_F(Cursor, TextBlobsAreReadWhole) {
    std::string big;
    for (int i = 0; i < 20000; ++i)
        big += "linha " + std::to_string(i) + "\r\n";
    ASSERT_GT(big.size(), 200000u);
    {
        TIBDataSet w;
        w.setDatabase(&db);
        w.SelectSQL().Add("update CLIENTES set OBS = :OBS where ID = 3");
        // The blob parameter is described as a blob; text is converted by the server.
        w.ParamByName("OBS").setAsString(big);
        w.ExecSQL();
    }
    auto c = open("select OBS from CLIENTES where ID = 3");
    EXPECT_EQ(c->FieldByName("OBS").AsString(), big);
    EXPECT_EQ(c->FieldByName("OBS").DataType(), TFieldType::Memo);
}

TEST_F(Cursor, TextIsConvertedToAndFromTheConnectionCharacterSet) {
    // Every session speaks UTF8: UTF-8 text sent to a WIN1252 column and to a UTF8 column is stored
    // in the column's set and reads back as the same UTF-8 text.
    const std::string text = "A\xc3\xa7\xc3\xa3o \xc3\x9c"; // "Ação Ü"
    const std::string fourCharacters = "\xc3\xb1"
                                       "and"; // "ñand"
    {
        TIBDataSet w;
        w.setDatabase(&db);
        w.SelectSQL().Add("update CLIENTES set NOME_W = :W, NOME_U = :U where ID = 2");
        w.ParamByName("W").setAsString(text);
        w.ParamByName("U").setAsString(fourCharacters);
        w.ExecSQL();
    }
    auto c = open("select NOME_W, NOME_U from CLIENTES where ID = 2");
    EXPECT_EQ(c->FieldByName("NOME_W").AsString(), text);
    EXPECT_EQ(trimRight(c->FieldByName("NOME_U").AsString()), fourCharacters);
    tr.Commit();
    // Stored as Windows-1252 bytes (isql shows OCTETS in hexadecimal).
    EXPECT_EQ(s_db->queryValue("select cast(NOME_W as varchar(20) character set octets) from CLIENTES "
                               "where ID = 2"),
              "41E7E36F20DC");

    // Bytes that are no UTF-8 are refused by the server rather than stored as something else.
    TIBDataSet w;
    w.setDatabase(&db);
    w.SelectSQL().Add("update CLIENTES set NOME_W = :W where ID = 2");
    w.ParamByName("W").setAsString("A\xe7\xe3o");
    EXPECT_THROW(w.ExecSQL(), std::exception);
}

TEST_F(Cursor, NewStatementTextReplacesAnOpenCursor) {
    auto c = open("select ID from CLIENTES where ID = 1");
    EXPECT_EQ(c->FieldByName("ID").AsString(), "1");
    c->SelectSQL().Clear();
    EXPECT_FALSE(c->Active());
    c->SelectSQL().Add("select NOME from CLIENTES where ID = 2");
    c->Open();
    EXPECT_EQ(c->FieldByName("NOME").AsString(), "Bia");
}

TEST_F(Cursor, TransactionEndAndDetachCloseCursorsBehindTheirBack) {
    auto c = open("select ID from CLIENTES");
    tr.Commit();
    EXPECT_FALSE(c->Active());
    EXPECT_FALSE(c->Prepared());
    c->Open(); // starts a new transaction by itself
    EXPECT_TRUE(tr.Active());
    db.setConnected(false);
    EXPECT_FALSE(c->Active());
    c->Open(); // attaches again with the session's settings
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(c->FieldByName("ID").AsString(), "1");
}

TEST_F(Cursor, ParamCheckFalseSendsTriggerBodyUnchanged) {
    const std::string ddl = "CREATE TRIGGER TRG_X FOR CLIENTES BEFORE INSERT AS\r\n"
                            "DECLARE VARIABLE X INTEGER;\r\nBEGIN\r\n"
                            "  SELECT COUNT(*) FROM CLIENTES INTO :X;\r\n"
                            "  NEW.NOME = ':? ' || X;\r\nEND";
    TIBDataSet scanned;
    scanned.setDatabase(&db);
    scanned.SelectSQL().Add(ddl);
    EXPECT_THROW(scanned.ExecSQL(), EIBInterBaseError) << "with the scan, :X reaches the server as ?";

    TIBDataSet w;
    w.setDatabase(&db);
    w.ParamCheck = false;
    w.SelectSQL().Add(ddl);
    w.ExecSQL();
    tr.Commit();
    EXPECT_EQ(s_db->queryValue("select count(*) from rdb$triggers where rdb$trigger_name = 'TRG_X';"), "1");
    w.SelectSQL().Clear();
    w.SelectSQL().Add("DROP TRIGGER TRG_X");
    w.ExecSQL();
    tr.Commit();
}

TEST_F(Cursor, ExecSqlErrors) {
    TIBDataSet c;
    c.setDatabase(&db);
    EXPECT_EQ(messageOf<EIBClientError>([&] { c.ExecSQL(); }), "Empty query");
    c.SelectSQL().Add("   ");
    EXPECT_EQ(messageOf<EIBClientError>([&] { c.ExecSQL(); }), "Empty SQL Statement");
    c.SelectSQL().Clear();
    c.SelectSQL().Add("select 1 from rdb$database");
    EXPECT_EQ(messageOf<EIBClientError>([&] { c.ExecSQL(); }), "use Open for a Select Statement");
    c.SelectSQL().Clear();
    c.SelectSQL().Add("CREATE GENERATOR A; CREATE GENERATOR B");
    EXPECT_THROW(c.ExecSQL(), EIBInterBaseError) << "two statements are one text for the server";
    TIBDataSet unbound;
    unbound.SelectSQL().Add("select 1 from rdb$database");
    EXPECT_EQ(messageOf<EIBClientError>([&] { unbound.Open(); }), "Database not assigned");
    auto open1 = open("select ID from CLIENTES");
    EXPECT_EQ(messageOf<EIBClientError>([&] { open1->setDatabase(nullptr); }), "Dataset open");
}

TEST_F(Cursor, QueryExecSqlAndItsErrors) {
    TIBQuery q;
    q.Name = "CAMPOS2";
    q.setDatabase(&db);
    EXPECT_EQ(messageOf<EIBClientError>([&] { q.ExecSQL(); }), "Empty SQL Statement");
    q.SQL().Add("select ID from CLIENTES");
    q.Open();
    EXPECT_EQ(messageOf<EDatabaseError>([&] { q.ExecSQL(); }),
              "CAMPOS2: Cannot perform this operation on an open dataset");
    q.Close();
    q.SQL().Clear();
    q.SQL().Add("update CLIENTES set NOME = :NOME where ID = :ID");
    q.setParamValue("NOME", "Ana Maria");
    q.setParamValue("ID", "1");
    q.ExecSQL();
    auto c = open("select NOME from CLIENTES where ID = 1");
    EXPECT_EQ(c->FieldByName("NOME").AsString(), "Ana Maria");
}

TEST_F(Cursor, ForwardOnlyStatementParametersAndFields) {
    db.setConnected(true);
    TIBSQL q;
    q.setDatabase(&db);
    q.setTransaction(&tr);
    q.SQL().Add(
        "select RDB$RELATION_NAME, RDB$SYSTEM_FLAG from RDB$RELATIONS where RDB$RELATION_NAME = :N or "
        "RDB$RELATION_NAME = :n");
    q.ParamByName("n").setAsTrimString("CLIENTES   ");
    q.ExecQuery();
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldByName("rdb$relation_name").AsTrimString(), "CLIENTES");
    // A catalogue name keeps its width of 93 in the UTF8 connection, where the server pads it to 124.
    EXPECT_EQ(q.FieldByName("rdb$relation_name").AsString(), "CLIENTES" + std::string(85, ' '));
    EXPECT_EQ(q.FieldByName("rdb$relation_name").SQLLength(), 124);
    EXPECT_EQ(q.Fields(1).AsLong(), 0);
    EXPECT_EQ(messageOf<EIBClientError>([&] { q.ExecQuery(); }), "IBSQL Open");
    EXPECT_EQ(messageOf<EIBClientError>([&] { q.FieldByName("NADA"); }), "Field \"NADA\" not found");
    EXPECT_EQ(messageOf<EIBClientError>([&] { q.Fields(5); }), "Field \"5\" not found");
    q.Next();
    EXPECT_TRUE(q.Eof());
    q.Close();
    q.SQL().Clear();
    q.SQL().Add("select RDB$RELATION_NAME from RDB$RELATIONS where RDB$RELATION_NAME = :N");
    EXPECT_EQ(messageOf<EIBClientError>([&] { q.ParamByName("N").setAsString(std::string(94, 'X')); }),
              "Trying to store a string of length 94 into a field that can only contain 93");
    q.SQL().Clear();
    q.SQL().Add("select NOME from CLIENTES where ID = 1");
    q.ExecQuery();
    EXPECT_EQ(messageOf<EIBClientError>([&] { q.Fields(0).AsLong(); }), "Invalid data conversion");
}

TEST_F(Cursor, ForwardOnlyStatementDoesNotAttachItself) {
    TIBSQL q;
    q.setDatabase(&db);
    q.SQL().Add("select 1 from rdb$database");
    EXPECT_EQ(messageOf<EIBClientError>([&] { q.ExecQuery(); }),
              "Cannot perform operation -- DB is not open");
    TIBSQL noTr;
    TIBDatabase lone;
    noTr.setDatabase(&lone);
    noTr.SQL().Add("select 1 from rdb$database");
    EXPECT_EQ(messageOf<EIBClientError>([&] { noTr.ExecQuery(); }), "Transaction not assigned");
}

} // namespace
