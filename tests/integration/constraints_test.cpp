// Constraints, end to end: a source whose tables carry every kind of constraint
// (tests/sql/constraints_source.sql) and an empty target of the same file name; the eight process
// buttons clicked in the order 1 to 8 on the window, offscreen, with "Criar. Aut" ticked and
// "Rápido" not. Afterwards isql-fb -x reads every constraint and every index the same on both
// sides, and a second run of the index and the constraint process writes nothing.
#include "tests/integration/schemacompare.h"

#include <QPushButton>

#include <gtest/gtest.h>

#include <regex>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vistrel::test::integration {

namespace {

constexpr char kFileName[] = "vistrel.fdb";

struct Step {
    std::string label;
    std::vector<std::string> messages;
    std::string added; // what the click added to the process log
    std::string errorLog;
};

Step clickOnce(Window& window, const ProcessButton& click) {
    Step step{click.label, {}, {}, {}};
    const std::string before = window.processLog();
    step.messages = window.click(click.button(window.form()));
    const std::string after = window.processLog();
    // The procedure process clears the log first.
    step.added = after.compare(0, before.size(), before) == 0 ? after.substr(before.size()) : after;
    step.errorLog = window.errorLog();
    return step;
}

struct Scenario {
    std::unique_ptr<ScratchDatabase> source, target;
    std::vector<Step> firstRun;
    IsqlSchema sourceSchema, targetSchema;
    std::vector<Step> secondRun; // 7, then 8
    std::string targetIsqlAfterFirstRun, targetIsqlAfterSecondRun;
};

std::unique_ptr<Scenario> g_scenario;

class DropScenario : public ::testing::Environment {
public:
    void TearDown() override { g_scenario.reset(); }
};
::testing::Environment* const g_dropScenario =
    ::testing::AddGlobalTestEnvironment(new DropScenario); // owned by GoogleTest

Scenario& scenario() {
    if (!g_scenario) {
        auto s = std::make_unique<Scenario>();
        s->source = std::make_unique<ScratchDatabase>(
            "origem", kFileName, ScratchOptions{.script = sqlScript("constraints_source.sql")});
        s->target = std::make_unique<ScratchDatabase>("destino", kFileName);
        {
            Window window(*s->source, *s->target);
            for (const ProcessButton& c : processButtons())
                s->firstRun.push_back(clickOnce(window, c));
        }
        s->targetIsqlAfterFirstRun = isqlExtract(*s->target);
        s->sourceSchema = parseIsqlExtract(isqlExtract(*s->source), s->source->path().string());
        s->targetSchema = parseIsqlExtract(s->targetIsqlAfterFirstRun, s->target->path().string());
        {
            Window window(*s->source, *s->target);
            for (const ProcessButton& c : processButtons())
                if (c.button(window.form()) == window.form().Button11 ||
                    c.button(window.form()) == window.form().Button12)
                    s->secondRun.push_back(clickOnce(window, c));
        }
        s->targetIsqlAfterSecondRun = isqlExtract(*s->target);
        g_scenario = std::move(s);
    }
    return *g_scenario;
}

class ConstraintConvergence : public ::testing::Test {
protected:
    static void SetUpTestSuite() { scenario(); }
};

} // namespace

TEST_F(ConstraintConvergence, EightButtonsRunWithoutFailure) {
    const Scenario& s = scenario();
    ASSERT_EQ(s.firstRun.size(), 8u);
    for (size_t i = 0; i < s.firstRun.size(); ++i) {
        const Step& step = s.firstRun[i];
        SCOPED_TRACE(step.label);
        EXPECT_EQ(step.messages, processButtons()[i].expectedMessages);
        EXPECT_EQ(step.errorLog, "");
        for (const char* failure : {"Não foi possivel", "Erro na tabela", "Houve algum problema"})
            EXPECT_EQ(step.added.find(failure), std::string::npos) << step.added;
    }
    // Process 8 reported every constraint of the source missing, in the order of the walk: keys
    // before the foreign keys that reference them, checks last.
    const std::string& constraints = s.firstRun[7].added;
    size_t count = 0;
    for (size_t at = constraints.find("Constraint não encontrada; "); at != std::string::npos;
         at = constraints.find("Constraint não encontrada; ", at + 1))
        ++count;
    EXPECT_EQ(count, 19u) << constraints;
    const size_t primaryKey =
        constraints.find("ALTER TABLE CLIENTES ADD CONSTRAINT PK_CLIENTES PRIMARY KEY (ID);");
    const size_t unique = constraints.find("ALTER TABLE CLIENTES ADD CONSTRAINT UQ_CLI_CPF UNIQUE (CPF);");
    const size_t foreignKey = constraints.find("ALTER TABLE PEDIDOS ADD CONSTRAINT FK_PED_CPF FOREIGN KEY "
                                               "(CPF) REFERENCES CLIENTES (CPF) ON DELETE SET "
                                               "NULL;");
    const size_t check = constraints.find("ALTER TABLE PRODUTOS ADD CHECK (PRECO >= 0);");
    EXPECT_NE(primaryKey, std::string::npos);
    EXPECT_LT(primaryKey, unique);
    EXPECT_LT(unique, foreignKey);
    EXPECT_LT(foreignKey, check);
    EXPECT_NE(check, std::string::npos);
}

TEST_F(ConstraintConvergence, IsqlExtractMatchesInEveryConstraintAndIndex) {
    const Scenario& s = scenario();
    // The script was read as it should be: foreign keys and checks as statements of their own.
    EXPECT_EQ(s.sourceSchema.kind("constraint").size(), 10u);
    EXPECT_EQ(s.targetSchema.kind("constraint"), s.sourceSchema.kind("constraint"));
    EXPECT_EQ(s.sourceSchema.kind("index").size(), 2u);
    EXPECT_EQ(s.targetSchema.kind("index"), s.sourceSchema.kind("index"));
    // Primary and unique keys stand inside the CREATE TABLE statements.
    const auto& sourceTables = s.sourceSchema.kind("table");
    const auto& targetTables = s.targetSchema.kind("table");
    ASSERT_EQ(sourceTables.size(), 5u);
    size_t keys = 0;
    for (const auto& [name, text] : sourceTables) {
        SCOPED_TRACE(name);
        const auto t = targetTables.find(name);
        ASSERT_NE(t, targetTables.end());
        const TableStatement source = splitTableStatement(text);
        EXPECT_EQ(splitTableStatement(t->second).constraints, source.constraints);
        keys += source.constraints.size();
    }
    EXPECT_EQ(keys, 9u);
}

TEST_F(ConstraintConvergence, SecondRunOfIndexesAndConstraintsWritesNothing) {
    const Scenario& s = scenario();
    ASSERT_EQ(s.secondRun.size(), 2u);
    for (const Step& step : s.secondRun) {
        SCOPED_TRACE(step.label);
        EXPECT_EQ(step.messages, std::vector<std::string>{"Processo finalizado!"});
        // Nothing but the process's summary, which finds nothing missing.
        EXPECT_TRUE(std::regex_match(
            step.added,
            std::regex(
                R"(\n\[[78] [^\]]+\] [^:\n]+: percorridos [1-9][0-9]*, faltando 0, criados 0, falhas 0)")))
            << step.added;
        EXPECT_EQ(step.errorLog, "");
    }
    EXPECT_EQ(s.targetIsqlAfterSecondRun, s.targetIsqlAfterFirstRun);
}

} // namespace vistrel::test::integration
