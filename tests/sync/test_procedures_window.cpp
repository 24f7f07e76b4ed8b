// 5-COMPARAR PROCEDURES clicked on the window, offscreen, against the private loopback server: the
// process log, the error log and the procedure buffer as the operator would find them.
#include "app/messagebox.h"
#include "app/unit1.h"
#include "data/sqlconnection.h"
#include "tests/support/scratchdatabase.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <string>
#include <vector>

using vistrel::app::TForm1;
using vistrel::test::ScratchDatabase;

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
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
    std::vector<std::string> messages;
    vistrel::app::MessageBoxFunction previous =
        vistrel::app::setMessageBoxFunction([&](const std::string& text) { messages.push_back(text); });
    {
        TForm1 form;
        fillRows(form, source, target);
        form.Button2->click();
        form.Button3->click();
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
    vistrel::app::setMessageBoxFunction(std::move(previous));

    QCOMPARE(target.queryValue("select r from dobro(21)"), std::string("42"));
    QVERIFY(target.queryRows("select 1 from rdb$procedures where rdb$procedure_name = 'ITENS'").empty());
}

QTEST_MAIN(ProceduresWindowTest)
#include "test_procedures_window.moc"
