// 1-CRIAR GENERATOR against real source and target databases.
#include "data/errors.h"
#include "data/ibdataset.h"
#include "sync/processes.h"
#include "tests/sync/basicprocesses.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vistrel::test {
namespace {

// Ordinary names, names that need quotes (lower case with an accent, a blank, an apostrophe, a
// reserved word) and another ordinary one, in the order the server stores them.
constexpr char kSourceGenerators[] = R"(
CREATE GENERATOR G_CLIENTES;
CREATE SEQUENCE "g_minúsculo";
CREATE GENERATOR "G COM ESPACO";
CREATE GENERATOR "G'ASPA";
CREATE GENERATOR "ORDER";
CREATE GENERATOR G_PEDIDOS$2;
)";

const std::vector<std::string> kGeneratorNames = {"G_CLIENTES", "g_minúsculo", "G COM ESPACO",
                                                  "G'ASPA",     "ORDER",       "G_PEDIDOS$2"};

constexpr char kUserGenerators[] =
    "select rdb$generator_name from rdb$generators where rdb$system_flag = 0 order by rdb$generator_name";

std::vector<std::string> createdLines(const std::vector<std::string>& names) {
    std::vector<std::string> lines;
    for (const auto& n : names)
        lines.push_back("Generator Criado; " + padded(n));
    return lines;
}

std::vector<std::string> sortedNames() {
    return {"G COM ESPACO", "G'ASPA", "G_CLIENTES", "G_PEDIDOS$2", "ORDER", "g_minúsculo"};
}

// Every statement text given to CAMPOS2 (its SQL text right after each change that sets one).
class StatementTexts {
public:
    explicit StatementTexts(data::TIBQuery& query) : m_query(query), m_previous(query.SQL().OnChange) {
        m_query.SQL().OnChange = [this] {
            if (m_previous)
                m_previous();
            if (!m_query.SQL().Text().empty())
                texts.push_back(m_query.SQL().Text());
        };
    }
    ~StatementTexts() { m_query.SQL().OnChange = m_previous; }
    StatementTexts(const StatementTexts&) = delete;
    StatementTexts& operator=(const StatementTexts&) = delete;

    std::vector<std::string> texts;

private:
    data::TIBQuery& m_query;
    std::function<void()> m_previous;
};

class GeneratorProcess : public ::testing::TestWithParam<BoxCase> {};

// Every missing generator gets its line whatever the boxes say; it is created only with criarauto;
// the process never reconnects the target but commits what it created at the end of the run, fast
// mode or not, on the same attachment.
TEST_P(GeneratorProcess, EmptyTargetGetsEveryGeneratorLine) {
    const BoxCase c = GetParam();
    DatabasePair db(kSourceGenerators, "");
    TestHost& host = db.host();
    host.criarautoValue = c.criarauto;
    host.rapidoValue = c.rapido;
    const int detaches = db.targetDetaches();

    host.run(sync::runGeneratorProcess);

    EXPECT_EQ(host.processLog, createdLines(kGeneratorNames));
    EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(host.messages, std::vector<std::string>{kConcluido});
    EXPECT_EQ(host.dataSource1, nullptr);
    EXPECT_EQ(db.targetDetaches(), detaches);
    EXPECT_FALSE(host.IBTransaction2().Active());
    EXPECT_EQ(db.target.queryRows(kUserGenerators), c.criarauto ? sortedNames() : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Boxes, GeneratorProcess, allBoxCases(), ByLabel());

// The statement CAMPOS2 ran last: an ordinary name goes in as read, padding and all; a name that
// needs quotes goes in quoted, without the padding.
TEST(GeneratorProcessTarget, StatementTextQuotesOnlyNamesThatNeedIt) {
    const std::pair<const char*, std::string> cases[] = {
        {"CREATE GENERATOR G_PEDIDOS$2;", "CREATE GENERATOR " + padded("G_PEDIDOS$2") + " \r\n"},
        {"CREATE GENERATOR \"g lower\";", "CREATE GENERATOR \"g lower\" \r\n"},
        {"CREATE GENERATOR \"ORDER\";", "CREATE GENERATOR \"ORDER\" \r\n"},
        {"CREATE GENERATOR \"G\"\"X\";", "CREATE GENERATOR \"G\"\"X\" \r\n"},
    };
    for (const auto& [sql, statement] : cases) {
        SCOPED_TRACE(sql);
        DatabasePair db(sql, "");
        db.host().run(sync::runGeneratorProcess);
        EXPECT_EQ(db.host().CAMPOS2().SQL().Text(), statement);
        EXPECT_FALSE(db.host().CAMPOS2().ParamCheck);
        db.reconnectTarget();
        EXPECT_EQ(db.target.queryRows(kUserGenerators), db.source.queryRows(kUserGenerators));
    }
}

TEST(GeneratorProcessTarget, HoldingEveryGeneratorWritesNothing) {
    DatabasePair db(kSourceGenerators, kSourceGenerators);
    db.host().run(sync::runGeneratorProcess);
    EXPECT_TRUE(db.host().processLog.empty());
    EXPECT_TRUE(db.host().errorLog.empty());
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kConcluido});
}

TEST(GeneratorProcessTarget, OnlyTheMissingOnesAreCreatedAndStartAtZero) {
    DatabasePair db("CREATE GENERATOR G_A; CREATE GENERATOR G_B; SET GENERATOR G_B TO 50;",
                    "CREATE GENERATOR G_A;");
    db.host().run(sync::runGeneratorProcess);
    EXPECT_EQ(db.host().processLog, createdLines({"G_B"}));
    db.reconnectTarget();
    EXPECT_EQ(db.target.queryValue("select gen_id(G_B, 0) from rdb$database"), "0");
}

// A run (here of the exception process, which shows its rows) releases the cursors of earlier
// runs, except one that something still observes (a grid).
TEST(RunCursors, CursorsOfEarlierRunsAreReleasedUnlessObserved) {
    struct Grid final : data::DataSetObserver {
        void dataSetChanged() override {}
        void rowsFetched(int, int) override {}
        void currentRowChanged(int) override {}
        void dataSetDestroyed() override {}
    };
    DatabasePair db("CREATE EXCEPTION E_A 'a';", "CREATE EXCEPTION E_A 'a';");
    sync::SyncComponents& components = db.host().components();
    db.host().run(sync::runExceptionProcess);
    const size_t afterOneRun = components.keptCursorCount();
    ASSERT_GT(afterOneRun, 0u);
    for (int i = 0; i < 5; ++i)
        db.host().run(sync::runExceptionProcess);
    EXPECT_EQ(components.keptCursorCount(), afterOneRun) << "the cursors held grow with the runs";

    Grid grid;
    data::TIBDataSet* shown = db.host().dataSource1;
    ASSERT_NE(shown, nullptr);
    shown->addObserver(&grid);
    db.host().run(sync::runExceptionProcess);
    db.host().run(sync::runExceptionProcess);
    EXPECT_EQ(components.keptCursorCount(), afterOneRun + 1) << "an observed cursor is kept";
    EXPECT_EQ(shown->Database(), &components.IBDatabase1()) << "the observed cursor is still usable";
    shown->removeObserver(&grid);
    db.host().run(sync::runExceptionProcess);
    EXPECT_EQ(components.keptCursorCount(), afterOneRun);
}

// A new generator starts where the source's was declared to start, with its step; the defaults
// (start 0, step 1) add nothing to the statement. A generator the target holds keeps its value,
// and the generator of an identity column is left to its column.
TEST(GeneratorProcessTarget, NewGeneratorsKeepTheDeclaredStartAndStep) {
    DatabasePair db(R"(
CREATE SEQUENCE G_INICIO START WITH 100 INCREMENT BY 5;
CREATE SEQUENCE G_PASSO INCREMENT BY -1;
CREATE SEQUENCE G_NEGATIVO START WITH -20;
CREATE SEQUENCE G_PADRAO;
CREATE SEQUENCE G_EXISTE START WITH 7;
SET GENERATOR G_INICIO TO 900;
CREATE TABLE T_IDENTIDADE (ID INTEGER GENERATED BY DEFAULT AS IDENTITY (START WITH 40), NOME VARCHAR(10));
)",
                    "CREATE SEQUENCE G_EXISTE; SET GENERATOR G_EXISTE TO 3;");
    StatementTexts statements(db.host().CAMPOS2());

    db.host().run(sync::runGeneratorProcess);

    EXPECT_EQ(db.host().processLog, createdLines({"G_INICIO", "G_PASSO", "G_NEGATIVO", "G_PADRAO"}));
    EXPECT_EQ(statements.texts,
              (std::vector<std::string>{
                  "CREATE GENERATOR " + padded("G_INICIO") + " START WITH 100 INCREMENT BY 5 \r\n",
                  "CREATE GENERATOR " + padded("G_PASSO") + " INCREMENT BY -1 \r\n",
                  "CREATE GENERATOR " + padded("G_NEGATIVO") + " START WITH -20 \r\n",
                  "CREATE GENERATOR " + padded("G_PADRAO") + " \r\n",
              }));
    const std::string declared = "select trim(rdb$generator_name) || ' ' || rdb$initial_value || ' ' || "
                                 "rdb$generator_increment from rdb$generators where rdb$system_flag = 0 and "
                                 "rdb$generator_name <> 'G_EXISTE' order by 1";
    EXPECT_EQ(db.target.queryRows(declared), db.source.queryRows(declared));
    // The current value of a new generator is its declared start, not the source's current value.
    EXPECT_EQ(db.target.queryValue("select gen_id(G_INICIO, 0) from rdb$database"), "100");
    EXPECT_EQ(db.target.queryValue("select gen_id(G_EXISTE, 0) from rdb$database"), "3");
    EXPECT_EQ(db.target.queryValue("select count(*) from rdb$generators where rdb$system_flag = 6"), "0");
}

// A dialect-1 target has no quoted names: a name that needs quotes is reported in the error log
// with the reason, nothing is sent for it, and the walk goes on; the ordinary names are created
// as read and the run completes.
TEST(GeneratorProcessTarget, ANameThatNeedsQuotesIsReportedOnADialectOneTarget) {
    DatabasePair db("CREATE GENERATOR G_A; CREATE GENERATOR \"G B\"; CREATE GENERATOR G_C;", "", 1);
    db.host().run(sync::runGeneratorProcess);
    EXPECT_EQ(db.host().processLog, createdLines({"G_A", "G B", "G_C"}));
    const std::vector<std::string> failure = {"Não foi possivel criar o generator: " + padded("G B"),
                                              "    Nome que o dialeto 1 não aceita: G B"};
    EXPECT_EQ(db.host().errorLog, failure);
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kConcluido});
    db.reconnectTarget();
    EXPECT_EQ(db.target.queryRows(kUserGenerators), (std::vector<std::string>{"G_A", "G_C"}));
}

} // namespace
} // namespace vistrel::test
