// Objects that use objects of a later process, arriving in one press of the eight buttons on an
// empty target (tests/sql/dependencies_source.sql): a view over a procedure and a view over that
// view (they wait for process 5, which makes them after the procedures), procedures that call each
// other in cycles of two and three (made as headers first), a recursive procedure and a trigger
// calling one of them. No failure line; isql-fb -x then reads every object the same on both sides;
// the procedures answer as the source's; a second run makes no header and rebuilds nothing.
#include "tests/integration/schemacompare.h"

#include <QPushButton>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrel::test::integration {
namespace {

constexpr char kFileName[] = "vistrel.fdb";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The extractor writes CR LF line breaks, which the target then keeps in view and trigger sources.
std::string withoutCarriageReturns(std::string text) {
    std::erase(text, '\r');
    return text;
}

// What the eight buttons added to the process log, one after the other (the procedure process
// clears the pane when it starts).
std::string runAllButtons(Window& window) {
    std::string log;
    for (const ProcessButton& button : processButtons()) {
        const std::string before = window.processLog();
        window.click(button.button(window.form()));
        const std::string after = window.processLog();
        log += after.compare(0, before.size(), before) == 0 ? after.substr(before.size()) : after;
    }
    return log;
}

TEST(Dependencies, EveryObjectArrivesInOneRunWhateverItUses) {
    ScratchDatabase source("dependencias", kFileName, {.script = sqlScript("dependencies_source.sql")});
    ScratchDatabase target("vazio", kFileName, {});
    std::string firstLog;
    std::string secondLog;
    std::string errors;
    {
        Window window(source, target);
        firstLog = runAllButtons(window);
        errors = window.errorLog();
        secondLog = runAllButtons(window);
        errors += window.errorLog();
        window.close();
    }
    EXPECT_EQ(withoutCarriageReturns(errors).find_first_not_of("\n"), std::string::npos) << errors;
    EXPECT_FALSE(contains(firstLog, "Não foi possivel")) << firstLog;
    for (const char* header :
         {"View aguarda o processo 5 (usa procedure); V_TOTAIS",
          "View aguarda o processo 5 (usa procedure); V_GRANDES", "Criando cabeçalho da Procedure....PAR",
          "Criando cabeçalho da Procedure....IMPAR", "Criando cabeçalho da Procedure....C1",
          "Criando cabeçalho da Procedure....C2", "Criando cabeçalho da Procedure....C3"})
        EXPECT_TRUE(contains(firstLog, header)) << header;
    // A procedure that needs nothing of a later object is made as before, without a header.
    EXPECT_FALSE(contains(firstLog, "Criando cabeçalho da Procedure....FATORIAL"));
    EXPECT_FALSE(contains(secondLog, "Criando cabeçalho")) << secondLog;
    EXPECT_FALSE(contains(secondLog, "View aguarda")) << secondLog;
    EXPECT_FALSE(contains(secondLog, "Executando Procedure....")) << secondLog;

    const IsqlSchema sourceSchema = parseIsqlExtract(isqlExtract(source), source.path().string());
    const IsqlSchema targetSchema = parseIsqlExtract(isqlExtract(target), target.path().string());
    for (const auto& [kind, objects] : sourceSchema.objects) {
        if (kind == "grant")
            continue;
        for (const auto& [name, statements] : objects) {
            const auto& theirs = targetSchema.kind(kind);
            const auto found = theirs.find(name);
            ASSERT_NE(found, theirs.end()) << kind << " " << name;
            EXPECT_EQ(withoutCarriageReturns(found->second), withoutCarriageReturns(statements))
                << kind << " " << name;
        }
    }
    for (const char* query : {"SELECT R FROM PAR(7)", "SELECT R FROM C1(7)", "SELECT R FROM FATORIAL(10)"})
        EXPECT_EQ(target.queryValue(query), source.queryValue(query)) << query;
    target.runSql("INSERT INTO ITENS (ID, PRECO, QTD) VALUES (1, 60, 2);");
    EXPECT_EQ(target.queryValue("SELECT TEXTO FROM REGISTRO WHERE ID = 1"), "par");
    EXPECT_EQ(target.queryValue("SELECT COUNT(*) FROM V_GRANDES"), "1");
}

} // namespace
} // namespace vistrel::test::integration
