// 4-COMPARAR TABELAS/VIEWS clicked on the window, offscreen, against the private loopback server:
// the panes, the grids and the progress bar as the operator sees them.
#include "app/datasource.h"
#include "app/messagebox.h"
#include "app/unit1.h"
#include "data/ibdataset.h"
#include "tests/support/scratchdatabase.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

using vistrel::app::TForm1;
using vistrel::test::ScratchDatabase;

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string pad(const std::string& name) {
    std::string s(name);
    s.resize(93, ' ');
    return s;
}

// The pane's text for these entries: one paragraph per entry, CR LF shown as a line break.
QString paneText(const std::vector<std::string>& entries) {
    QStringList lines;
    for (const std::string& entry : entries)
        lines << q(entry).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return lines.join(QLatin1Char('\n'));
}

void fillRows(TForm1& form, const ScratchDatabase& source, const ScratchDatabase& target) {
    form.ip1->setText(q(source.host()));
    form.usuario1->setText(q(source.user()));
    form.senha1->setText(q(source.password()));
    form.banco1->setText(q(source.folder().string()));
    form.xbanco->setText(q(source.fileName()));
    form.ip2->setText(q(target.host()));
    form.usuario2->setText(q(target.user()));
    form.senha2->setText(q(target.password()));
    form.banco2->setText(q(target.folder().string()));
    form.xbanco2->setText(q(target.fileName()));
}

} // namespace

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
    std::vector<std::string> messages;
    vistrel::app::MessageBoxFunction previous =
        vistrel::app::setMessageBoxFunction([&](const std::string& text) { messages.push_back(text); });
    {
        TForm1 form;
        fillRows(form, source, target);
        form.Button2->click();
        form.Button3->click();
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
            "CREATE TABLE " + pad("CLIENTE") + " ( INTY INT );",
            "TAMANHO DO CAMPO DIFERENTE " + pad("ID") + " NA TABELA " + pad("CLIENTE"),
            "ALTER TABLE CLIENTE ADD ID INTEGER NOT NULL; ",
            "ALTER TABLE " + pad("CLIENTE") + " DROP INTY ",
            "ALTER TABLE CLIENTE ALTER ID POSITION 1;",
            "TAMANHO DO CAMPO DIFERENTE " + pad("NOME") + " NA TABELA " + pad("CLIENTE"),
            "ALTER TABLE CLIENTE ADD NOME VARCHAR(60); ",
            "ALTER TABLE CLIENTE ALTER NOME POSITION 2;",
            "Iniciando Comparação de Views",
            "\r\n\r\n\r\nCREATE OR ALTER VIEW \"V_CLIENTES\" (\r\n  \"ID\", \r\n  \"NOME\"\r\n) "
            "\r\nAS\r\nselect id, "
            "nome from cliente\r\n;\r\n",
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
    vistrel::app::setMessageBoxFunction(std::move(previous));

    QCOMPARE(
        target.queryRows("select trim(rdb$field_name) from rdb$relation_fields where rdb$relation_name = "
                         "'CLIENTE' order by rdb$field_position"),
        (std::vector<std::string>{"ID", "NOME"}));
    QCOMPARE(
        target.queryRows("select trim(rdb$field_name) from rdb$relation_fields where rdb$relation_name = "
                         "'V_CLIENTES' order by rdb$field_position"),
        (std::vector<std::string>{"ID", "NOME"}));
}

QTEST_MAIN(TablesViewsWindowTest)
#include "test_tables_views_window.moc"
