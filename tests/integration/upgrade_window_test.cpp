// An older customer database upgraded through the window, offscreen: "DIFERENÇAS" lists what
// differs before anything runs and touches nothing; with "Alterar" ticked one press of the eight
// process buttons brings every changed object into line, isql-fb -x of the target then reads as
// the source's (the objects the customer's rows keep as they are and the one only in the target
// aside), the rows stay the customer's, and a second run alters nothing.
#include "tests/integration/schemacompare.h"

#include <QCheckBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace vistrel::test::integration {
namespace {

constexpr char kFileName[] = "vistrel.fdb";

// Each row as one text, so that a widened column does not change how isql pads it.
constexpr char kRows[] =
    "SELECT C.ID || '|' || COALESCE(C.NOME, '<null>') || '|' || C.EMAIL || '|' || COALESCE(C.FONE, '<null>') "
    "|| "
    "'|' || COALESCE(P.ID, -1) || '|' || COALESCE(P.TOTAL, -1) || '|' || COALESCE(P.STATUS, '<null>') || '|' "
    "|| "
    "COALESCE(P.OBS, '<null>') FROM CLIENTES C LEFT JOIN PEDIDOS P ON P.CLIENTE = C.ID ORDER BY C.ID, P.ID";

// The extractor writes CR LF line breaks, which the target then keeps in view and trigger sources.
std::string withoutCarriageReturns(std::string text) {
    std::erase(text, '\r');
    return text;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(UpgradeWindow, DiferencasListsTheChangesAndAlterarBringsThemIntoLine) {
    ScratchOptions newer{
        .script = sqlScript("upgrade_new.sql"), .characterSet = "UTF8", .connectionCharacterSet = "UTF8"};
    ScratchOptions older{
        .script = sqlScript("upgrade_old.sql"), .characterSet = "UTF8", .connectionCharacterSet = "UTF8"};
    ScratchDatabase source("upgrade_new", kFileName, newer);
    ScratchDatabase target("upgrade_old", kFileName, older);
    const std::vector<std::string> rows = target.queryRows(kRows);
    const std::string untouched = fingerprint(target);
    const std::string sourceBefore = fingerprint(source);

    Window window(source, target);
    app::TForm1& form = window.form();
    EXPECT_FALSE(form.CheckBox3->isChecked());
    EXPECT_EQ(form.CheckBox3->accessibleName().toStdString(), "Alterar");

    // The list of differences, in the process log, before anything runs.
    window.click(form.Button13);
    const std::string listed = window.processLog();
    for (const char* line :
         {"Iniciando Comparação de Diferenças",
          "Exception diferente; E_ESTOQUE (mensagem: Estoque insuficiente -> Estoque insuficiente "
          "para o pedido)",
          "Coluna diferente; CLIENTES.EMAIL (tipo: VARCHAR(40) -> VARCHAR(80))",
          "Coluna existe só no destino; CLIENTES.ANTIGO", "Tabela não encontrada no destino; AUDITORIA",
          "    Alteração recusada: NOT NULL sobre 1 linha(s) com NULL",
          "Diferenças: 7 a criar, 15 a alterar, 2 recusada(s), 1 só no destino."})
        EXPECT_TRUE(contains(listed, line)) << line << "\n" << listed;
    EXPECT_EQ(fingerprint(target), untouched);

    // "Alterar" ticked, the eight buttons in order.
    form.CheckBox3->click();
    std::string errors;
    for (const ProcessButton& button : processButtons()) {
        const std::vector<std::string> messages = window.click(button.button(form));
        EXPECT_EQ(messages.back(), "Alterações concluidas!") << button.label;
    }
    errors = window.errorLog();
    EXPECT_FALSE(contains(errors, "Não foi possivel")) << errors;
    EXPECT_TRUE(contains(errors, "Coluna não alterada; CLIENTES.FONE")) << errors;

    window.click(form.Button13);
    const std::string after = window.processLog();
    EXPECT_TRUE(contains(after, "Diferenças: 0 a criar, 0 a alterar, 3 recusada(s), 1 só no destino."))
        << after;
    window.close();

    EXPECT_EQ(target.queryRows(kRows), rows);
    EXPECT_EQ(fingerprint(source), sourceBefore);

    // isql-fb -x reads the same on both sides, object by object, except what the customer's rows
    // keep (DM_CODIGO, the CLIENTES table with its narrower FONE, NULL names and the ANTIGO column).
    const IsqlSchema sourceSchema = parseIsqlExtract(isqlExtract(source), source.path().string());
    const IsqlSchema targetSchema = parseIsqlExtract(isqlExtract(target), target.path().string());
    const std::set<std::string> keptByRows = {"DM_CODIGO", "CLIENTES"};
    for (const auto& [kind, objects] : sourceSchema.objects) {
        for (const auto& [name, statements] : objects) {
            if (keptByRows.count(name) || kind == "grant")
                continue;
            const auto& theirs = targetSchema.kind(kind);
            const auto found = theirs.find(name);
            ASSERT_NE(found, theirs.end()) << kind << " " << name;
            EXPECT_EQ(withoutCarriageReturns(found->second), withoutCarriageReturns(statements))
                << kind << " " << name;
        }
    }
}

} // namespace
} // namespace vistrel::test::integration
