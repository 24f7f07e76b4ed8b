// 4-COMPARAR TABELAS/VIEWS clicked on the window, offscreen, against the private loopback server:
// the panes, the grids and the progress bar as the operator sees them.
#include "app/datasource.h"
#include "app/unit1.h"
#include "data/ibdataset.h"
#include "tests/support/catalogue.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/systemnames.h"
#include "tests/support/windowdriver.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

using vistrel::app::TForm1;
using vistrel::test::columnNames;
using vistrel::test::connectRows;
using vistrel::test::MessageRecorder;
using vistrel::test::padded;
using vistrel::test::paneText;
using vistrel::test::q;
using vistrel::test::ScratchDatabase;

class TablesViewsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void iniciarCreatesTablesAndViews();
};

void TablesViewsWindowTest::iniciarCreatesTablesAndViews() {
    ScratchDatabase source("origem", "fatura.fdb",
                           {.sql = "CREATE TABLE CLIENTE (ID INTEGER NOT NULL, NOME VARCHAR(60));\n"
                                   "CREATE VIEW V_CLIENTES (ID, NOME) AS select id, nome from cliente;\n"});
    ScratchDatabase target("destino", "fatura.fdb");
    MessageRecorder recorder;
    std::vector<std::string>& messages = recorder.messages;
    {
        TForm1 form;
        connectRows(form, source, target);
        QVERIFY(form.IBDatabase1().Connected());
        QVERIFY(form.IBDatabase2().Connected());
        messages.clear();
        // A first entry, so that the run's leading empty entry stands as an empty line of its own.
        form.Memo1->clear();
        form.appendProcessLog("Memo1");

        form.INICIAR->click();

        // No completion message, no error.
        QCOMPARE(messages, std::vector<std::string>{});
        QCOMPARE(form.Memo3->toPlainText(), QString());
        const std::vector<std::string> expected = {
            "Memo1",
            "",
            "TAMANHO DO CAMPO DIFERENTE " + padded("ID") + " NA TABELA " + padded("CLIENTE"),
            "TAMANHO DO CAMPO DIFERENTE " + padded("NOME") + " NA TABELA " + padded("CLIENTE"),
            // The missing table in one statement, one line per column.
            "CREATE TABLE " + padded("CLIENTE") + " (\r\n  ID INTEGER NOT NULL,\r\n  NOME VARCHAR(60)\r\n);",
            "Iniciando Comparação de Views",
            "\r\n\r\n\r\nCREATE OR ALTER VIEW \"V_CLIENTES\" (\r\n  \"ID\", \r\n  \"NOME\"\r\n) "
            "\r\nAS\r\nselect id, "
            "nome from cliente\r\n;\r\n",
            // What the process did, as the command counts it.
            "[4 tabelas e views] tabelas: percorridos 1, faltando 1, criados 1, falhas 0",
            "[4 tabelas e views] colunas: percorridos 2, faltando 2, criados 2, falhas 0",
            "[4 tabelas e views] views: percorridos 1, faltando 1, criados 1, falhas 0",
        };
        QCOMPARE(form.Memo1->toPlainText(), paneText(expected));

        // Both relations counted; the right grid shows the columns of the last table.
        QCOMPARE(form.ProgressBar1->maximum(), 2);
        QCOMPARE(form.ProgressBar1->value(), 2);
        QCOMPARE(form.DataSource2->DataSet(), &form.ORIGEM());
        QCOMPARE(form.DataSource2->rowCount(), 2);
        QVERIFY(form.DataSource1->DataSet() != nullptr);
        QVERIFY(form.DataSource1->DataSet() != &form.ORIGEM());
    }

    QCOMPARE(columnNames(target, "CLIENTE"), (std::vector<std::string>{"ID", "NOME"}));
    QCOMPARE(columnNames(target, "V_CLIENTES"), (std::vector<std::string>{"ID", "NOME"}));
}

QTEST_MAIN(TablesViewsWindowTest)
#include "test_tables_views_window.moc"
