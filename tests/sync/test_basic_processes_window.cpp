// Processes 1, 2, 3, 6 and 7 clicked on the window, offscreen, against the private loopback
// server: the panes and messages as the operator sees them.
#include "app/datasource.h"
#include "app/unit1.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/systemnames.h"
#include "tests/support/windowdriver.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

using vistrel::app::TForm1;
using vistrel::test::connectRows;
using vistrel::test::MessageRecorder;
using vistrel::test::padded;
using vistrel::test::paneText;
using vistrel::test::q;
using vistrel::test::ScratchDatabase;

namespace {

constexpr char kFim[] = "-------------------------Fim-----------------------------------------";

constexpr char kSource[] = R"(
CREATE GENERATOR G_UM;
CREATE EXCEPTION E_UM 'Não há: create';
CREATE DOMAIN DM_UM AS INTEGER;
CREATE TABLE T_UM (ID INTEGER, QTD INTEGER);
CREATE TABLE T_DOIS (ID INTEGER, EXTRA INTEGER);
CREATE DESCENDING INDEX IDX_UM ON T_UM (ID);
SET TERM ^ ;
CREATE TRIGGER TRG_UM FOR T_UM ACTIVE BEFORE INSERT POSITION 0
AS
DECLARE VARIABLE X INTEGER;
BEGIN
  SELECT COUNT(*) FROM T_UM INTO :X;
  NEW.QTD = :X;
END^
CREATE TRIGGER TRG_DOIS FOR T_DOIS ACTIVE BEFORE INSERT POSITION 0
AS
BEGIN
  NEW.EXTRA = 1;
END^
SET TERM ; ^
)";

// T_DOIS lacks EXTRA on the target, so TRG_DOIS cannot be created there.
constexpr char kTarget[] = "CREATE TABLE T_UM (ID INTEGER, QTD INTEGER); CREATE TABLE T_DOIS (ID INTEGER);";

} // namespace

class BasicProcessesWindowTest : public QObject {
    Q_OBJECT

private slots:
    void fiveButtonsBringTheTargetInLine();
    void noProcessStartsWhileTheIndexProcessLetsEventsRun();
};

void BasicProcessesWindowTest::fiveButtonsBringTheTargetInLine() {
    ScratchDatabase source("origem", "fatura.fdb", {.sql = kSource});
    ScratchDatabase target("destino", "fatura.fdb", {.sql = kTarget});
    MessageRecorder messages;
    {
        TForm1 form;
        connectRows(form, source, target);
        QVERIFY(form.IBDatabase1().Connected());
        QVERIFY(form.IBDatabase2().Connected());
        messages.messages.clear();

        for (QPushButton* button : {form.Button6, form.Button9, form.Button10, form.Button7, form.Button11})
            button->click();

        QCOMPARE(messages.messages, (std::vector<std::string>{"Processo concluido!", "Processo concluido!",
                                                              "Processo concluido!", "Processo finalizado!",
                                                              "Processo finalizado!"}));
        // Under the empty line the process log opens with.
        const std::vector<std::string> expected = {
            "",
            "Generator Criado; " + padded("G_UM"),
            // Each process ends with what it did, as the command counts it.
            "[1 generators] generators: percorridos 12, faltando 1, criados 1, falhas 0",
            "Exception não encontrada; " + padded("E_UM"),
            "-------------------------Inicio da Exceptions--------------------------",
            "\r\n\r\n\r\nCREATE OR ALTER EXCEPTION \"E_UM\" 'Não há: create';\r\n",
            kFim,
            "[2 exceptions] exceptions: percorridos 1, faltando 1, criados 1, falhas 0",
            "Domain não encontrado; DM_UM",
            "-------------------------Inicio Domains--------------------------",
            "\r\nCREATE DOMAIN \"DM_UM\" AS INTEGER;\r\n",
            kFim,
            "[3 domains] domains: percorridos 1, faltando 1, criados 1, falhas 0",
            "Trigger não encontrada; " + padded("TRG_UM"),
            "-------------------------Inicio da Triiger--------------------------",
            "\r\n\r\n\r\nCREATE OR ALTER TRIGGER \"TRG_UM\" FOR \"T_UM\" \r\nACTIVE BEFORE INSERT POSITION "
            "0\r\n"
            "AS\r\nDECLARE VARIABLE X INTEGER;\r\nBEGIN\r\n  SELECT COUNT(*) FROM T_UM INTO :X;\r\n"
            "  NEW.QTD = :X;\r\nEND\r\n ;\r\n\r\n\r\n",
            kFim,
            "Trigger não encontrada; " + padded("TRG_DOIS"),
            "-------------------------Inicio da Triiger--------------------------",
            "\r\n\r\n\r\nCREATE OR ALTER TRIGGER \"TRG_DOIS\" FOR \"T_DOIS\" \r\nACTIVE BEFORE INSERT "
            "POSITION 0\r\n"
            "AS\r\nBEGIN\r\n  NEW.EXTRA = 1;\r\nEND\r\n ;\r\n\r\n\r\n",
            kFim,
            "[6 triggers] triggers: percorridos 2, faltando 2, criados 1, falhas 1",
            "Index não encontrada; " + padded("IDX_UM"),
            "-------------------------Inicio da Index--------------------------",
            "\r\n\r\nCREATE DESCENDING INDEX \"IDX_UM\" ON \"T_UM\"(\"ID\");\r\n",
            kFim,
            "[7 índices] índices: percorridos 1, faltando 1, criados 1, falhas 0",
        };
        QCOMPARE(form.Memo1->toPlainText(), paneText(expected));
        QCOMPARE(
            form.Memo3->toPlainText(),
            paneText(
                {"Não foi possivel criar a trigger: " + padded("TRG_DOIS"),
                 "    SQLCODE -206: unsuccessful metadata update - CREATE OR ALTER TRIGGER TRG_DOIS failed - "
                 "Dynamic SQL Error - SQL error code = -206 - Column unknown - NEW.EXTRA"}));
        QVERIFY(form.DataSource1->DataSet() != nullptr);
        QCOMPARE(form.DataSource1->DataSet()->Database(), &form.IBDatabase1());
    }
    // Closing the window detached the target, committing the generator too.
    QCOMPARE(
        target.queryRows("select trim(rdb$generator_name) || ' ' || trim(e.rdb$exception_name) || ' ' || "
                         "trim(f.rdb$field_name) || ' ' || trim(t.rdb$trigger_name) || ' ' || "
                         "trim(i.rdb$index_name) || ' ' || i.rdb$index_type from rdb$generators g "
                         "cross join rdb$exceptions e cross join rdb$fields f cross join rdb$triggers t "
                         "cross join rdb$indices i where g.rdb$system_flag = 0 and f.rdb$field_name = "
                         "'DM_UM' and coalesce(t.rdb$system_flag, 0) = 0 and "
                         "coalesce(i.rdb$system_flag, 0) = 0"),
        std::vector<std::string>{"G_UM E_UM DM_UM TRG_UM IDX_UM 1"});
}

// While the index process lets the event loop run, a click on the generator button starts nothing;
// after the run the same click works.
void BasicProcessesWindowTest::noProcessStartsWhileTheIndexProcessLetsEventsRun() {
    ScratchDatabase source("origem", "fatura.fdb", {.sql = kSource});
    ScratchDatabase target("destino", "fatura.fdb", {.sql = kTarget});
    MessageRecorder messages;
    TForm1 form;
    connectRows(form, source, target);
    messages.messages.clear();

    bool clicked = false;
    QTimer::singleShot(0, &form, [&] {
        clicked = true;
        form.Button6->click();
    });
    form.Button11->click();
    QVERIFY(clicked);
    QCOMPARE(messages.messages, std::vector<std::string>{"Processo finalizado!"});
    QVERIFY(!form.Memo1->toPlainText().contains(QStringLiteral("Generator Criado")));

    form.Button6->click();
    QCOMPARE(messages.messages, (std::vector<std::string>{"Processo finalizado!", "Processo concluido!"}));
    QVERIFY(form.Memo1->toPlainText().endsWith(
        q("Generator Criado; " + padded("G_UM") +
          "\n[1 generators] generators: percorridos 12, faltando 1, criados 1, falhas 0")));
}

QTEST_MAIN(BasicProcessesWindowTest)
#include "test_basic_processes_window.moc"
