// Objects arrive whole, end to end: an order-entry schema as a database administrator writes it
// (tests/sql/wholeobjects_source.sql: columns on domains, defaults, UTF8 and ASCII columns, a
// computed and an identity column, a BOOLEAN domain, an expression index, a database trigger,
// views over views, procedures calling procedures in both orders of age, triggers calling
// procedures, accented literals in every kind of source) and an empty target of the same default
// character set, WIN1252 and UTF8. The seven process buttons clicked once on the window, offscreen:
// no failure line, and isql-fb -x reads the same on both sides (constraints and privileges aside,
// which the eighth process and no process carry; line breaks of extracted sources aside, which
// arrive as CR LF). The same seven clicked again in the same window write nothing new but the view
// phase. What the target then does is what the source does: the accented texts of procedures,
// triggers, views, exceptions and domain defaults come back as written, identity and computed
// columns and defaults fill rows.
#include "tests/integration/schemacompare.h"

#include <QPushButton>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vistrel::test::integration {

namespace {

constexpr char kFileName[] = "vistrel.fdb";

struct Step {
    std::string label;
    std::vector<std::string> messages;
    std::string added; // what the click added to the process log (all of it when it was cleared)
    std::vector<std::string> summary; // the summary lines it ended with
    std::string errorLog;
};

std::vector<Step> clickSeven(Window& window) {
    std::vector<Step> steps;
    for (const ProcessButton& b : sevenButtons()) {
        Step step{b.label, {}, {}, {}, {}};
        const std::string before = window.processLog();
        const std::string errorsBefore = window.errorLog();
        step.messages = window.click(b.button(window.form()));
        const std::string after = window.processLog();
        const std::string own =
            after.compare(0, before.size(), before) == 0 ? after.substr(before.size()) : after;
        // The process's summary lines apart from the rest.
        step.added = withoutSummaryLines(own);
        step.summary = summaryLinesOf(own);
        step.errorLog = window.errorLog().substr(errorsBefore.size());
        steps.push_back(std::move(step));
    }
    return steps;
}

std::string withoutCarriageReturns(std::string text) {
    std::string out;
    for (char c : text)
        if (c != '\r')
            out += c;
    return out;
}

// The paragraphs of a pane's text.
std::vector<std::string> paragraphs(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find('\n', start);
        out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return out;
}

struct Scenario {
    std::unique_ptr<ScratchDatabase> source, target;
    std::vector<Step> firstRun, secondRun;
    std::string sourceIsql, targetIsql, targetIsqlAfterSecondRun;
};

Scenario makeScenario(const std::string& characterSet) {
    Scenario s;
    s.source =
        std::make_unique<ScratchDatabase>("inteiro_origem", kFileName,
                                          ScratchOptions{.script = sqlScript("wholeobjects_source.sql"),
                                                         .characterSet = characterSet,
                                                         .connectionCharacterSet = "UTF8"});
    s.target = std::make_unique<ScratchDatabase>(
        "inteiro_destino", kFileName,
        ScratchOptions{.characterSet = characterSet, .connectionCharacterSet = "UTF8"});
    {
        Window window(*s.source, *s.target);
        s.firstRun = clickSeven(window);
        s.targetIsql = isqlExtract(*s.target);
        s.secondRun = clickSeven(window);
    }
    s.sourceIsql = isqlExtract(*s.source);
    s.targetIsqlAfterSecondRun = isqlExtract(*s.target);
    return s;
}

// Built on first use for each character set; dropped after the last test, while the test server
// is still there.
std::map<std::string, std::unique_ptr<Scenario>> g_scenarios;

class DropScenarios : public ::testing::Environment {
public:
    void TearDown() override { g_scenarios.clear(); }
};
::testing::Environment* const g_dropScenarios =
    ::testing::AddGlobalTestEnvironment(new DropScenarios); // owned by GoogleTest

class WholeObjects : public ::testing::TestWithParam<const char*> {
protected:
    Scenario& scenario() {
        std::unique_ptr<Scenario>& s = g_scenarios[GetParam()];
        if (!s)
            s = std::make_unique<Scenario>(makeScenario(GetParam()));
        return *s;
    }
};

TEST_P(WholeObjects, OneRunBringsEveryObjectWholeAndASecondRunOnlyTheViewPhase) {
    const Scenario& s = scenario();
    ASSERT_EQ(s.firstRun.size(), 7u);

    // No failure line in any pane.
    for (size_t i = 0; i < s.firstRun.size(); ++i) {
        const Step& step = s.firstRun[i];
        SCOPED_TRACE(step.label);
        EXPECT_EQ(step.messages, sevenButtons()[i].expectedMessages);
        EXPECT_EQ(step.errorLog, "");
        for (const char* failure : {"Não foi possivel", "Erro na tabela", "Houve algum problema", "SQLCODE"})
            EXPECT_EQ(step.added.find(failure), std::string::npos) << step.added;
    }
    // The identity column's generator is its column's, not an object of the generator process.
    EXPECT_EQ(s.firstRun[0].added.find("RDB$"), std::string::npos) << s.firstRun[0].added;

    // isql-fb -x of both, object by object.
    const IsqlSchema source = parseIsqlExtract(s.sourceIsql, s.source->path().string());
    const IsqlSchema target = parseIsqlExtract(s.targetIsql, s.target->path().string());
    EXPECT_EQ(target.databaseLine, source.databaseLine);
    for (const char* kind : {"generator", "domain", "table", "procedure", "index", "view", "exception",
                             "trigger", "computed", "other"}) {
        SCOPED_TRACE(kind);
        const auto& sourceObjects = source.kind(kind);
        const auto& targetObjects = target.kind(kind);
        std::vector<std::string> sourceNames, targetNames;
        for (const auto& [name, text] : sourceObjects)
            sourceNames.push_back(name);
        for (const auto& [name, text] : targetObjects)
            targetNames.push_back(name);
        EXPECT_EQ(targetNames, sourceNames);
        for (const auto& [name, text] : sourceObjects) {
            const auto t = targetObjects.find(name);
            if (t != targetObjects.end()) {
                EXPECT_EQ(withoutCarriageReturns(t->second), withoutCarriageReturns(text)) << name;
            }
        }
    }
    // Every kind of the fixture is there to be compared.
    for (const char* kind :
         {"generator", "domain", "table", "procedure", "index", "view", "exception", "trigger"})
        EXPECT_FALSE(source.kind(kind).empty()) << kind;

    // The second run, in the same window: messages and no failure; nothing added but the view
    // phase (every view sent again) and the empty line with which the procedure process starts.
    ASSERT_EQ(s.secondRun.size(), 7u);
    for (size_t i = 0; i < s.secondRun.size(); ++i) {
        const Step& step = s.secondRun[i];
        SCOPED_TRACE(step.label);
        EXPECT_EQ(step.messages, sevenButtons()[i].expectedMessages);
        EXPECT_EQ(step.errorLog, "");
        if (i == 3) {
            int views = 0;
            for (const std::string& line : paragraphs(step.added)) {
                if (line.rfind("CREATE OR ALTER VIEW ", 0) == 0)
                    ++views;
                else if (line.rfind("Iniciando Compara", 0) != 0 && line.rfind("AS", 0) != 0 &&
                         line.rfind("SELECT", 0) != 0 && line.rfind("  ", 0) != 0 &&
                         line.rfind("    ", 0) != 0 && line.rfind("FROM", 0) != 0 && line != ")" &&
                         line != ") " && line != ";" && !line.empty())
                    ADD_FAILURE() << "not of the view phase: " << line;
            }
            EXPECT_EQ(views, static_cast<int>(source.kind("view").size())) << step.added;
        } else if (i == 4) {
            EXPECT_EQ(step.added, paneText({""}));
        } else {
            EXPECT_EQ(step.added, "");
        }
        // Its summary finds nothing missing, created or failed.
        EXPECT_FALSE(step.summary.empty());
        for (const std::string& line : step.summary)
            EXPECT_TRUE(line.ends_with(", faltando 0, criados 0, falhas 0")) << line;
    }
    EXPECT_EQ(s.targetIsqlAfterSecondRun, s.targetIsql);
}

// What the target does with the objects it received is what the source does with its own: the same
// rows written on both sides read back the same, accented texts of procedures, triggers, views,
// exceptions and domain defaults as written; domain checks refuse the same values.
TEST_P(WholeObjects, TheTargetBehavesAsTheSource) {
    const Scenario& s = scenario();
    // Rows filled by defaults (the domain's, the column's, CURRENT_DATE, BOOLEAN TRUE), a trigger
    // calling a procedure, an identity column, a computed column, and a trigger on the items that
    // calls a procedure calling another. The source's own rows go first.
    const char* const kWrites =
        "DELETE FROM ITENS; DELETE FROM PEDIDOS; DELETE FROM PRODUTOS; DELETE FROM CLIENTES;\n"
        "DELETE FROM REGISTRO;\n"
        "INSERT INTO CLIENTES (ID, NOME) VALUES (10, 'Zé');\n"
        "INSERT INTO PEDIDOS (CLIENTE_ID, FRETE) VALUES (10, 3);\n"
        "INSERT INTO PEDIDOS (CLIENTE_ID, OBS) VALUES (10, NULL);\n"
        "INSERT INTO PRODUTOS (ID, DESCRICAO, PRECO) VALUES (1, 'Açaí', 2.5);\n"
        "INSERT INTO ITENS (PEDIDO_ID, PRODUTO_ID, QUANTIDADE, PRECO) VALUES (1, 1, 2, 2.5);\n"
        "UPDATE CLIENTES SET NOME = 'Ελένη', ATIVO = FALSE WHERE ID = 10;\n";
    const std::vector<const char*> kQueries = {
        "SELECT TEXTO FROM SP_SAUDACAO('Zé')",
        "SELECT RDB$MESSAGE FROM RDB$EXCEPTIONS WHERE RDB$EXCEPTION_NAME STARTING 'E_' ORDER BY 1",
        "SELECT NOME, UF, ATIVO, LIMITE FROM CLIENTES",
        "SELECT ID, SITUACAO, OBS, TOTAL, TOTAL_COM_FRETE, EMISSAO - CURRENT_DATE FROM PEDIDOS ORDER BY ID",
        "SELECT DESCRICAO, PRECO, ESTOQUE FROM PRODUTOS",
        "SELECT TEXTO FROM REGISTRO ORDER BY TEXTO",
        "SELECT ID, TOTAL FROM V_A_PEDIDOS_ABERTOS ORDER BY ID",
        "SELECT CLIENTE_ID, PEDIDOS, TOTAL FROM V_RESUMO_CLIENTE",
    };
    // A value that a domain check refuses, on either side.
    const std::vector<const char*> kRefused = {
        "INSERT INTO CLIENTES (ID, NOME, UF) VALUES (11, 'x', 'sp');",
        "UPDATE PEDIDOS SET SITUACAO = 'perdido';",
        "UPDATE PRODUTOS SET PRECO = -1;",
    };
    for (const ScratchDatabase* side : {s.source.get(), s.target.get()})
        side->runSql(kWrites);
    for (const char* query : kQueries) {
        SCOPED_TRACE(query);
        const std::vector<std::string> rows = s.source->queryRows(query);
        EXPECT_FALSE(rows.empty());
        EXPECT_EQ(s.target->queryRows(query), rows);
    }
    for (const char* write : kRefused) {
        EXPECT_THROW(s.source->runSql(write), IsqlError) << write;
        EXPECT_THROW(s.target->runSql(write), IsqlError) << write;
    }
    // Spelled out: the accented texts as written.
    EXPECT_EQ(s.target->queryValue("SELECT TEXTO FROM SP_SAUDACAO('Zé')"),
              "Olá, Zé! A Padaria São João agradece a preferência.");
    EXPECT_EQ(s.target->queryRows("SELECT OBS FROM PEDIDOS ORDER BY ID"),
              (std::vector<std::string>{"sem observação", "criado às pressas"}));
    EXPECT_EQ(s.target->queryRows("SELECT TEXTO FROM REGISTRO ORDER BY TEXTO"),
              (std::vector<std::string>{"cliente desativado: Ελένη", "pedido incluído: 1",
                                        "pedido incluído: 2", "total calculado: ação concluída"}));
    EXPECT_EQ(s.target->queryValue("SELECT NOME FROM CLIENTES"), "Ελένη");
}

INSTANTIATE_TEST_SUITE_P(DefaultCharacterSets, WholeObjects, ::testing::Values("WIN1252", "UTF8"));

} // namespace

} // namespace vistrel::test::integration
