// The extractor on real databases of the private test server: the exact text of every listing,
// the extraction frame (bindings, transaction, refreshed values, errors) and the rendering of rows
// that no DDL can produce (null flags, non-SQL triggers, unknown type codes).
#include "data/errors.h"
#include "tests/extract/extractfixture.h"

#include <gtest/gtest.h>

#include <exception>
#include <ostream>
#include <string>
#include <vector>

namespace vistrel::extract::testing {
namespace {

// Test names from the name field of a case.
struct CaseName {
    template <typename Info> std::string operator()(const Info& testInfo) const {
        return testInfo.param.name;
    }
};

using data::ClientError;
using data::EIBClientError;

std::string domainText(const std::string& quotedName, const std::string& body) {
    return "/* Domain definitions */\r\nCREATE DOMAIN " + quotedName + " AS " + body + ";\r\n";
}

std::string exceptionText(const std::string& statement) {
    return "\r\n/*  Exceptions */\r\n\r\n" + statement + "\r\n";
}

const std::string kTriggerHeader = "\r\n/* Triggers only will work for SQL triggers */\r\n\r\n";
const std::string kCommitWork = "COMMIT WORK ;\r\n";

struct Golden {
    const char* name;
    TExtractObjectTypes kind;
    std::string objectName;
    std::string expected;
};

// Failure messages name the case.
void PrintTo(const Golden& c, std::ostream* os) {
    *os << c.name;
}

std::string goldenName(const ::testing::TestParamInfo<Golden>& info) {
    return info.param.name;
}

// ---- Dialect 3 source: one row per object ----------------------------------------------------

class Dialect3Golden : public ExtractorTest, public ::testing::WithParamInterface<Golden> {};

TEST_P(Dialect3Golden, ExtractsExactText) {
    EXPECT_EQ(extract(GetParam().kind, GetParam().objectName), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Domains, Dialect3Golden,
    ::testing::Values(
        Golden{"DM_VALOR", eoDomain, "DM_VALOR",
               "/* Domain definitions */\r\nCREATE DOMAIN \"DM_VALOR\" AS NUMERIC(15, 2)\r\n\t DEFAULT 0 NOT "
               "NULL;\r\n"},
        Golden{"Decimal", eoDomain, "D_DECIMAL", domainText("\"D_DECIMAL\"", "DECIMAL(15, 2)")},
        Golden{"Numeric18", eoDomain, "D_NUM18", domainText("\"D_NUM18\"", "NUMERIC(18, 2)")},
        Golden{"Decimal18", eoDomain, "D_DEC18", domainText("\"D_DEC18\"", "DECIMAL(18, 4)")},
        Golden{"NumericOnSmallint", eoDomain, "D_NUM4", domainText("\"D_NUM4\"", "NUMERIC(4, 1)")},
        Golden{"NumericOnInteger", eoDomain, "D_NUM9", domainText("\"D_NUM9\"", "NUMERIC(9, 3)")},
        Golden{"BigintIsWrittenBigint", eoDomain, "D_BIGINT", domainText("\"D_BIGINT\"", "BIGINT")},
        Golden{"Smallint", eoDomain, "D_SMALLINT", domainText("\"D_SMALLINT\"", "SMALLINT")},
        Golden{"Integer", eoDomain, "D_INTEGER", domainText("\"D_INTEGER\"", "INTEGER")},
        Golden{"Double", eoDomain, "D_DOUBLE", domainText("\"D_DOUBLE\"", "DOUBLE PRECISION")},
        Golden{"Float", eoDomain, "D_FLOAT", domainText("\"D_FLOAT\"", "FLOAT")},
        Golden{"Date", eoDomain, "D_DATE", domainText("\"D_DATE\"", "DATE")},
        Golden{"Time", eoDomain, "D_TIME", domainText("\"D_TIME\"", "TIME")},
        Golden{"Timestamp", eoDomain, "D_TIMESTAMP", domainText("\"D_TIMESTAMP\"", "TIMESTAMP")},
        Golden{"BlobTextDefaultCharSet", eoDomain, "D_BLOB_TEXT",
               domainText("\"D_BLOB_TEXT\"", "BLOB SUB_TYPE TEXT SEGMENT SIZE 80")},
        Golden{"BlobTextOtherCharSet", eoDomain, "D_BLOB_WIN",
               domainText("\"D_BLOB_WIN\"", "BLOB SUB_TYPE TEXT SEGMENT SIZE 80 CHARACTER SET WIN1252")},
        Golden{"BlobBinary", eoDomain, "D_BLOB_BIN",
               domainText("\"D_BLOB_BIN\"", "BLOB SUB_TYPE 0 SEGMENT SIZE 512")},
        Golden{"BlobNegativeSubtype", eoDomain, "D_BLOB_NEG",
               domainText("\"D_BLOB_NEG\"", "BLOB SUB_TYPE -1 SEGMENT SIZE 100")},
        Golden{"Char", eoDomain, "D_CHAR", domainText("\"D_CHAR\"", "CHAR(3)")},
        Golden{"Varchar", eoDomain, "D_VARCHAR", domainText("\"D_VARCHAR\"", "VARCHAR(60)")},
        Golden{"CharacterLengthNotBytes", eoDomain, "D_UTF8",
               domainText("\"D_UTF8\"", "VARCHAR(10) CHARACTER SET UTF8")},
        Golden{"CharSetNoneNeverWritten", eoDomain, "D_NONE", domainText("\"D_NONE\"", "VARCHAR(5)")},
        Golden{"AllClauses", eoDomain, "D_COMPLETO",
               domainText("\"D_COMPLETO\"",
                          "VARCHAR(10) CHARACTER SET WIN1252\r\n\t DEFAULT 'A'\r\n\t CHECK (VALUE <> "
                          "'') NOT NULL COLLATE WIN_PTBR")},
        Golden{"CollateOnlyInDefaultCharSet", eoDomain, "D_COLLATE",
               domainText("\"D_COLLATE\"", "VARCHAR(20) COLLATE PT_BR")},
        Golden{"DefaultCollationNotWritten", eoDomain, "D_WIN_DEFAULT_COLLATE",
               domainText("\"D_WIN_DEFAULT_COLLATE\"", "CHAR(2) CHARACTER SET WIN1252")},
        Golden{"ArrayBounds", eoDomain, "D_ARRAY", domainText("\"D_ARRAY\"", "INTEGER[1:10, 0:5] ")},
        Golden{"ArrayBoundsBeforeCharSet", eoDomain, "D_ARRAY_CHAR",
               domainText("\"D_ARRAY_CHAR\"", "CHAR(3)[1:4]  CHARACTER SET WIN1252")},
        Golden{"CheckKeepsStoredCase", eoDomain, "D_CHECK_LOWER",
               domainText("\"D_CHECK_LOWER\"", "INTEGER\r\n\t check (value > 0)")},
        Golden{"DefaultNull", eoDomain, "D_DEFAULT_NULL",
               domainText("\"D_DEFAULT_NULL\"", "INTEGER\r\n\t DEFAULT NULL")},
        Golden{"MultiLineCheckStaysOneItem", eoDomain, "D_DEFAULT_TEXT",
               domainText("\"D_DEFAULT_TEXT\"",
                          "VARCHAR(15)\r\n\t DEFAULT 'it''s'\r\n\t CHECK (VALUE\n  STARTING WITH "
                          "'i') NOT NULL")},
        Golden{"LowerCaseName", eoDomain, "d_Minusculo", domainText("\"d_Minusculo\"", "INTEGER")},
        Golden{"TrailingBlanksFound", eoDomain, "D_INTEGER   ", domainText("\"D_INTEGER\"", "INTEGER")},
        Golden{"LeadingBlanksNotFound", eoDomain, " D_INTEGER", ""},
        Golden{"CaseMatters", eoDomain, "d_integer", ""},
        Golden{"Boolean", eoDomain, "D_BOOLEAN", domainText("\"D_BOOLEAN\"", "BOOLEAN")},
        Golden{"SystemDomainWritten", eoDomain, "RDB$SYSTEM_FLAG",
               domainText("\"RDB$SYSTEM_FLAG\"", "SMALLINT NOT NULL")},
        Golden{"NoSuchDomain", eoDomain, "NO_SUCH_DOMAIN", ""}),
    goldenName);

INSTANTIATE_TEST_SUITE_P(
    Exceptions, Dialect3Golden,
    ::testing::Values(
        Golden{"E_ESTOQUE", eoException, "E_ESTOQUE",
               "\r\n/*  Exceptions */\r\n\r\nCREATE EXCEPTION \"E_ESTOQUE\" 'Sem estoque';\r\n"},
        Golden{"Apostrophe", eoException, "E_APOSTROFO",
               exceptionText("CREATE EXCEPTION \"E_APOSTROFO\" 'it''s empty';")},
        Golden{"Blanks", eoException, "E_BRANCOS",
               exceptionText("CREATE EXCEPTION \"E_BRANCOS\" '  leading stays, trailing goes';")},
        Golden{"EmptyMessage", eoException, "E_VAZIA", exceptionText("CREATE EXCEPTION \"E_VAZIA\" '';")},
        Golden{"LineBreakInMessage", eoException, "E_LINHAS",
               exceptionText("CREATE EXCEPTION \"E_LINHAS\" 'linha 1\nlinha 2';")},
        Golden{"QuoteInName", eoException, "e_Aspas\"x",
               exceptionText("CREATE EXCEPTION \"e_Aspas\"\"x\" 'quoted name';")},
        Golden{"TrailingBlanksFound", eoException, "E_ESTOQUE ",
               exceptionText("CREATE EXCEPTION \"E_ESTOQUE\" 'Sem estoque';")},
        Golden{"NoSuchException", eoException, "NO_SUCH_EXCEPTION", ""}),
    goldenName);

INSTANTIATE_TEST_SUITE_P(
    Views, Dialect3Golden,
    ::testing::Values(
        Golden{"V_CLIENTES", eoView, "V_CLIENTES",
               "\r\n/* View: V_CLIENTES, Owner: SYSDBA */\r\n\r\nCREATE VIEW \"V_CLIENTES\" (\r\n  \"ID\", "
               "\r\n  "
               "\"NOME\"\r\n) \r\nAS\r\nselect id, nome from clientes\r\n;\r\n"},
        Golden{"OneColumn", eoView, "V_UMA",
               "\r\n/* View: V_UMA, Owner: SYSDBA */\r\n\r\nCREATE VIEW \"V_UMA\" (\r\n  \"ID\"\r\n) "
               "\r\nAS\r\nselect id "
               "from clientes\r\n;\r\n"},
        Golden{"BlankLinesAroundSource", eoView, "V_LINHAS",
               "\r\n/* View: V_LINHAS, Owner: SYSDBA */\r\n\r\nCREATE VIEW \"V_LINHAS\" (\r\n  \"NOME\"\r\n) "
               "\r\nAS\r\nselect nome\r\n  from clientes\r\n;\r\n"},
        Golden{"QuotesInNames", eoView, "v_Aspas\"x",
               "\r\n/* View: v_Aspas\"x, Owner: SYSDBA */\r\n\r\nCREATE VIEW \"v_Aspas\"\"x\" (\r\n  \"Id\", "
               "\r\n  "
               "\"nome\"\"x\"\r\n) \r\nAS\r\nselect id, nome from clientes\r\n;\r\n"},
        Golden{"TableIsNoView", eoView, "CLIENTES", ""}, Golden{"NoSuchView", eoView, "NO_SUCH_VIEW", ""}),
    goldenName);

INSTANTIATE_TEST_SUITE_P(
    Triggers, Dialect3Golden,
    ::testing::Values(
        Golden{"TRG_PED_BI", eoTrigger, "TRG_PED_BI",
               "\r\n/* Triggers only will work for SQL triggers */\r\n\r\nCREATE TRIGGER \"TRG_PED_BI\" FOR "
               "\"PEDIDOS\" "
               "\r\nACTIVE BEFORE INSERT POSITION 0\r\nAS\r\nBEGIN\r\n  NEW.ID = GEN_ID(G_PEDIDOS, "
               "1);\r\nEND\r\n "
               ";\r\n\r\nCOMMIT WORK ;\r\n"},
        Golden{
            "Inactive", eoTrigger, "TRG_PED_AU",
            kTriggerHeader +
                "CREATE TRIGGER \"TRG_PED_AU\" FOR \"PEDIDOS\" \r\nINACTIVE AFTER UPDATE POSITION "
                "5\r\nAS\r\nDECLARE VARIABLE N INTEGER;\r\nBEGIN\r\n  N = NEW.NUMERO;\r\nEND\r\n ;\r\n\r\n" +
                kCommitWork},
        Golden{"InsertOrUpdate", eoTrigger, "TRG_PED_MULTI",
               kTriggerHeader +
                   "CREATE TRIGGER \"TRG_PED_MULTI\" FOR \"PEDIDOS\" \r\nACTIVE BEFORE INSERT OR UPDATE "
                   "POSITION "
                   "1\r\nAS BEGIN END\r\n ;\r\n\r\n" +
                   kCommitWork},
        Golden{
            "AllThreeEvents", eoTrigger, "TRG_CLI_ALL",
            kTriggerHeader +
                "CREATE TRIGGER \"TRG_CLI_ALL\" FOR \"CLIENTES\" \r\nACTIVE AFTER INSERT OR UPDATE OR DELETE "
                "POSITION 2\r\nAS BEGIN END\r\n ;\r\n\r\n" +
                kCommitWork},
        Golden{
            "InsertOrDelete", eoTrigger, "TRG_CLI_ID",
            kTriggerHeader +
                "CREATE TRIGGER \"TRG_CLI_ID\" FOR \"CLIENTES\" \r\nACTIVE BEFORE INSERT OR DELETE POSITION "
                "0\r\nAS BEGIN END\r\n ;\r\n\r\n" +
                kCommitWork},
        Golden{"SourceLineBreaksAndTrailingBlankLines", eoTrigger, "TRG_BRANCOS",
               kTriggerHeader +
                   "CREATE TRIGGER \"TRG_BRANCOS\" FOR \"CLIENTES\" \r\nACTIVE BEFORE UPDATE POSITION "
                   "4\r\nAS\r\nBEGIN\r\n  NEW.NOME = UPPER(NEW.NOME);\r\nEND\r\n ;\r\n\r\n" +
                   kCommitWork},
        Golden{"QuotesInNames", eoTrigger, "trg_Aspas\"x",
               kTriggerHeader +
                   "CREATE TRIGGER \"trg_Aspas\"\"x\" FOR \"Tab\"\"Q\" \r\nACTIVE AFTER DELETE POSITION "
                   "32767\r\nAS BEGIN END\r\n ;\r\n\r\n" +
                   kCommitWork},
        // Database and DDL triggers name no table; their event phrase follows the activity word.
        Golden{"OnConnect", eoTrigger, "TRG_CONNECT",
               kTriggerHeader +
                   "CREATE TRIGGER \"TRG_CONNECT\" \r\nACTIVE ON CONNECT POSITION 0\r\nAS BEGIN "
                   "END\r\n ;\r\n\r\n" +
                   kCommitWork},
        Golden{"OnDisconnect", eoTrigger, "TRG_DISCONNECT",
               kTriggerHeader +
                   "CREATE TRIGGER \"TRG_DISCONNECT\" \r\nACTIVE ON DISCONNECT POSITION 3\r\nAS "
                   "BEGIN END\r\n ;\r\n\r\n" +
                   kCommitWork},
        Golden{"OnTransactionStartInactive", eoTrigger, "TRG_TX_START",
               kTriggerHeader +
                   "CREATE TRIGGER \"TRG_TX_START\" \r\nINACTIVE ON TRANSACTION START POSITION "
                   "0\r\nAS BEGIN END\r\n ;\r\n\r\n" +
                   kCommitWork},
        Golden{"OnTransactionCommit", eoTrigger, "TRG_TX_COMMIT",
               kTriggerHeader +
                   "CREATE TRIGGER \"TRG_TX_COMMIT\" \r\nACTIVE ON TRANSACTION COMMIT POSITION "
                   "0\r\nAS BEGIN END\r\n ;\r\n\r\n" +
                   kCommitWork},
        Golden{"OnTransactionRollback", eoTrigger, "TRG_TX_ROLLBACK",
               kTriggerHeader +
                   "CREATE TRIGGER \"TRG_TX_ROLLBACK\" \r\nACTIVE ON TRANSACTION ROLLBACK "
                   "POSITION 0\r\nAS BEGIN END\r\n ;\r\n\r\n" +
                   kCommitWork},
        Golden{"DdlTwoKinds", eoTrigger, "TRG_DDL_TABLE",
               kTriggerHeader +
                   "CREATE TRIGGER \"TRG_DDL_TABLE\" \r\nACTIVE BEFORE CREATE TABLE OR ALTER "
                   "TABLE POSITION 0\r\nAS BEGIN END\r\n ;\r\n\r\n" +
                   kCommitWork},
        Golden{"DdlFourKinds", eoTrigger, "TRG_DDL_MIX",
               kTriggerHeader +
                   "CREATE TRIGGER \"TRG_DDL_MIX\" \r\nACTIVE AFTER CREATE EXCEPTION OR DROP "
                   "INDEX OR CREATE SEQUENCE OR DROP MAPPING POSITION 0\r\nAS BEGIN "
                   "END\r\n ;\r\n\r\n" +
                   kCommitWork},
        Golden{"DdlAny", eoTrigger, "TRG_DDL_ANY",
               kTriggerHeader +
                   "CREATE TRIGGER \"TRG_DDL_ANY\" \r\nACTIVE AFTER ANY DDL STATEMENT POSITION "
                   "0\r\nAS BEGIN END\r\n ;\r\n\r\n" +
                   kCommitWork},
        Golden{"NoSuchTrigger", eoTrigger, "NO_SUCH_TRIGGER", ""}),
    goldenName);

INSTANTIATE_TEST_SUITE_P(
    Indexes, Dialect3Golden,
    ::testing::Values(
        Golden{"IDX_PED_DATA", eoIndexes, "IDX_PED_DATA",
               "\r\n/*  Index definitions for IDX_PED_DATA */\r\nCREATE UNIQUE DESCENDING INDEX "
               "\"IDX_PED_DATA\" ON "
               "\"PEDIDOS\"(\"DATA\", \"NUMERO\");\r\nALTER INDEX \"IDX_PED_DATA\" INACTIVE;\r\n"},
        Golden{"AscendingActive", eoIndexes, "IDX_CLI_NOME",
               "\r\n/*  Index definitions for IDX_CLI_NOME */\r\nCREATE INDEX \"IDX_CLI_NOME\" ON "
               "\"CLIENTES\"(\"NOME\");\r\n"},
        Golden{"Descending", eoIndexes, "IDX_PED_NUMERO_DESC",
               "\r\n/*  Index definitions for IDX_PED_NUMERO_DESC */\r\nCREATE DESCENDING INDEX "
               "\"IDX_PED_NUMERO_DESC\" ON \"PEDIDOS\"(\"NUMERO\");\r\n"},
        Golden{
            "Unique", eoIndexes, "IDX_CLI_NOME_ID",
            "\r\n/*  Index definitions for IDX_CLI_NOME_ID */\r\nCREATE UNIQUE INDEX \"IDX_CLI_NOME_ID\" ON "
            "\"CLIENTES\"(\"NOME\", \"ID\");\r\n"},
        Golden{
            "Expression", eoIndexes, "IDX_EXPR",
            "\r\n/*  Index definitions for IDX_EXPR */\r\nCREATE INDEX \"IDX_EXPR\" ON \"CLIENTES\" COMPUTED "
            "BY (UPPER(NOME));\r\n"},
        Golden{"ExpressionUniqueDescending", eoIndexes, "IDX_EXPR_DESC",
               "\r\n/*  Index definitions for IDX_EXPR_DESC */\r\nCREATE UNIQUE DESCENDING INDEX "
               "\"IDX_EXPR_DESC\" ON \"CLIENTES\" COMPUTED BY ((ID * 2) || 'x');\r\n"},
        Golden{"LowerCaseName", eoIndexes, "idx_Minusculo",
               "\r\n/*  Index definitions for idx_Minusculo */\r\nCREATE INDEX \"idx_Minusculo\" ON "
               "\"CLIENTES\"(\"ID\");\r\n"},
        Golden{
            "QuotesInNames", eoIndexes, "IDX\"Q",
            "\r\n/*  Index definitions for IDX\"Q */\r\nCREATE INDEX \"IDX\"\"Q\" ON \"Tab\"\"Q\"(\"nome\", "
            "\"Id\");\r\n"},
        Golden{"TrailingBlanksKeptInHeader", eoIndexes, "IDX_CLI_NOME   ",
               "\r\n/*  Index definitions for IDX_CLI_NOME    */\r\nCREATE INDEX \"IDX_CLI_NOME\" ON "
               "\"CLIENTES\"(\"NOME\");\r\n"},
        Golden{"LeadingBlanksNotFound", eoIndexes, "  IDX_CLI_NOME", ""},
        Golden{"IndexBearingTableName", eoIndexes, "CLIENTES",
               "\r\n/*  Index definitions for CLIENTES */\r\nCREATE INDEX \"CLIENTES\" ON "
               "\"PEDIDOS\"(\"CLIENTE_ID\");\r\n"},
        Golden{"TableNameIsNoIndex", eoIndexes, "PEDIDOS", ""},
        Golden{"PrimaryKeyIndex", eoIndexes, "PK_CLIENTES", ""},
        Golden{"UniqueConstraintIndex", eoIndexes, "UQ_PED_NUMERO", ""},
        Golden{"ForeignKeyIndex", eoIndexes, "FK_PED_CLI", ""},
        Golden{"SystemTableIndex", eoIndexes, "RDB$INDEX_0", ""},
        Golden{"NoSuchIndex", eoIndexes, "NO_SUCH_INDEX", ""}),
    goldenName);

// ---- Dialect 1 source ---------------------------------------------------------------------------

class Dialect1Golden : public ExtractorTest, public ::testing::WithParamInterface<Golden> {
protected:
    Dialect1Golden() : ExtractorTest(Db::Source1) {}
};

TEST_P(Dialect1Golden, ExtractsExactText) {
    EXPECT_EQ(extract(GetParam().kind, GetParam().objectName), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Objects, Dialect1Golden,
    ::testing::Values(
        Golden{"IndexUnquoted", eoIndexes, "IDX_A",
               "\r\n/*  Index definitions for IDX_A */\r\nCREATE INDEX IDX_A ON CLIENTES(NOME);\r\n"},
        Golden{"IndexHeaderKeepsNameAsPassed", eoIndexes, "IDX_A  ",
               "\r\n/*  Index definitions for IDX_A   */\r\nCREATE INDEX IDX_A ON CLIENTES(NOME);\r\n"},
        Golden{"ScaledSmallint", eoDomain, "D_NUM4",
               "/* Domain definitions */\r\nCREATE DOMAIN D_NUM4 AS NUMERIC(4, 1);\r\n"},
        Golden{"ScaledInteger", eoDomain, "D_NUM9",
               "/* Domain definitions */\r\nCREATE DOMAIN D_NUM9 AS NUMERIC(9, 2);\r\n"},
        Golden{"ScaledDouble", eoDomain, "D_NUM15",
               "/* Domain definitions */\r\nCREATE DOMAIN D_NUM15 AS NUMERIC(15, 3);\r\n"},
        Golden{"DateIsTimestamp", eoDomain, "D_DATA",
               "/* Domain definitions */\r\nCREATE DOMAIN D_DATA AS TIMESTAMP\r\n\t DEFAULT 'NOW';\r\n"},
        Golden{"CharSetWithoutDatabaseDefault", eoDomain, "D_NOME",
               "/* Domain definitions */\r\nCREATE DOMAIN D_NOME AS VARCHAR(30) CHARACTER SET WIN1252 NOT "
               "NULL;\r\n"},
        Golden{"Exception", eoException, "E_ERRO",
               "\r\n/*  Exceptions */\r\n\r\nCREATE EXCEPTION E_ERRO 'Erro';\r\n"},
        Golden{"View", eoView, "V_CLI",
               "\r\n/* View: V_CLI, Owner: SYSDBA */\r\n\r\nCREATE VIEW V_CLI (\r\n  ID, \r\n  NOME\r\n) "
               "\r\nAS\r\nselect "
               "id, nome from clientes\r\n;\r\n"},
        Golden{"Trigger", eoTrigger, "TRG_CLI_BI",
               kTriggerHeader +
                   "CREATE TRIGGER TRG_CLI_BI FOR CLIENTES \r\nACTIVE BEFORE INSERT POSITION "
                   "3\r\nAS\r\nBEGIN\r\n  new.id = gen_id(g_ped, 1);\r\nEND\r\n ;\r\n\r\n" +
                   kCommitWork},
        // The empty name selects every object of the kind.
        Golden{
            "AllDomainsSkipsImplicitOnes", eoDomain, "",
            "/* Domain definitions */\r\nCREATE DOMAIN D_DATA AS TIMESTAMP\r\n\t DEFAULT 'NOW';\r\nCREATE "
            "DOMAIN "
            "D_NOME AS VARCHAR(30) CHARACTER SET WIN1252 NOT NULL;\r\nCREATE DOMAIN D_NUM15 AS NUMERIC(15, "
            "3);\r\nCREATE DOMAIN D_NUM4 AS NUMERIC(4, 1);\r\nCREATE DOMAIN D_NUM9 AS NUMERIC(9, 2);\r\n"},
        Golden{"AllExceptions", eoException, "",
               "\r\n/*  Exceptions */\r\n\r\nCREATE EXCEPTION E_ERRO 'Erro';\r\n"},
        Golden{"AllViews", eoView, "",
               "\r\n/* View: V_CLI, Owner: SYSDBA */\r\n\r\nCREATE VIEW V_CLI (\r\n  ID, \r\n  NOME\r\n) "
               "\r\nAS\r\nselect "
               "id, nome from clientes\r\n;\r\n"},
        Golden{"AllTriggers", eoTrigger, "",
               kTriggerHeader +
                   "CREATE TRIGGER TRG_CLI_BI FOR CLIENTES \r\nACTIVE BEFORE INSERT POSITION "
                   "3\r\nAS\r\nBEGIN\r\n  new.id = gen_id(g_ped, 1);\r\nEND\r\n ;\r\n\r\n" +
                   kCommitWork},
        Golden{"AllIndexes", eoIndexes, "",
               "\r\n/*  Index definitions for all user tables */\r\n\r\nCREATE INDEX IDX_A ON "
               "CLIENTES(NOME);\r\n"}),
    goldenName);

// ---- Objects that only a query can name ----------------------------------------------------------

class Dialect3Source : public ExtractorTest {
protected:
    std::string firstValue(const std::string& sql) { return session().query(sql)->Fields(0).AsTrimString(); }
};

TEST_F(Dialect3Source, ImplicitDomainOfColumnIsSkipped) {
    const std::string implicit = firstValue("SELECT RDB$FIELD_SOURCE FROM RDB$RELATION_FIELDS WHERE "
                                            "RDB$RELATION_NAME = 'CLIENTES' AND RDB$FIELD_NAME = 'NOME'");
    ASSERT_EQ(implicit.rfind("RDB$", 0), 0u) << implicit;
    EXPECT_EQ(extract(eoDomain, implicit), "");
}

TEST_F(Dialect3Source, CheckConstraintTriggerNotListed) {
    const std::string checkTrigger =
        firstValue("SELECT FIRST 1 RDB$TRIGGER_NAME FROM RDB$CHECK_CONSTRAINTS WHERE "
                   "RDB$CONSTRAINT_NAME = 'CK_PED_NUMERO'");
    ASSERT_FALSE(checkTrigger.empty());
    EXPECT_EQ(extract(eoTrigger, checkTrigger), "");
}

TEST_F(Dialect3Source, TriggerIncludeSetTermAndNoComments) {
    extractor().IncludeSetTerm = true;
    EXPECT_EQ(
        extract(eoTrigger, "TRG_PED_MULTI"),
        "SET TERM ^ ;\r\n\r\n" + kTriggerHeader +
            "CREATE TRIGGER \"TRG_PED_MULTI\" FOR \"PEDIDOS\" \r\nACTIVE BEFORE INSERT OR UPDATE POSITION "
            "1\r\nAS BEGIN END\r\n ^\r\n\r\nCOMMIT WORK ^\r\nSET TERM ;^\r\n");
    extractor().IncludeSetTerm = false;
    extractor().IncludeComments = false;
    EXPECT_EQ(extract(eoTrigger, "TRG_PED_MULTI"), "CREATE TRIGGER \"TRG_PED_MULTI\" FOR \"PEDIDOS\" "
                                                   "\r\nACTIVE BEFORE INSERT OR UPDATE POSITION 1\r\nAS "
                                                   "BEGIN END\r\n ;\r\n\r\n" +
                                                       kCommitWork);
}

TEST_F(Dialect3Source, NoCommentsDropsOnlyTheHeaders) {
    extractor().IncludeComments = false;
    EXPECT_EQ(extract(eoDomain, "D_INTEGER"), "CREATE DOMAIN \"D_INTEGER\" AS INTEGER;\r\n");
    EXPECT_EQ(extract(eoException, "E_VAZIA"), "\r\n\r\nCREATE EXCEPTION \"E_VAZIA\" '';\r\n");
    EXPECT_EQ(extract(eoView, "V_UMA"),
              "CREATE VIEW \"V_UMA\" (\r\n  \"ID\"\r\n) \r\nAS\r\nselect id from clientes\r\n;\r\n");
    EXPECT_EQ(extract(eoIndexes, "IDX_CLI_NOME"),
              "CREATE INDEX \"IDX_CLI_NOME\" ON \"CLIENTES\"(\"NOME\");\r\n");
}

TEST_F(Dialect3Source, ItemsHoldStatementsAsSingleItems) {
    extract(eoDomain, "DM_VALOR");
    ASSERT_EQ(extractor().Items().Count(), 2);
    EXPECT_EQ(extractor().Items()[1],
              "CREATE DOMAIN \"DM_VALOR\" AS NUMERIC(15, 2)\r\n\t DEFAULT 0 NOT NULL;");

    extract(eoException, "E_LINHAS");
    ASSERT_EQ(extractor().Items().Count(), 4);
    EXPECT_EQ(extractor().Items()[3], "CREATE EXCEPTION \"E_LINHAS\" 'linha 1\nlinha 2';");

    extract(eoIndexes, "IDX_PED_DATA");
    ASSERT_EQ(extractor().Items().Count(), 3);
    EXPECT_EQ(extractor().Items()[0], "\r\n/*  Index definitions for IDX_PED_DATA */");

    // Trigger lines are re-split, except the terminator item that carries its own line break.
    extract(eoTrigger, "TRG_PED_BI");
    const std::vector<std::string> expected = {kTriggerHeader.substr(0, kTriggerHeader.size() - 2),
                                               "CREATE TRIGGER \"TRG_PED_BI\" FOR \"PEDIDOS\" ",
                                               "ACTIVE BEFORE INSERT POSITION 0",
                                               "AS",
                                               "BEGIN",
                                               "  NEW.ID = GEN_ID(G_PEDIDOS, 1);",
                                               "END",
                                               " ;\r\n",
                                               "COMMIT WORK ;"};
    EXPECT_EQ(extractor().Items().items(), expected);
}

TEST_F(Dialect3Source, OverrideDialectOneUppercasesUnquoted) {
    extractor().OverrideSQLDialect = 1;
    EXPECT_EQ(extractor().GetDialect(), 1);
    EXPECT_EQ(
        extract(eoIndexes, "idx_Minusculo"),
        "\r\n/*  Index definitions for idx_Minusculo */\r\nCREATE INDEX IDX_MINUSCULO ON CLIENTES(ID);\r\n");
    extractor().OverrideSQLDialect = 3;
    EXPECT_EQ(extractor().GetDialect(), 3);
    extractor().OverrideSQLDialect = 0;
    EXPECT_EQ(extractor().GetDialect(), session().db().SQLDialect());
}

TEST_F(Dialect3Source, EachCallReplacesItems) {
    EXPECT_NE(extract(eoDomain, "DM_VALOR"), "");
    EXPECT_EQ(extract(eoDomain, "NO_SUCH_DOMAIN"), "");
    EXPECT_EQ(extractor().Items().Count(), 0);
    EXPECT_NE(extract(eoIndexes, "IDX_CLI_NOME"), "");
    EXPECT_EQ(extract(eoView, "V_UMA").find("Index"), std::string::npos);
}

// ---- Values refreshed per call ------------------------------------------------------------------

TEST_F(Dialect3Source, DatabaseValuesRefreshedByEachCall) {
    extract(eoDomain, "NO_SUCH_DOMAIN");
    const std::string charSetId = firstValue(
        "SELECT CST.RDB$CHARACTER_SET_ID FROM RDB$CHARACTER_SETS CST WHERE CST.RDB$CHARACTER_SET_NAME = "
        "'ISO8859_1'");
    EXPECT_EQ(std::to_string(extractor().FDefaultCharSet()), charSetId);
    EXPECT_EQ(extractor().ODSMajorVersion(), 12); // Firebird 3
    EXPECT_EQ(extractor().DBSQLDialect(), 3);
    EXPECT_EQ(extractor().GetDialect(), 3);
}

class Dialect1Source : public ExtractorTest {
protected:
    Dialect1Source() : ExtractorTest(Db::Source1) {}
};

TEST_F(Dialect1Source, DatabaseValuesOfDialectOneDatabase) {
    extract(eoDomain, "NO_SUCH_DOMAIN");
    EXPECT_EQ(extractor().DBSQLDialect(), 1);
    EXPECT_EQ(extractor().GetDialect(), 1);
    EXPECT_EQ(extractor().ODSMajorVersion(), 12);
    // No default character set was given: NONE (0), or none at all (-1).
    EXPECT_LE(extractor().FDefaultCharSet(), 0);
}

// ---- Transaction handling -----------------------------------------------------------------------

TEST_F(Dialect3Source, CallOutsideTransactionLeavesItCommitted) {
    ASSERT_FALSE(session().tr().Active());
    EXPECT_NE(extract(eoTrigger, "TRG_PED_BI"), "");
    EXPECT_FALSE(session().tr().Active());
}

TEST_F(Dialect3Source, CallInsideTransactionLeavesItActiveAndCursorsOpen) {
    auto cursor = session().query("SELECT RDB$RELATION_NAME FROM RDB$RELATIONS ORDER BY RDB$RELATION_NAME");
    const std::string firstRow = cursor->Fields(0).AsTrimString();
    ASSERT_TRUE(session().tr().Active());
    EXPECT_NE(extract(eoView, "V_CLIENTES"), "");
    EXPECT_TRUE(session().tr().Active());
    // The cursor of the running walk is untouched: it moves on in the same transaction.
    ASSERT_TRUE(cursor->Next());
    EXPECT_GT(cursor->Fields(0).AsTrimString(), firstRow);
}

// Every type code of Firebird 3 has a name now, so the error comes from the query itself: a name
// longer than the name column is refused by the server.
TEST_F(Dialect3Source, ErrorLeavesStartedTransactionActive) {
    ASSERT_FALSE(session().tr().Active());
    EXPECT_NE(messageOf<std::exception>([&] { extractor().ExtractObject(eoDomain, std::string(200, 'D')); }),
              "<no error>");
    EXPECT_EQ(extractor().Items().Text(), "");
    EXPECT_TRUE(session().tr().Active());
}

// ---- Bindings and refused calls -----------------------------------------------------------------

TEST_F(Dialect3Source, MissingBindingsRaiseClientErrorsAndKeepItems) {
    const std::string before = extract(eoException, "E_ESTOQUE");

    extractor().setTransaction(nullptr);
    try {
        extractor().ExtractObject(eoException, "E_VAZIA");
        ADD_FAILURE() << "no error";
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.code(), ClientError::TransactionNotAssigned);
        EXPECT_STREQ(e.what(), "Transaction not assigned");
    }
    extractor().setDatabase(nullptr);
    EXPECT_EQ(messageOf<EIBClientError>([&] { extractor().ExtractObject(eoException, "E_VAZIA"); }),
              "Transaction not assigned"); // the transaction is checked first

    extractor().setTransaction(&session().tr());
    try {
        extractor().ExtractObject(eoException, "E_VAZIA");
        ADD_FAILURE() << "no error";
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.code(), ClientError::DatabaseNotAssigned);
        EXPECT_STREQ(e.what(), "Database not assigned");
    }
    EXPECT_EQ(extractor().Items().Text(), before);
    EXPECT_FALSE(session().tr().Active());
}

TEST_F(Dialect3Source, DetachedSessionIsNotConnected) {
    session().db().setConnected(false);
    EXPECT_THROW(extractor().ExtractObject(eoDomain, "DM_VALOR"), data::EIBError);
    EXPECT_FALSE(session().db().Connected());
    EXPECT_FALSE(session().tr().Active());
}

TEST_F(Dialect3Source, KindsAndOptionsNotBuiltAreRefusedBeforeAnything) {
    const std::string before = extract(eoIndexes, "IDX_CLI_NOME");
    for (const TExtractObjectTypes kind :
         {eoDatabase, eoTable, eoProcedure, eoGenerator, eoGrants, eoSubscription}) {
        EXPECT_THROW(extractor().ExtractObject(kind, "CLIENTES"), EExtractError) << kind;
    }
    EXPECT_THROW(extractor().ExtractObject(eoIndexes, "IDX_CLI_NOME", {etTable}), EExtractError);
    EXPECT_THROW(extractor().ListIndex("IDX_CLI_NOME", etTable), EExtractError);
    EXPECT_EQ(extractor().Items().Text(), before);
    EXPECT_FALSE(session().tr().Active());
}

TEST(ExtractorBindings, ForgetsDestroyedSessionAndTransaction) {
    TIBExtract extractor;
    {
        Session session(database(Db::Source3));
        extractor.setDatabase(&session.db());
        extractor.setTransaction(&session.tr());
        extractor.ExtractObject(eoException, "E_ESTOQUE");
        EXPECT_NE(extractor.Items().Text(), "");
    }
    EXPECT_EQ(extractor.Database(), nullptr);
    EXPECT_EQ(extractor.Transaction(), nullptr);
    EXPECT_EQ(messageOf<EIBClientError>([&] { extractor.ExtractObject(eoException, "E_ESTOQUE"); }),
              "Transaction not assigned");
}

// ---- Rows that DDL cannot produce -----------------------------------------------------------------
//
// The rendering works on the current row of a statement; a SELECT on RDB$DATABASE with the system
// columns' names gives rows with values no DDL stores (null flags, non-SQL triggers, type codes).

struct DomainRow {
    const char* name;
    std::string type;
    std::string subType;
    std::string scale;
    std::string precision;
    std::string characterLength;
    std::string validation;
    std::string expected;
};

// Failure messages name the case.
void PrintTo(const DomainRow& c, std::ostream* os) {
    *os << c.name;
}

class SyntheticDomainRow : public ExtractorTest, public ::testing::WithParamInterface<DomainRow> {};

TEST_P(SyntheticDomainRow, FormatDomainStr) {
    extract(eoDomain, "NO_SUCH_DOMAIN"); // refreshes the database values
    const DomainRow& r = GetParam();
    auto row = session().query(
        "SELECT CAST('D_X' AS CHAR(31)) AS RDB$FIELD_NAME, CAST(" + r.type +
        " AS SMALLINT) AS RDB$FIELD_TYPE, CAST(" + r.subType + " AS SMALLINT) AS RDB$FIELD_SUB_TYPE, CAST(" +
        r.scale + " AS SMALLINT) AS RDB$FIELD_SCALE, CAST(" + r.precision +
        " AS SMALLINT) AS RDB$FIELD_PRECISION, CAST(" + r.characterLength +
        " AS SMALLINT) AS RDB$CHARACTER_LENGTH, CAST(7 AS SMALLINT) AS RDB$FIELD_LENGTH, CAST(80 AS "
        "SMALLINT) AS "
        "RDB$SEGMENT_LENGTH, CAST(NULL AS SMALLINT) AS RDB$CHARACTER_SET_ID, CAST(NULL AS SMALLINT) AS "
        "RDB$COLLATION_ID, CAST(NULL AS SMALLINT) AS RDB$DIMENSIONS, CAST(NULL AS BLOB SUB_TYPE TEXT) AS "
        "RDB$DEFAULT_SOURCE, CAST(" +
        r.validation +
        " AS BLOB SUB_TYPE TEXT) AS RDB$VALIDATION_SOURCE, CAST(NULL AS SMALLINT) AS RDB$NULL_FLAG FROM "
        "RDB$DATABASE");
    ASSERT_FALSE(row->Eof());
    EXPECT_EQ(extractor().FormatDomainStr(*row), r.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SyntheticDomainRow,
    ::testing::Values(
        DomainRow{"SmallintScaleNoPrecision", "7", "0", "-1", "NULL", "NULL", "NULL", "NUMERIC(4, 1)"},
        DomainRow{"IntegerNumericNoPrecision", "8", "1", "-2", "NULL", "NULL", "NULL", "NUMERIC(9, 2)"},
        DomainRow{"DoubleScaled", "27", "0", "-3", "NULL", "NULL", "NULL", "NUMERIC(15, 3)"},
        DomainRow{"Int64ScaledWithoutDeclaredType", "16", "0", "-2", "18", "NULL", "NULL", "NUMERIC(18, 2)"},
        DomainRow{"Int64PrecisionNull", "16", "1", "-2", "NULL", "NULL", "NULL", "NUMERIC(18, 2)"},
        DomainRow{"DeclaredNumericSmallint", "7", "2", "-1", "3", "NULL", "NULL", "DECIMAL(3, 1)"},
        DomainRow{"DeclaredNumericScaleZero", "8", "1", "0", "9", "NULL", "NULL", "NUMERIC(9, 0)"},
        DomainRow{"BlobSubtypeFromTable", "261", "8", "0", "NULL", "NULL", "NULL",
                  "BLOB SUB_TYPE EXTERNAL_FILE_DESCRIPTION SEGMENT SIZE 80"},
        DomainRow{"BlobSubtypePastTable", "261", "9", "0", "NULL", "NULL", "NULL",
                  "BLOB SUB_TYPE 9 SEGMENT SIZE 80"},
        DomainRow{"CharLengthNullUsesBytes", "14", "0", "0", "NULL", "NULL", "NULL", "CHAR(7)"},
        DomainRow{"CharLengthWins", "37", "0", "0", "NULL", "2", "NULL", "VARCHAR(2)"},
        DomainRow{"Quad", "9", "0", "0", "NULL", "NULL", "NULL", "QUAD"},
        DomainRow{"Cstring", "40", "0", "0", "NULL", "NULL", "NULL", "CSTRING"},
        DomainRow{"BlobId", "45", "0", "0", "NULL", "NULL", "NULL", "BLOB_ID"},
        DomainRow{"InterbaseBoolean", "17", "0", "0", "NULL", "NULL", "NULL", "BOOLEAN"},
        DomainRow{"Boolean", "23", "0", "0", "NULL", "NULL", "NULL", "BOOLEAN"},
        DomainRow{"CheckWithoutKeywordIsComment", "8", "0", "0", "NULL", "NULL", "'VALUE > 0'",
                  "INTEGER\r\n\t /* VALUE > 0 */"},
        DomainRow{"CheckAnyCase", "8", "0", "0", "NULL", "NULL", "'ChEcK (VALUE > 0)  '",
                  "INTEGER\r\n\t ChEcK (VALUE > 0)"}),
    CaseName());

TEST_F(Dialect3Source, UnknownTypeCodeIsItemNotFound) {
    extract(eoDomain, "NO_SUCH_DOMAIN");
    for (const int code : {0, 11, 24, 26, 28, 262}) {
        auto row =
            session().query("SELECT CAST(" + std::to_string(code) +
                            " AS SMALLINT) AS RDB$FIELD_TYPE, 0 AS RDB$FIELD_SUB_TYPE, 0 AS RDB$FIELD_SCALE, "
                            "CAST(NULL AS SMALLINT) AS RDB$FIELD_PRECISION FROM RDB$DATABASE");
        EXPECT_EQ(messageOf<EExtractError>([&] { extractor().FormatDomainStr(*row); }), "Item not found")
            << code;
    }
}

TEST_F(Dialect3Source, CharacterSetLookups) {
    extract(eoDomain, "NO_SUCH_DOMAIN");
    const int16_t win1252 = static_cast<int16_t>(std::stoi(firstValue(
        "SELECT RDB$CHARACTER_SET_ID FROM RDB$CHARACTER_SETS WHERE RDB$CHARACTER_SET_NAME = 'WIN1252'")));
    const int16_t winPtbr = static_cast<int16_t>(std::stoi(
        firstValue("SELECT RDB$COLLATION_ID FROM RDB$COLLATIONS WHERE RDB$COLLATION_NAME = 'WIN_PTBR'")));
    const auto iso = static_cast<int16_t>(extractor().FDefaultCharSet());
    const int16_t ptbr = static_cast<int16_t>(std::stoi(
        firstValue("SELECT RDB$COLLATION_ID FROM RDB$COLLATIONS WHERE RDB$COLLATION_NAME = 'PT_BR'")));

    EXPECT_EQ(extractor().GetCharacterSets(0, 0, false), "");
    EXPECT_EQ(extractor().GetCharacterSets(iso, 0, false), "");
    EXPECT_EQ(extractor().GetCharacterSets(win1252, 0, false), " CHARACTER SET WIN1252");
    EXPECT_EQ(extractor().GetCharacterSets(win1252, 0, true), " CHARACTER SET WIN1252");
    EXPECT_EQ(extractor().GetCharacterSets(win1252, winPtbr, false),
              " CHARACTER SET WIN1252 COLLATE WIN_PTBR");
    EXPECT_EQ(extractor().GetCharacterSets(win1252, winPtbr, true), " COLLATE WIN_PTBR");
    EXPECT_EQ(extractor().GetCharacterSets(iso, ptbr, false), " COLLATE PT_BR");
    EXPECT_EQ(extractor().GetCharacterSets(999, 0, false), ""); // no such character set
    EXPECT_EQ(extractor().GetCharacterSets(win1252, 999, false), "");
    EXPECT_EQ(extractor().GetArrayField("D_ARRAY"), "[1:10, 0:5] ");
    EXPECT_EQ(extractor().GetArrayField("D_ARRAY   "), "[1:10, 0:5] ");
    EXPECT_EQ(extractor().GetArrayField("D_INTEGER"), "[] ");
    EXPECT_EQ(extractor().GetIndexSegments("IDX_CLI_NOME_ID"), "\"NOME\", \"ID\"");
    EXPECT_EQ(extractor().GetIndexSegments("IDX_EXPR"), "");
    EXPECT_EQ(extractor().GetIndexExpression("IDX_EXPR"), "(UPPER(NOME))");
    EXPECT_EQ(extractor().GetIndexExpression("IDX_CLI_NOME"), "");
    EXPECT_EQ(extractor().GetIndexExpression("NO_SUCH_INDEX"), "");
}

struct TriggerRow {
    const char* name;
    std::string inactive;
    std::string flags;
    std::string type;
    std::string sequence;
    std::string source;
    std::string expected;
};

// Failure messages name the case.
void PrintTo(const TriggerRow& c, std::ostream* os) {
    *os << c.name;
}

class SyntheticTriggerRow : public ExtractorTest, public ::testing::WithParamInterface<TriggerRow> {};

std::string joinLines(const std::vector<std::string>& lines) {
    data::TStringList list;
    list.Assign(lines);
    return list.Text();
}

TEST_P(SyntheticTriggerRow, TriggerStatement) {
    const TriggerRow& r = GetParam();
    auto row = session().query(
        "SELECT CAST('TRG' AS CHAR(31)) AS RDB$TRIGGER_NAME, CAST('PEDIDOS' AS CHAR(31)) AS "
        "RDB$RELATION_NAME, CAST(" +
        r.inactive + " AS SMALLINT) AS RDB$TRIGGER_INACTIVE, CAST(" + r.flags +
        " AS INTEGER) AS RDB$FLAGS, CAST(" + r.type + " AS BIGINT) AS RDB$TRIGGER_TYPE, CAST(" + r.sequence +
        " AS SMALLINT) AS RDB$TRIGGER_SEQUENCE, CAST(" + r.source +
        " AS BLOB SUB_TYPE TEXT) AS RDB$TRIGGER_SOURCE FROM RDB$DATABASE");
    ASSERT_FALSE(row->Eof());
    EXPECT_EQ(joinLines(extractor().TriggerStatement(*row)), r.expected);
}

const std::string kTrg = "CREATE TRIGGER \"TRG\" FOR \"PEDIDOS\" \r\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, SyntheticTriggerRow,
    ::testing::Values(
        TriggerRow{"NullFlagIsActive", "NULL", "1", "1", "0", "'AS BEGIN END'",
                   kTrg + "ACTIVE BEFORE INSERT POSITION 0\r\nAS BEGIN END\r\n ;\r\n\r\n"},
        TriggerRow{"FlagZeroIsActive", "0", "1", "2", "0", "'AS BEGIN END'",
                   kTrg + "ACTIVE AFTER INSERT POSITION 0\r\nAS BEGIN END\r\n ;\r\n\r\n"},
        TriggerRow{"FlagOneIsInactive", "1", "1", "6", "3", "'AS BEGIN END'",
                   kTrg + "INACTIVE AFTER DELETE POSITION 3\r\nAS BEGIN END\r\n ;\r\n\r\n"},
        TriggerRow{"NoSource", "0", "1", "3", "0", "NULL",
                   kTrg + "ACTIVE BEFORE UPDATE POSITION 0\r\n ;\r\n\r\n"},
        TriggerRow{"NonSqlWrapped", "0", "0", "5", "0", "'AS BEGIN END'",
                   "/* \r\n" + kTrg + "ACTIVE BEFORE DELETE POSITION 0\r\nAS BEGIN END\r\n ;\r\n\r\n */\r\n"},
        TriggerRow{"NonSqlFlagsNull", "0", "NULL", "1", "0", "NULL",
                   "/* \r\n" + kTrg + "ACTIVE BEFORE INSERT POSITION 0\r\n ;\r\n\r\n */\r\n"},
        TriggerRow{"TypeZeroHasNoPhrase", "0", "1", "0", "0", "NULL",
                   kTrg + "ACTIVE  POSITION 0\r\n ;\r\n\r\n"},
        TriggerRow{"TypeNull", "0", "1", "NULL", "0", "NULL", kTrg + "ACTIVE  POSITION 0\r\n ;\r\n\r\n"},
        TriggerRow{"SequenceNull", "0", "1", "4", "NULL", "NULL",
                   kTrg + "ACTIVE AFTER UPDATE POSITION 0\r\n ;\r\n\r\n"},
        TriggerRow{"NegativeSequence", "0", "1", "4", "-5", "NULL",
                   kTrg + "ACTIVE AFTER UPDATE POSITION -5\r\n ;\r\n\r\n"},
        TriggerRow{"AllEvents", "0", "1", "113", "0", "NULL",
                   kTrg + "ACTIVE BEFORE INSERT OR UPDATE OR DELETE POSITION 0\r\n ;\r\n\r\n"},
        TriggerRow{"LeadingBlankLinesStayTrailingGo", "0", "1", "1", "0", "'\n\nAS\rBEGIN END \n \r\n'",
                   kTrg + "ACTIVE BEFORE INSERT POSITION 0\r\n\r\n\r\nAS\r\nBEGIN END\r\n ;\r\n\r\n"}),
    CaseName());

TEST_F(Dialect3Source, TriggerTypeWithoutEventIsRefused) {
    for (const char* type : {"8197", "16385", "127"}) {
        auto row = session().query(
            "SELECT CAST('TRG' AS CHAR(31)) AS RDB$TRIGGER_NAME, CAST(NULL AS CHAR(31)) AS "
            "RDB$RELATION_NAME, 0 AS RDB$TRIGGER_INACTIVE, 1 AS RDB$FLAGS, CAST(" +
            std::string(type) +
            " AS BIGINT) AS RDB$TRIGGER_TYPE, 0 AS RDB$TRIGGER_SEQUENCE, CAST(NULL AS BLOB SUB_TYPE TEXT) AS "
            "RDB$TRIGGER_SOURCE FROM RDB$DATABASE");
        EXPECT_EQ(messageOf<EExtractError>([&] { extractor().TriggerStatement(*row); }),
                  "Trigger type " + std::string(type) + " has no event");
    }
}

TEST_F(Dialect3Source, TriggerWithoutRelationNamesNoTable) {
    auto row = session().query(
        "SELECT CAST('TRG' AS CHAR(31)) AS RDB$TRIGGER_NAME, CAST(NULL AS CHAR(31)) AS "
        "RDB$RELATION_NAME, 1 AS RDB$TRIGGER_INACTIVE, 1 AS RDB$FLAGS, CAST(8193 AS BIGINT) AS "
        "RDB$TRIGGER_TYPE, 2 AS RDB$TRIGGER_SEQUENCE, CAST('AS BEGIN END' AS BLOB SUB_TYPE TEXT) AS "
        "RDB$TRIGGER_SOURCE FROM RDB$DATABASE");
    EXPECT_EQ(joinLines(extractor().TriggerStatement(*row)),
              "CREATE TRIGGER \"TRG\" \r\nINACTIVE ON DISCONNECT POSITION 2\r\nAS BEGIN END\r\n ;\r\n\r\n");
}

TEST_F(Dialect3Source, ViewWithoutSource) {
    auto row = session().query(
        "SELECT CAST('V_CLIENTES' AS CHAR(31)) AS RDB$RELATION_NAME, CAST('SYSDBA' AS "
        "CHAR(31)) AS RDB$OWNER_NAME, CAST(NULL AS BLOB SUB_TYPE TEXT) AS RDB$VIEW_SOURCE FROM "
        "RDB$DATABASE");
    data::TIBSQL columns;
    columns.setDatabase(&session().db());
    columns.setTransaction(&session().tr());
    columns.SQL().Add(
        "SELECT RDB$FIELD_NAME FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = :RELATION_NAME "
        "ORDER BY RDB$FIELD_POSITION");
    EXPECT_EQ(
        joinLines(extractor().ViewStatement(*row, columns)),
        "\r\n/* View: V_CLIENTES, Owner: SYSDBA */\r\n\r\nCREATE VIEW \"V_CLIENTES\" (\r\n  \"ID\", \r\n  "
        "\"NOME\"\r\n) \r\nAS\r\n;\r\n");
}

} // namespace
} // namespace vistrel::extract::testing
