// 2-CRIAR EXCEPTION and 3-COMPARAR DOMAINS against real source and target databases.
#include "data/errors.h"
#include "sync/processes.h"
#include "tests/sync/basicprocesses.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrel::test {
namespace {

constexpr char kExceptionBanner[] = "-------------------------Inicio da Exceptions--------------------------";
constexpr char kDomainBanner[] = "-------------------------Inicio Domains--------------------------";

// A message with an apostrophe and the word create in several letter cases, a name that holds the
// same letters, and a name with an apostrophe.
constexpr char kSourceExceptions[] = R"(
CREATE EXCEPTION E_ESTOQUE 'Sem estoque';
CREATE EXCEPTION E_CREATE 'Can''t create: Create it again, CREATE';
CREATE EXCEPTION "E'ASPA" 'Pedido já faturado';
)";

const std::vector<std::string> kExceptionLog = {
    "Exception não encontrada; " + padded("E_ESTOQUE"),
    kExceptionBanner,
    "\r\n\r\n\r\nCREATE OR ALTER EXCEPTION \"E_ESTOQUE\" 'Sem estoque';\r\n",
    kFim,
    "Exception não encontrada; " + padded("E_CREATE"),
    kExceptionBanner,
    "\r\n\r\n\r\nCREATE OR ALTER EXCEPTION \"E_CREATE\" 'Can''t create: Create it again, CREATE';\r\n",
    kFim,
    "Exception não encontrada; " + padded("E'ASPA"),
    kExceptionBanner,
    "\r\n\r\n\r\nCREATE OR ALTER EXCEPTION \"E'ASPA\" 'Pedido já faturado';\r\n",
    kFim,
};

constexpr char kTargetExceptions[] =
    "select rdb$exception_name, rdb$message from rdb$exceptions order by rdb$exception_name";

// A target that refuses every DDL statement: a trigger on the DDL events raises an exception.
constexpr char kTargetRefusingDdl[] = R"(
CREATE EXCEPTION E_RECUSA 'DDL recusada';
SET TERM ^ ;
CREATE TRIGGER TRG_RECUSA BEFORE ANY DDL STATEMENT AS BEGIN EXCEPTION E_RECUSA; END^
SET TERM ; ^
)";

const auto kBoxCases = ::testing::Values(
    BoxCase{"criarauto", true, false}, BoxCase{"criarauto_rapido", true, true},
    BoxCase{"nothing_executed", false, false}, BoxCase{"nothing_executed_rapido", false, true});
const auto kBoxCaseName = [](const auto& info) { return std::string(info.param.label); };

class ExceptionProcess : public ::testing::TestWithParam<BoxCase> {};

// The same lines whatever the boxes say. With criarauto the exceptions are created; without
// rapido the target is reconnected after every missing exception (executed or not), which
// commits; with rapido nothing is committed until a later reconnect.
TEST_P(ExceptionProcess, EmptyTargetGetsEveryException) {
    const BoxCase c = GetParam();
    DatabasePair db(kSourceExceptions, "");
    TestHost& host = db.host();
    host.criarautoValue = c.criarauto;
    host.rapidoValue = c.rapido;
    const int detaches = db.targetDetaches();

    host.run(sync::runExceptionProcess);

    EXPECT_EQ(host.processLog, kExceptionLog);
    EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(host.messages, std::vector<std::string>{kConcluido});
    ASSERT_NE(host.dataSource1, nullptr);
    EXPECT_EQ(host.dataSource1->Database(), &host.IBDatabase1());
    EXPECT_EQ(db.targetDetaches() - detaches, c.rapido ? 0 : 3);

    const auto rowsNow = db.target.queryRows(kTargetExceptions);
    EXPECT_EQ(rowsNow.size(), c.criarauto && !c.rapido ? 3u : 0u);
    db.reconnectTarget();
    EXPECT_EQ(db.target.queryRows(kTargetExceptions).size(), c.criarauto ? 3u : 0u);
    if (c.criarauto) {
        // The message reaches the target unchanged, apostrophe and every "create" included.
        EXPECT_EQ(db.target.queryValue("select rdb$message from rdb$exceptions where rdb$exception_name = "
                                       "'E_CREATE'"),
                  "Can't create: Create it again, CREATE");
        EXPECT_EQ(db.target.queryValue("select rdb$message from rdb$exceptions where rdb$exception_name = "
                                       "'E''ASPA'"),
                  "Pedido já faturado");
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, ExceptionProcess, allBoxCases(), ByLabel());

TEST(ExceptionProcessTarget, HoldingEveryExceptionWritesNothing) {
    DatabasePair db(kSourceExceptions, kSourceExceptions);
    const int detaches = db.targetDetaches();
    db.host().run(sync::runExceptionProcess);
    EXPECT_TRUE(db.host().processLog.empty());
    EXPECT_TRUE(db.host().errorLog.empty());
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kConcluido});
    EXPECT_EQ(db.targetDetaches(), detaches);
}

TEST(ExceptionProcessTarget, AnExceptionPresentWithAnotherMessageIsLeftAlone) {
    DatabasePair db(kSourceExceptions, "CREATE EXCEPTION E_CREATE 'outra';");
    db.host().run(sync::runExceptionProcess);
    const std::vector<std::string> expected = {kExceptionLog[0],  kExceptionLog[1], kExceptionLog[2],
                                               kExceptionLog[3],  kExceptionLog[8], kExceptionLog[9],
                                               kExceptionLog[10], kExceptionLog[11]};
    EXPECT_EQ(db.host().processLog, expected);
    EXPECT_EQ(
        db.target.queryValue("select rdb$message from rdb$exceptions where rdb$exception_name = 'E_CREATE'"),
        "outra");
}

// Domains: PK_ACESSO and names beginning with RDB$, MON$ or SEC$ are never walked; the others are
// probed and logged by their trimmed names. The server refuses user domains named RDB$...; the
// column of TX gets one (RDB$1), which the target lacks.
constexpr char kSourceDomains[] = R"(
CREATE DOMAIN DM_VALOR AS NUMERIC(15,2) DEFAULT 0 NOT NULL;
CREATE DOMAIN PK_ACESSO AS INTEGER;
CREATE TABLE TX (A INTEGER);
CREATE DOMAIN "MON$ABC" AS INTEGER;
CREATE DOMAIN "SEC$ABC" AS INTEGER;
CREATE DOMAIN DM_CREATE AS VARCHAR(20) DEFAULT 'create' CHECK (VALUE <> 'CREATE');
CREATE DOMAIN "DM'ASPA" AS SMALLINT;
)";

const std::vector<std::string> kDomainLog = {
    "Domain não encontrado; DM_VALOR",
    kDomainBanner,
    "\r\nCREATE DOMAIN \"DM_VALOR\" AS NUMERIC(15, 2)\r\n\t DEFAULT 0 NOT NULL;\r\n",
    kFim,
    "Domain não encontrado; DM_CREATE",
    kDomainBanner,
    "\r\nCREATE DOMAIN \"DM_CREATE\" AS VARCHAR(20)\r\n\t DEFAULT 'create'\r\n\t CHECK (VALUE <> "
    "'CREATE');\r\n",
    kFim,
    "Domain não encontrado; DM'ASPA",
    kDomainBanner,
    "\r\nCREATE DOMAIN \"DM'ASPA\" AS SMALLINT;\r\n",
    kFim,
};

constexpr char kTargetDomains[] =
    "select rdb$field_name from rdb$fields where rdb$field_name in ('DM_VALOR', "
    "'PK_ACESSO', 'RDB$1', 'MON$ABC', 'SEC$ABC', 'DM_CREATE', 'DM''ASPA') "
    "order by rdb$field_name";

class DomainProcess : public ::testing::TestWithParam<BoxCase> {};

// With criarauto every missing domain is created and the target reconnected right after it,
// rapido or not; without it nothing is executed and the target is not reconnected.
TEST_P(DomainProcess, EmptyTargetGetsEveryDomain) {
    const BoxCase c = GetParam();
    DatabasePair db(kSourceDomains, "");
    ASSERT_EQ(db.source.queryRows(kTargetDomains).size(), 7u);
    TestHost& host = db.host();
    host.criarautoValue = c.criarauto;
    host.rapidoValue = c.rapido;
    const int detaches = db.targetDetaches();

    host.run(sync::runDomainProcess);

    EXPECT_EQ(host.processLog, kDomainLog);
    EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(host.messages, std::vector<std::string>{kConcluido});
    ASSERT_NE(host.dataSource1, nullptr);
    EXPECT_EQ(host.dataSource1->Database(), &host.IBDatabase1());
    EXPECT_EQ(db.targetDetaches() - detaches, c.criarauto ? 3 : 0);
    const std::vector<std::string> created = {"DM'ASPA", "DM_CREATE", "DM_VALOR"};
    EXPECT_EQ(db.target.queryRows(kTargetDomains), c.criarauto ? created : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Boxes, DomainProcess, allBoxCases(), ByLabel());

TEST(DomainProcessTarget, HoldingEveryDomainWritesNothing) {
    DatabasePair db(kSourceDomains, kSourceDomains);
    const int detaches = db.targetDetaches();
    db.host().run(sync::runDomainProcess);
    EXPECT_TRUE(db.host().processLog.empty());
    EXPECT_TRUE(db.host().errorLog.empty());
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kConcluido});
    EXPECT_EQ(db.targetDetaches(), detaches);
}

// The domain process protects nothing: a domain the target refuses ends the run with the server's
// error after its not-found line, banner and text; its closing banner, its reconnect and the
// completion message do not come. The target refuses every DDL statement, so the very first domain
// is refused.
TEST(DomainProcessTarget, RefusedDomainEndsTheRun) {
    DatabasePair db("CREATE DOMAIN DM_A AS INTEGER; CREATE DOMAIN DM_B AS INTEGER;", kTargetRefusingDdl);
    const int detaches = db.targetDetaches();
    EXPECT_THROW(db.host().run(sync::runDomainProcess), data::EIBInterBaseError);
    const std::vector<std::string> expected = {"Domain não encontrado; DM_A", kDomainBanner,
                                               "\r\nCREATE DOMAIN \"DM_A\" AS INTEGER;\r\n"};
    EXPECT_EQ(db.host().processLog, expected);
    EXPECT_TRUE(db.host().messages.empty());
    EXPECT_EQ(db.targetDetaches(), detaches);
    EXPECT_TRUE(
        db.target.queryRows("select rdb$field_name from rdb$fields where rdb$field_name starting 'DM_'")
            .empty());
}

// The exception process protects nothing: on a target that refuses every DDL statement the first
// extracted statement is refused, and the run ends after the exception's not-found line, banner
// and text, without its closing banner, its reconnect or the completion message.
TEST(ExceptionProcessTarget, RefusedExceptionEndsTheRun) {
    DatabasePair db(kSourceExceptions, kTargetRefusingDdl);
    const int detaches = db.targetDetaches();
    EXPECT_THROW(db.host().run(sync::runExceptionProcess), data::EIBInterBaseError);
    const std::vector<std::string> expected(kExceptionLog.begin(), kExceptionLog.begin() + 3);
    EXPECT_EQ(db.host().processLog, expected);
    EXPECT_TRUE(db.host().messages.empty());
    EXPECT_EQ(db.targetDetaches(), detaches);
}

} // namespace
} // namespace vistrel::test
