// The eight processes from a dialect-3 source onto an empty dialect-1 target: every object with an
// ordinary name arrives, and each name that dialect 1 cannot hold (it has no quoted names) is
// reported for its object with the reason, while the walk goes on.
#include "sync/processes.h"
#include "tests/sync/basicprocesses.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace vistrel::test {
namespace {

// Per kind one object with an ordinary name and one whose name needs quotes (lower case, a blank,
// a hyphen); a table holds such a column between two ordinary ones.
constexpr char kSource[] = R"(
CREATE GENERATOR G_ORD;
CREATE GENERATOR "g_min";
CREATE EXCEPTION E_ORD 'Erro comum';
CREATE EXCEPTION "E ESPACO" 'Erro';
CREATE DOMAIN DM_ORD AS INTEGER DEFAULT 0 CHECK (VALUE >= 0);
CREATE DOMAIN "DM-HIFEN" AS INTEGER;
CREATE TABLE T_ORD (ID INTEGER NOT NULL, "NOME MEIO" VARCHAR(10), NOME VARCHAR(20), VALOR DM_ORD);
CREATE TABLE "t_min" (ID INTEGER);
CREATE VIEW V_ORD AS SELECT ID, NOME FROM T_ORD;
CREATE VIEW "V ESPACO" AS SELECT ID FROM T_ORD;
SET TERM ^ ;
CREATE PROCEDURE SP_ORD (A INTEGER) RETURNS (B INTEGER) AS BEGIN B = A + 1; SUSPEND; END^
CREATE PROCEDURE "sp_min" (A INTEGER) AS BEGIN END^
CREATE TRIGGER TRG_ORD FOR T_ORD BEFORE INSERT AS BEGIN NEW.ID = COALESCE(NEW.ID, GEN_ID(G_ORD, 1)); END^
CREATE TRIGGER "trg_min" FOR T_ORD BEFORE UPDATE AS BEGIN END^
SET TERM ; ^
CREATE INDEX IDX_ORD ON T_ORD (NOME);
CREATE INDEX "idx_min" ON T_ORD (VALOR);
ALTER TABLE T_ORD ADD CONSTRAINT PK_ORD PRIMARY KEY (ID);
ALTER TABLE T_ORD ADD CONSTRAINT "uq_min" UNIQUE (NOME);
)";

constexpr char kReason[] = "    Nome que o dialeto 1 não aceita: ";

// What one process writes for the names it cannot carry: its failure lines, each followed by the
// reason, in the process log and in the error log, and its completion message.
struct ProcessCase {
    const char* label;
    sync::ProcessEntry process;
    std::vector<std::string> processLogFailures;
    std::vector<std::string> errorLog;
    std::vector<std::string> messages;
};

// The failure lines of a pane and the line under each.
std::vector<std::string> failureLines(const std::vector<std::string>& pane) {
    static const char* const kLeads[] = {"Não foi possivel", "Erro na tabela", "Houve algum problema"};
    std::vector<std::string> out;
    for (std::size_t i = 0; i < pane.size(); ++i) {
        for (const char* lead : kLeads) {
            if (pane[i].rfind(lead, 0) == 0) {
                out.push_back(pane[i]);
                out.push_back(i + 1 < pane.size() ? pane[i + 1] : std::string("<nothing>"));
            }
        }
    }
    return out;
}

std::vector<std::string> after(const std::vector<std::string>& lines, std::size_t from) {
    return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())), lines.end()};
}

TEST(DialectOneTarget, OrdinaryNamesArriveAndEveryOtherNameIsReportedForItsObject) {
    DatabasePair db(kSource, "", 1);
    TestHost& host = db.host();

    const std::vector<ProcessCase> cases = {
        {"1 generators",
         sync::runGeneratorProcess,
         {},
         {"Não foi possivel criar o generator: " + padded("g_min"), kReason + std::string("g_min")},
         {kConcluido}},
        {"2 exceptions",
         sync::runExceptionProcess,
         {},
         {"Não foi possivel criar a exception: " + padded("E ESPACO"), kReason + std::string("E ESPACO")},
         {kConcluido}},
        {"3 domains",
         sync::runDomainProcess,
         {},
         {"Não foi possivel criar o domain: DM-HIFEN", kReason + std::string("DM-HIFEN")},
         {kConcluido}},
        {"4 tables and views",
         sync::runTableViewProcess,
         {"Não foi possivel criar à view V ESPACO", kReason + std::string("V ESPACO")},
         // The view's line of the process log stands in the error log too.
         {"Erro na tabela: " + padded("T_ORD"), kReason + std::string("NOME MEIO"),
          "Erro na tabela: " + padded("t_min"), kReason + std::string("t_min"),
          "Não foi possivel criar à view V ESPACO", kReason + std::string("V ESPACO")},
         {}},
        {"5 procedures",
         sync::runProcedureProcess,
         {},
         {"Houve algum problema na execução dessa procedure sp_min", kReason + std::string("sp_min")},
         {"Comparação de procedure finalizada;"}},
        {"6 triggers",
         sync::runTriggerProcess,
         {},
         {"Não foi possivel criar a trigger: " + padded("trg_min"), kReason + std::string("trg_min")},
         {kFinalizado}},
        {"7 indexes",
         sync::runIndexProcess,
         {"Não foi possivel criar esse indice!", kReason + std::string("idx_min")},
         // In the error log the line names the index.
         {"Não foi possivel criar o indice: " + padded("idx_min"), kReason + std::string("idx_min")},
         {kFinalizado}},
        {"8 constraints",
         sync::runConstraintProcess,
         {},
         {"Não foi possivel criar a constraint: " + padded("uq_min"), kReason + std::string("uq_min")},
         {kFinalizado}},
    };
    for (const ProcessCase& c : cases) {
        SCOPED_TRACE(c.label);
        host.processLog.clear();
        const std::size_t errors = host.errorLog.size();
        const std::size_t messages = host.messages.size();
        ASSERT_NO_THROW(host.run(c.process));
        EXPECT_EQ(failureLines(host.processLog), c.processLogFailures);
        EXPECT_EQ(after(host.errorLog, errors), c.errorLog);
        EXPECT_EQ(after(host.messages, messages), c.messages);
    }

    db.reconnectTarget();
    const std::vector<std::pair<const char*, std::vector<std::string>>> arrived = {
        {"select rdb$generator_name from rdb$generators where rdb$system_flag = 0", {"G_ORD"}},
        {"select rdb$exception_name from rdb$exceptions", {"E_ORD"}},
        {"select rdb$field_name from rdb$fields where rdb$field_name not starting 'RDB$' and "
         "rdb$field_name not starting 'MON$' and rdb$field_name not starting 'SEC$'",
         {"DM_ORD"}},
        {"select rdb$field_name from rdb$relation_fields where rdb$relation_name = 'T_ORD' order by "
         "rdb$field_position",
         {"ID", "NOME", "VALOR"}},
        {"select rdb$field_source from rdb$relation_fields where rdb$relation_name = 'T_ORD' and "
         "rdb$field_name = 'VALOR'",
         {"DM_ORD"}},
        {"select rdb$relation_name from rdb$relations where rdb$system_flag = 0 order by 1",
         {"T_ORD", "V_ORD"}},
        {"select rdb$procedure_name from rdb$procedures", {"SP_ORD"}},
        {"select cast(b as varchar(11)) from sp_ord(4)", {"5"}},
        {"select rdb$trigger_name from rdb$triggers where coalesce(rdb$system_flag, 0) = 0 and not exists "
         "(select * from rdb$check_constraints c where c.rdb$trigger_name = rdb$triggers.rdb$trigger_name)",
         {"TRG_ORD"}},
        {"select rdb$index_name from rdb$indices where coalesce(rdb$system_flag, 0) = 0 order by 1",
         {"IDX_ORD", "PK_ORD"}},
        {"select rdb$constraint_name from rdb$relation_constraints where rdb$relation_name = 'T_ORD' and "
         "rdb$constraint_type <> 'NOT NULL'",
         {"PK_ORD"}},
    };
    for (const auto& [query, rows] : arrived) {
        SCOPED_TRACE(query);
        EXPECT_EQ(db.target.queryRows(query), rows);
    }
    // The trigger and the generator work together on the target.
    db.target.runSql("INSERT INTO T_ORD (NOME) VALUES ('um');");
    EXPECT_EQ(db.target.queryValue("select id from t_ord"), "1");
}

} // namespace
} // namespace vistrel::test
