// Source names that would change the target if they were read as SQL: every process carries them
// as names, the target's other objects and rows stay as they were.
#include "sync/processes.h"
#include "tests/support/catalogue.h"
#include "tests/support/scratchdatabase.h"
#include "tests/sync/testhost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrel::test {
namespace {

// Objects of both databases: the target's customers, with rows the source must never reach.
constexpr char kCommon[] = R"(
CREATE TABLE CLIENTES (ID INTEGER NOT NULL, NOME VARCHAR(40));
)";

constexpr char kTargetRows[] = R"(
INSERT INTO CLIENTES (ID, NOME) VALUES (1, 'Ana');
INSERT INTO CLIENTES (ID, NOME) VALUES (2, 'Bruno');
COMMIT;
)";

// One hostile name per kind; each, read as SQL, would drop or create something on the target.
constexpr char kHostileSource[] = R"(
ALTER TABLE CLIENTES ADD "X INT, DROP NOME --" INTEGER;
CREATE TABLE "T_INJ (A INT) --" ("B INT); DROP TABLE CLIENTES; --" INTEGER, "select" VARCHAR(10));
CREATE GENERATOR "G; DROP TABLE CLIENTES --";
CREATE EXCEPTION "E'; DROP TABLE CLIENTES --" 'msg';
CREATE INDEX "IX_CLI ON CLIENTES(NOME); --" ON CLIENTES (ID);
CREATE VIEW "V ; DROP TABLE CLIENTES" (ID) AS SELECT ID FROM CLIENTES;
SET TERM ^ ;
CREATE PROCEDURE "P; DROP TABLE CLIENTES --" ("A; --" INTEGER) RETURNS ("R */" INTEGER) AS
BEGIN
  "R */" = :"A; --";
  SUSPEND;
END^
CREATE TRIGGER "TR; DROP TABLE CLIENTES --" FOR CLIENTES BEFORE INSERT AS
BEGIN
  NEW.NOME = UPPER(NEW.NOME);
END^
SET TERM ; ^
)";

class HostileNames : public ::testing::Test {
protected:
    HostileNames()
        : source("origem", "fatura.fdb", {.sql = std::string(kCommon) + kHostileSource}),
          target("destino", "fatura.fdb", {.sql = std::string(kCommon) + kTargetRows}), host(source, target) {
    }

    ScratchDatabase source;
    ScratchDatabase target;
    TestHost host;
};

TEST_F(HostileNames, AreCarriedAsNamesAndTouchNothingElse) {
    host.run(sync::runGeneratorProcess);
    host.run(sync::runExceptionProcess);
    host.run(sync::runDomainProcess);
    host.run(sync::runTableViewProcess);
    host.run(sync::runProcedureProcess);
    host.run(sync::runTriggerProcess);
    host.run(sync::runIndexProcess);

    EXPECT_TRUE(host.errorLog.empty()) << host.errorLog.front();
    for (const std::string& entry : host.processLog) {
        EXPECT_EQ(entry.find("Não foi possivel"), std::string::npos) << entry;
    }

    // The target's own column and rows are untouched; the hostile column stands beside them.
    EXPECT_EQ(columnNames(target, "CLIENTES"),
              (std::vector<std::string>{"ID", "NOME", "X INT, DROP NOME --"}));
    EXPECT_EQ(target.queryRows("select id || ' ' || nome from clientes order by id"),
              (std::vector<std::string>{"1 Ana", "2 Bruno"}));

    // Every hostile object exists under its exact name, and nothing else was created.
    EXPECT_EQ(columnNames(target, "T_INJ (A INT) --"),
              (std::vector<std::string>{"B INT); DROP TABLE CLIENTES; --", "select"}));
    EXPECT_EQ(target.queryRows("select trim(rdb$relation_name) from rdb$relations where "
                               "coalesce(rdb$system_flag, 0) = 0 order by 1"),
              (std::vector<std::string>{"CLIENTES", "T_INJ (A INT) --", "V ; DROP TABLE CLIENTES"}));
    EXPECT_EQ(target.queryValue("select count(*) from rdb$generators where rdb$generator_name = "
                                "'G; DROP TABLE CLIENTES --'"),
              "1");
    EXPECT_EQ(target.queryValue("select count(*) from rdb$exceptions where rdb$exception_name = "
                                "'E''; DROP TABLE CLIENTES --'"),
              "1");
    EXPECT_EQ(target.queryValue("select count(*) from rdb$indices where rdb$index_name = "
                                "'IX_CLI ON CLIENTES(NOME); --' and rdb$relation_name = 'CLIENTES'"),
              "1");
    EXPECT_EQ(target.queryValue("select count(*) from rdb$triggers where rdb$trigger_name = "
                                "'TR; DROP TABLE CLIENTES --' and rdb$relation_name = 'CLIENTES'"),
              "1");
    EXPECT_EQ(target.queryValue("select \"R */\" from \"P; DROP TABLE CLIENTES --\"(41)"), "41");

    // A second run of the table and index processes finds everything present.
    host.processLog.clear();
    host.run(sync::runTableViewProcess);
    host.run(sync::runIndexProcess);
    for (const std::string& entry : host.processLog) {
        EXPECT_EQ(entry.find("ALTER TABLE"), std::string::npos) << entry;
        EXPECT_EQ(entry.find("CREATE TABLE"), std::string::npos) << entry;
        EXPECT_EQ(entry.find("Index não encontrada"), std::string::npos) << entry;
    }
    EXPECT_TRUE(host.errorLog.empty());
}

} // namespace
} // namespace vistrel::test
