// A customer database on an older version of the schema, with its rows, brought into line with the
// newer version: the plan of differences, the alteration of changed objects with "Alterar" ticked,
// the changes that the rows refuse, and the rows themselves.
#include "sync/definitions.h"
#include "sync/plan.h"
#include "sync/registry.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/testserver.h"
#include "tests/sync/testhost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace vistrel::test {
namespace {

using sync::DifferenceAction;
using sync::ObjectType;

// The customer's rows, read through isql, so that a change to any of them shows.
// Each row as one text, so that a widened column does not change how isql pads it.
constexpr char kCustomerRows[] = "SELECT ID || '|' || COALESCE(NOME, '<null>') || '|' || EMAIL || '|' || "
                                 "COALESCE(FONE, '<null>') || '|' || "
                                 "CODIGO || '|' || COALESCE(ANTIGO, '<null>') FROM CLIENTES ORDER BY ID";
constexpr char kOrderRows[] =
    "SELECT ID || '|' || CLIENTE || '|' || STATUS || '|' || TOTAL || '|' || COALESCE(DESCONTO, -1) || '|' || "
    "COALESCE(OBS, '<null>') FROM PEDIDOS ORDER BY ID";

class UpgradeTest : public ::testing::Test {
protected:
    void SetUp() override {
        source = std::make_unique<ScratchDatabase>("upgrade_new", "fatura.fdb",
                                                   ScratchOptions{.script = sqlScript("upgrade_new.sql")});
        target = std::make_unique<ScratchDatabase>("upgrade_old", "fatura.fdb",
                                                   ScratchOptions{.script = sqlScript("upgrade_old.sql")});
        host = std::make_unique<TestHost>(*source, *target);
    }
    void TearDown() override { host.reset(); }

    std::vector<sync::Difference> plan() {
        auto records = sync::planDifferences(host->components(), sync::KindSelection::all());
        if (host->IBTransaction2().Active())
            host->IBTransaction2().Commit();
        return records;
    }

    // Every process in order, as the buttons run them; fullLog keeps what each wrote (the procedure
    // process clears the pane when it starts).
    void runAll() {
        for (const sync::ProcessRecord& process : sync::processRegistry()) {
            host->processLog.clear();
            sync::runProcess(process, host->components(), *host);
            fullLog += host->processLogText();
        }
        if (host->IBTransaction2().Active())
            host->IBTransaction2().Commit();
    }

    static const sync::Difference* find(const std::vector<sync::Difference>& records, ObjectType type,
                                        const std::string& name) {
        const auto found = std::find_if(records.begin(), records.end(), [&](const sync::Difference& r) {
            return r.type == type && r.name == name;
        });
        return found == records.end() ? nullptr : &*found;
    }

    static bool mentions(const sync::Difference& record, const std::string& word) {
        return std::any_of(record.differs.begin(), record.differs.end(),
                           [&](const std::string& d) { return d.find(word) != std::string::npos; });
    }

    std::unique_ptr<ScratchDatabase> source;
    std::unique_ptr<ScratchDatabase> target;
    std::unique_ptr<TestHost> host;
    std::string fullLog;
};

struct Expected {
    ObjectType type;
    const char* name;
    DifferenceAction action;
    const char* differs; // a word the record names ("" for none)
};

TEST_F(UpgradeTest, ThePlanNamesEveryChangedObjectAndWhatDiffers) {
    const auto records = plan();
    const Expected expected[] = {
        {ObjectType::Generator, "G_PEDIDOS", DifferenceAction::Alter, "incremento: 1 -> 10"},
        {ObjectType::Generator, "G_AUDITORIA", DifferenceAction::Create, ""},
        {ObjectType::Exception, "E_ESTOQUE", DifferenceAction::Alter, "mensagem"},
        {ObjectType::Exception, "E_CANCELADO", DifferenceAction::Create, ""},
        {ObjectType::Domain, "DM_STATUS", DifferenceAction::Alter, "tipo: VARCHAR(10)"},
        {ObjectType::Domain, "DM_STATUS", DifferenceAction::Alter, "default"},
        {ObjectType::Domain, "DM_STATUS", DifferenceAction::Alter, "check"},
        {ObjectType::Domain, "DM_VALOR", DifferenceAction::Alter, "NUMERIC(15, 2)"},
        {ObjectType::Domain, "DM_CODIGO", DifferenceAction::Refused, "VARCHAR(3)"},
        {ObjectType::Domain, "DM_OBRIGATORIO", DifferenceAction::Alter, "NOT NULL"},
        {ObjectType::Table, "AUDITORIA", DifferenceAction::Create, ""},
        {ObjectType::Column, "CLIENTES.NOME", DifferenceAction::Alter, "NOT NULL"},
        {ObjectType::Column, "CLIENTES.EMAIL", DifferenceAction::Alter, "VARCHAR(80)"},
        {ObjectType::Column, "CLIENTES.CIDADE", DifferenceAction::Create, ""},
        {ObjectType::Column, "CLIENTES.FONE", DifferenceAction::Refused, "tipo"},
        {ObjectType::Column, "CLIENTES.ANTIGO", DifferenceAction::OnlyInTarget, ""},
        {ObjectType::Column, "PEDIDOS.DESCONTO", DifferenceAction::Alter, "default"},
        {ObjectType::Column, "PEDIDOS.OBS", DifferenceAction::Alter, "VARCHAR(200)"},
        {ObjectType::View, "V_ABERTOS", DifferenceAction::Alter, "definição"},
        {ObjectType::Procedure, "SP_TOTAL", DifferenceAction::Alter, "corpo"},
        {ObjectType::Procedure, "SP_TOTAL", DifferenceAction::Alter, "parâmetros"},
        {ObjectType::Trigger, "TR_PED_BI", DifferenceAction::Alter, "posição: 0 -> 5"},
        {ObjectType::Trigger, "TR_PED_AI", DifferenceAction::Create, ""},
        {ObjectType::Index, "IDX_PED_STATUS", DifferenceAction::Alter, "colunas"},
        {ObjectType::Index, "IDX_CLI_CIDADE", DifferenceAction::Create, ""},
        {ObjectType::Constraint, "FK_PED_CLI", DifferenceAction::Alter, "ações"},
        {ObjectType::Constraint, "CK_TOTAL", DifferenceAction::Alter, "check"},
        {ObjectType::Constraint, "PK_AUDITORIA", DifferenceAction::Create, ""},
    };
    for (const Expected& e : expected) {
        const sync::Difference* record = find(records, e.type, e.name);
        ASSERT_NE(record, nullptr) << e.name;
        EXPECT_EQ(record->action, e.action) << sync::differenceLine(*record);
        if (*e.differs) {
            EXPECT_TRUE(mentions(*record, e.differs)) << sync::differenceLine(*record);
        }
    }
    // Nothing else differs: the objects both versions hold alike are the same.
    for (const char* same : {"CLIENTES.ID", "CLIENTES.CODIGO", "PEDIDOS.STATUS", "PEDIDOS.TOTAL"})
        EXPECT_EQ(find(records, ObjectType::Column, same)->action, DifferenceAction::Same) << same;
    EXPECT_EQ(find(records, ObjectType::Constraint, "PK_CLIENTES")->action, DifferenceAction::Same);
    // The refusals say why, with the rows that stand in the way.
    const sync::Difference* nome = find(records, ObjectType::Column, "CLIENTES.NOME");
    ASSERT_EQ(nome->refusals.size(), 1u);
    EXPECT_EQ(nome->refusals[0], "NOT NULL sobre 1 linha(s) com NULL");
    EXPECT_NE(find(records, ObjectType::Domain, "DM_CODIGO")->refusals.at(0).find("mais estreito"),
              std::string::npos);
}

TEST_F(UpgradeTest, AlterarBringsEveryChangeIntoLineAndKeepsTheRows) {
    const auto customersBefore = target->queryRows(kCustomerRows);
    const auto ordersBefore = target->queryRows(kOrderRows);
    host->alterarValue = true;
    runAll();

    const auto records = plan();
    for (const sync::Difference& record : records) {
        const bool refusedByRows =
            record.name == "DM_CODIGO" || record.name == "CLIENTES.FONE" || record.name == "CLIENTES.NOME";
        const DifferenceAction expected = refusedByRows                      ? DifferenceAction::Refused
                                          : record.name == "CLIENTES.ANTIGO" ? DifferenceAction::OnlyInTarget
                                                                             : DifferenceAction::Same;
        EXPECT_EQ(record.action, expected) << sync::differenceLine(record);
    }
    // NOME was widened; only its NOT NULL is left.
    EXPECT_FALSE(mentions(*find(records, ObjectType::Column, "CLIENTES.NOME"), "tipo"));
    EXPECT_EQ(customersBefore, target->queryRows(kCustomerRows));
    EXPECT_EQ(ordersBefore, target->queryRows(kOrderRows));
    EXPECT_EQ(target->queryValue("SELECT GEN_ID(G_PEDIDOS, 0) FROM RDB$DATABASE"), "500");

    // The target now answers as the newer version does.
    target->runSql("INSERT INTO PEDIDOS (ID, CLIENTE, TOTAL, DESCONTO) VALUES (20, 1, 50, 5);");
    EXPECT_EQ(target->queryValue("SELECT STATUS FROM PEDIDOS WHERE ID = 20"), "NOVO");
    EXPECT_EQ(target->queryValue("SELECT COUNT(*) FROM AUDITORIA WHERE PEDIDO = 20"), "1");
    EXPECT_EQ(target->queryValue("SELECT TOTAL FROM SP_TOTAL(20)"), "45.00");
    EXPECT_NO_THROW(
        target->runSql("UPDATE CLIENTES SET EMAIL = '" + std::string(63, 'e') + "' WHERE ID = 1;"));
    EXPECT_NO_THROW(target->runSql("UPDATE PEDIDOS SET STATUS = 'CANCELADO' WHERE ID = 20;"));

    // Each refusal has its line in the error log; no failure line for anything else.
    const std::string errors = sync::entriesText(host->errorLog);
    EXPECT_NE(errors.find("Domain não alterada; DM_CODIGO"), std::string::npos) << errors;
    EXPECT_NE(errors.find("Coluna não alterada; CLIENTES.NOME"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Não foi possivel"), std::string::npos) << errors;
    EXPECT_NE(fullLog.find("Coluna existe só no destino; CLIENTES.ANTIGO"), std::string::npos);
    EXPECT_NE(fullLog.find("Exception diferente; E_ESTOQUE (mensagem: Estoque insuficiente -> Estoque "
                           "insuficiente para o pedido)\r\n-------------------------Inicio da Alteração"),
              std::string::npos)
        << fullLog;

    // A second run alters nothing.
    host->sentStatements.clear();
    fullLog.clear();
    runAll();
    for (const std::string& statement : host->sentStatements) {
        EXPECT_EQ(statement.find("ALTER TABLE"), std::string::npos) << statement;
    }
    EXPECT_EQ(fullLog.find("Inicio da Alteração"), std::string::npos);
}

TEST_F(UpgradeTest, WithoutAlterarNothingChangedIsTouched) {
    runAll();
    const auto records = plan();
    for (const char* exception : {"E_ESTOQUE"})
        EXPECT_EQ(find(records, ObjectType::Exception, exception)->action, DifferenceAction::Alter);
    EXPECT_EQ(find(records, ObjectType::Index, "IDX_PED_STATUS")->action, DifferenceAction::Alter);
    EXPECT_EQ(find(records, ObjectType::Exception, "E_CANCELADO")->action, DifferenceAction::Same);
    EXPECT_EQ(fullLog.find("Inicio da Alteração"), std::string::npos);
    EXPECT_EQ(fullLog.find(" diferente; "), std::string::npos);
}

TEST_F(UpgradeTest, ARebuildThatFailsHalfWayLeavesTheObjectAsItWas) {
    // The newer index reads a column the target lacks until process 4 adds it: its rebuild drops the
    // old index and then fails to create the new one, so the drop is undone.
    source->runSql("ALTER TABLE PEDIDOS ADD PRIORIDADE_NOVA INTEGER;");
    source->runSql("DROP INDEX IDX_PED_STATUS;");
    source->runSql("CREATE INDEX IDX_PED_STATUS ON PEDIDOS (STATUS, PRIORIDADE_NOVA);");
    host->alterarValue = true;
    sync::runProcess(*sync::findProcess(7), host->components(), *host);

    const std::string errors = sync::entriesText(host->errorLog);
    EXPECT_NE(errors.find("Não foi possivel alterar o índice: IDX_PED_STATUS"), std::string::npos) << errors;
    EXPECT_NE(errors.find("    SQLCODE -607: "), std::string::npos) << errors;
    EXPECT_EQ(
        target->queryValue("SELECT COUNT(*) FROM RDB$INDEX_SEGMENTS WHERE RDB$INDEX_NAME = 'IDX_PED_STATUS'"),
        "1");
}

// ---- One change at a time ------------------------------------------------------------------------

// A target holding an older form of one object, the source the newer one, the processes that "Alterar"
// runs, and what the plan says of the object afterwards: the same on both sides, or refused with why
// (the rows that stand in the way are left as they are).
struct ChangeCase {
    const char* label;
    const char* target;
    const char* source;
    std::vector<int> processes;
    ObjectType type;
    const char* name;
    DifferenceAction after;
    const char* refusal; // a part of the refusal's text, for a refused change
    const char* rows;    // a query whose rows must not change
};

const ChangeCase kChangeCases[] = {
    {"ColumnComputedExpression",
     "CREATE TABLE T (A INTEGER, B COMPUTED BY (A * 2));",
     "CREATE TABLE T (A INTEGER, B COMPUTED BY (A * 3));",
     {4},
     ObjectType::Column,
     "T.B",
     DifferenceAction::Same,
     "",
     ""},
    {"ColumnDomain",
     "CREATE DOMAIN D AS INTEGER; CREATE TABLE T (A INTEGER); INSERT INTO T VALUES (1);",
     "CREATE DOMAIN D AS INTEGER; CREATE TABLE T (A D);",
     {3, 4},
     ObjectType::Column,
     "T.A",
     DifferenceAction::Same,
     "",
     "SELECT A FROM T"},
    {"ColumnPosition",
     "CREATE TABLE T (A INTEGER, B INTEGER, C INTEGER); INSERT INTO T VALUES (1, 2, 3);",
     "CREATE TABLE T (A INTEGER, C INTEGER, B INTEGER);",
     {4},
     ObjectType::Column,
     "T.B",
     DifferenceAction::Same,
     "",
     "SELECT A, B, C FROM T"},
    {"ColumnOtherCharacterSet",
     "CREATE TABLE T (A VARCHAR(10) CHARACTER SET WIN1252);",
     "CREATE TABLE T (A VARCHAR(10) CHARACTER SET UTF8);",
     {4},
     ObjectType::Column,
     "T.A",
     DifferenceAction::Refused,
     "outro conjunto de caracteres",
     ""},
    {"DomainCheckBrokenByRows",
     "CREATE DOMAIN D AS INTEGER; CREATE TABLE T (A D); INSERT INTO T VALUES (1); INSERT INTO T VALUES (5);",
     "CREATE DOMAIN D AS INTEGER CHECK (VALUE < 3); CREATE TABLE T (A D);",
     {3},
     ObjectType::Domain,
     "D",
     DifferenceAction::Refused,
     "o novo check recusaria 1 linha(s)",
     "SELECT A FROM T ORDER BY A"},
    {"CheckBrokenByRows",
     "CREATE TABLE T (A INTEGER, CONSTRAINT CK CHECK (A >= 0)); INSERT INTO T VALUES (5);",
     "CREATE TABLE T (A INTEGER, CONSTRAINT CK CHECK (A < 3));",
     {8},
     ObjectType::Constraint,
     "CK",
     DifferenceAction::Refused,
     "a nova regra recusaria 1 linha(s)",
     "SELECT A FROM T"},
    {"UniqueIndexOverRepeatedRows",
     "CREATE TABLE T (A INTEGER); CREATE INDEX IX ON T (A); INSERT INTO T VALUES (1); INSERT INTO T VALUES "
     "(1);",
     "CREATE TABLE T (A INTEGER); CREATE UNIQUE INDEX IX ON T (A);",
     {7},
     ObjectType::Index,
     "IX",
     DifferenceAction::Refused,
     "recusaria 2 linha(s) repetidas",
     "SELECT A FROM T"},
    {"IndexDescendingAndExpression",
     "CREATE TABLE T (A INTEGER, B VARCHAR(5)); CREATE INDEX IX ON T (A);",
     "CREATE TABLE T (A INTEGER, B VARCHAR(5)); CREATE DESCENDING INDEX IX ON T COMPUTED BY (UPPER(B));",
     {7},
     ObjectType::Index,
     "IX",
     DifferenceAction::Same,
     "",
     ""},
    {"ForeignKeyOverOrphanRows",
     "CREATE TABLE P (ID INTEGER NOT NULL PRIMARY KEY); CREATE TABLE Q (ID INTEGER NOT NULL PRIMARY KEY); "
     "CREATE TABLE C (X INTEGER, CONSTRAINT FK FOREIGN KEY (X) REFERENCES P (ID)); INSERT INTO P VALUES (1); "
     "INSERT INTO C VALUES (1);",
     "CREATE TABLE P (ID INTEGER NOT NULL PRIMARY KEY); CREATE TABLE Q (ID INTEGER NOT NULL PRIMARY KEY); "
     "CREATE TABLE C (X INTEGER, CONSTRAINT FK FOREIGN KEY (X) REFERENCES Q (ID));",
     {8},
     ObjectType::Constraint,
     "FK",
     DifferenceAction::Refused,
     "a nova regra recusaria 1 linha(s)",
     "SELECT X FROM C"},
    {"KeyRebuiltWithTheForeignKeysOnIt",
     "CREATE TABLE P (ID INTEGER NOT NULL, CODE INTEGER NOT NULL, CONSTRAINT PK_P PRIMARY KEY (CODE)); "
     "CREATE TABLE C (X INTEGER, CONSTRAINT FK_C FOREIGN KEY (X) REFERENCES P (CODE)); "
     "INSERT INTO P VALUES (1, 1); INSERT INTO C VALUES (1);",
     "CREATE TABLE P (ID INTEGER NOT NULL, CODE INTEGER NOT NULL, CONSTRAINT PK_P PRIMARY KEY (ID)); "
     "CREATE TABLE C (X INTEGER, CONSTRAINT FK_C FOREIGN KEY (X) REFERENCES P (ID));",
     {8},
     ObjectType::Constraint,
     "PK_P",
     DifferenceAction::Same,
     "",
     "SELECT X FROM C"},
    {"TriggerMadeInactive",
     "CREATE TABLE T (A INTEGER); SET TERM ^ ; CREATE TRIGGER TR FOR T ACTIVE BEFORE INSERT AS BEGIN NEW.A = "
     "1; "
     "END^ SET TERM ; ^",
     "CREATE TABLE T (A INTEGER); SET TERM ^ ; CREATE TRIGGER TR FOR T INACTIVE BEFORE INSERT OR UPDATE AS "
     "BEGIN NEW.A = 1; END^ SET TERM ; ^",
     {6},
     ObjectType::Trigger,
     "TR",
     DifferenceAction::Same,
     "",
     ""},
    {"DatabaseTriggerBody",
     "CREATE TABLE T (A INTEGER); SET TERM ^ ; CREATE TRIGGER TR_CONNECT ACTIVE ON CONNECT AS BEGIN END^ "
     "SET TERM ; ^",
     "CREATE TABLE T (A INTEGER); SET TERM ^ ; CREATE TRIGGER TR_CONNECT ACTIVE ON CONNECT AS DECLARE X "
     "INTEGER; BEGIN X = 1; END^ SET TERM ; ^",
     {6},
     ObjectType::Trigger,
     "TR_CONNECT",
     DifferenceAction::Same,
     "",
     ""},
    {"ProcedureParameterDefault",
     "SET TERM ^ ; CREATE PROCEDURE SP (A INTEGER = 1) RETURNS (R INTEGER) AS BEGIN R = A; SUSPEND; END^ "
     "SET TERM ; ^",
     "SET TERM ^ ; CREATE PROCEDURE SP (A INTEGER = 2) RETURNS (R INTEGER) AS BEGIN R = A; SUSPEND; END^ "
     "SET TERM ; ^",
     {5},
     ObjectType::Procedure,
     "SP",
     DifferenceAction::Same,
     "",
     ""},
};

class OneChange : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(OneChange, AlterarBringsItIntoLineOrRefusesItAndKeepsTheRows) {
    const ChangeCase& c = GetParam();
    ScratchDatabase source("nova", "fatura.fdb", {.sql = c.source});
    ScratchDatabase target("antiga", "fatura.fdb", {.sql = c.target});
    const std::vector<std::string> rows = *c.rows ? target.queryRows(c.rows) : std::vector<std::string>{};
    std::vector<sync::Difference> records;
    {
        TestHost host(source, target);
        const auto before = sync::planDifferences(host.components(), sync::KindSelection::all());
        const auto differing = std::find_if(before.begin(), before.end(), [&](const sync::Difference& r) {
            return r.type == c.type && r.name == c.name;
        });
        ASSERT_NE(differing, before.end());
        EXPECT_NE(differing->action, DifferenceAction::Same) << c.label;
        host.alterarValue = true;
        for (const int number : c.processes)
            sync::runProcess(*sync::findProcess(number), host.components(), host);
        if (host.IBTransaction2().Active())
            host.IBTransaction2().Commit();
        records = sync::planDifferences(host.components(), sync::KindSelection::all());
        const std::string errors = sync::entriesText(host.errorLog);
        EXPECT_EQ(errors.find("Não foi possivel"), std::string::npos) << errors;
        if (*c.refusal) {
            EXPECT_NE(errors.find(c.refusal), std::string::npos) << errors;
        }
    }
    const auto record = std::find_if(records.begin(), records.end(), [&](const sync::Difference& r) {
        return r.type == c.type && r.name == c.name;
    });
    ASSERT_NE(record, records.end());
    EXPECT_EQ(record->action, c.after) << sync::differenceLine(*record);
    if (*c.refusal) {
        ASSERT_FALSE(record->refusals.empty());
        EXPECT_NE(record->refusals[0].find(c.refusal), std::string::npos) << record->refusals[0];
    }
    if (*c.rows) {
        EXPECT_EQ(target.queryRows(c.rows), rows);
    }
}

INSTANTIATE_TEST_SUITE_P(Changes, OneChange, ::testing::ValuesIn(kChangeCases),
                         [](const ::testing::TestParamInfo<ChangeCase>& p) {
                             return std::string(p.param.label);
                         });

TEST(SourceText, TextsThatDifferOnlyInBlanksAtLineEndsOrLineBreaksAreTheSame) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    const Case cases[] = {
        {"BEGIN\r\n  X = 1;\r\nEND", "BEGIN\n  X = 1;\nEND", true},
        {"BEGIN   \n  X = 1;  \nEND  \n\n", "\n\nBEGIN\n  X = 1;\nEND", true},
        {"BEGIN\n  X = 1;\nEND", "BEGIN\n  X = 2;\nEND", false},
        {"BEGIN\n  X = 1;\nEND", "BEGIN\n    X = 1;\nEND", false},
        {"A B", "A  B", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sync::normalizedSource(c.a) == sync::normalizedSource(c.b), c.same) << c.a << " | " << c.b;
}

} // namespace
} // namespace vistrel::test
