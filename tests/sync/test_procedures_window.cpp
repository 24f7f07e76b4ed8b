// 5-COMPARAR PROCEDURES clicked on the window, offscreen, against the private loopback server: the
// process log, the error log and the procedure buffer as the operator would find them.
#include "app/unit1.h"
#include "data/sqlconnection.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/windowdriver.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <string>
#include <vector>

using vistrel::app::TForm1;
using vistrel::test::connectRows;
using vistrel::test::MessageRecorder;
using vistrel::test::paneText;
using vistrel::test::q;
using vistrel::test::ScratchDatabase;

class ProceduresWindowTest : public QObject {
    Q_OBJECT

private slots:
    void button5RebuildsProcedures();
};

// ITENS is newer and reads a table the target lacks: the server refuses it. DOBRO is then created
// and committed through the connection the target button opened.
void ProceduresWindowTest::button5RebuildsProcedures() {
    ScratchDatabase source(
        "origem", "fatura.fdb",
        {.sql = "CREATE TABLE ITEM (ID INTEGER);\n"
                "SET TERM ^;\n"
                "CREATE PROCEDURE DOBRO (A INTEGER) RETURNS (R INTEGER) AS BEGIN R = A * 2; "
                "SUSPEND; END^\n"
                "CREATE PROCEDURE ITENS RETURNS (N INTEGER) AS BEGIN SELECT COUNT(*) FROM ITEM "
                "INTO :N; SUSPEND; END^\n"
                "SET TERM ;^\n"});
    ScratchDatabase target("destino", "fatura.fdb");
    MessageRecorder recorder;
    std::vector<std::string>& messages = recorder.messages;
    {
        TForm1 form;
        connectRows(form, source, target);
        QVERIFY(form.IBDatabase1().Connected());
        QVERIFY(form.SQLConnection().Connected());
        messages.clear();
        form.Memo1->setPlainText(QStringLiteral("linha anterior"));
        form.criarauto->setChecked(false);

        form.Button5->click();

        QCOMPARE(messages, std::vector<std::string>{"Comparação de procedure finalizada;"});
        const std::vector<std::string> expected = {
            "",
            "Executando Procedure....ITENS",
            " CREATE OR ALTER PROCEDURE ITENS (   ) RETURNS ( N  integer ) AS   BEGIN SELECT COUNT(*) FROM "
            "ITEM INTO "
            ":N; SUSPEND; END \r\n ; \r\n",
            "Executando Procedure....DOBRO",
            " CREATE OR ALTER PROCEDURE DOBRO (   A  integer  ) RETURNS ( R  integer ) AS   BEGIN R = A * 2; "
            "SUSPEND; END \r\n ; \r\n",
            // What the process did, as the command counts it.
            "[5 procedures] procedures: percorridos 2, faltando 2, criados 1, falhas 1",
        };
        QCOMPARE(form.Memo1->toPlainText(), paneText(expected));
        QVERIFY(form.Memo3->toPlainText().endsWith(
            q("Houve algum problema na execução dessa procedure ITENS\n"
              "    SQLCODE -204: unsuccessful metadata update - CREATE OR ALTER "
              "PROCEDURE ITENS failed - Dynamic SQL Error - SQL error code = -204 "
              "- Table unknown - ITEM")));
        QCOMPARE(form.Memo2->toPlainText(), QString());
        QCOMPARE(form.SQLConnection().activeTransactionCount(), 1);
    }

    QCOMPARE(target.queryValue("select r from dobro(21)"), std::string("42"));
    QVERIFY(target.queryRows("select 1 from rdb$procedures where rdb$procedure_name = 'ITENS'").empty());
}

QTEST_MAIN(ProceduresWindowTest)
#include "test_procedures_window.moc"
