// The window as an operator uses it, against the private loopback server: the keyboard alone
// from the first field to a process that runs, and a run whose failures of four kinds all stand
// in the error log, where the pane's search finds each.
#include "app/logpane.h"
#include "app/unit1.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/systemnames.h"
#include "tests/support/windowdriver.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>

#include <string>
#include <vector>

using vistrel::app::TForm1;
using vistrel::test::MessageRecorder;
using vistrel::test::padded;
using vistrel::test::q;
using vistrel::test::RowFields;
using vistrel::test::rowFor;
using vistrel::test::ScratchDatabase;

namespace {

// Presses Tab until the focus is on `target`; false when it does not get there.
bool tabTo(QWidget* target) {
    for (int i = 0; i < 40 && QApplication::focusWidget() != target; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    return QApplication::focusWidget() == target;
}

// Replaces the text of the field that has the focus, by keyboard.
void typeIntoFocus(const std::string& text) {
    QWidget* field = QApplication::focusWidget();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, q(text));
}

// Types a row's five fields, the focus on the first one; leaves the focus on the last.
void typeRow(const RowFields& row) {
    const std::string fields[] = {row.host, row.user, row.password, row.folder, row.fileName};
    for (size_t i = 0; i < std::size(fields); ++i) {
        if (i > 0)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        typeIntoFocus(fields[i]);
    }
}

} // namespace

class OperatorTest : public QObject {
    Q_OBJECT

private slots:
    void keyboardAloneFromTheFirstFieldToARun();
    void failuresOfEveryKindStandInTheErrorLog();
};

void OperatorTest::keyboardAloneFromTheFirstFieldToARun() {
    ScratchDatabase source("origem", "fatura.fdb", {.sql = "CREATE GENERATOR G_TECLADO;\n"});
    ScratchDatabase target("destino", "fatura.fdb");
    MessageRecorder recorder;
    {
        TForm1 form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.ip1->setFocus(Qt::OtherFocusReason);

        // The source row, then its "Conectar" by Tab and Space.
        typeRow(rowFor(source, "fatura.fdb"));
        QCOMPARE(form.xbanco->text(), QStringLiteral("fatura.fdb"));
        QVERIFY(tabTo(form.Button2));
        recorder.messages.clear();
        QTest::keyClick(form.Button2, Qt::Key_Space);
        QVERIFY2(recorder.messages.empty(), recorder.messages.empty() ? "" : recorder.messages[0].c_str());
        QVERIFY(form.IBDatabase1().Connected());

        // The target row and its "Conectar".
        QVERIFY(tabTo(form.ip2));
        typeRow(rowFor(target, "fatura.fdb"));
        QVERIFY(tabTo(form.Button3));
        QTest::keyClick(form.Button3, Qt::Key_Space);
        QVERIFY2(recorder.messages.empty(), recorder.messages.empty() ? "" : recorder.messages[0].c_str());
        QVERIFY(form.IBDatabase2().Connected());

        // On through the grids, the log and the options to the first process button.
        QVERIFY(tabTo(form.Button6));
        QTest::keyClick(form.Button6, Qt::Key_Space);
        QCOMPARE(recorder.messages, std::vector<std::string>{"Processo concluido!"});
        const QString log = form.Memo1->toPlainText();
        QVERIFY2(log.contains(q("Generator Criado; " + padded("G_TECLADO"))), qPrintable(log));
        const QString summary = log.section(QLatin1Char('\n'), -1);
        QVERIFY2(summary.startsWith(QStringLiteral("[1 generators] generators: percorridos ")) &&
                     summary.endsWith(QStringLiteral(", faltando 1, criados 1, falhas 0")),
                 qPrintable(log));
    }
    QCOMPARE(target.queryValue("select count(*) from rdb$generators where rdb$generator_name = 'G_TECLADO'"),
             std::string("1"));
}

// An index over a column the target lacks, a procedure that reads it, a table the target holds as
// a view, and a view over that table: the index and the view write their lines in the process log,
// the table and the procedure in the error log, and the error log holds all four.
void OperatorTest::failuresOfEveryKindStandInTheErrorLog() {
    ScratchDatabase source("origem", "fatura.fdb",
                           {.sql = "CREATE TABLE T (ID INTEGER, EXTRA INTEGER);\n"
                                   "CREATE INDEX IX_EXTRA ON T (EXTRA);\n"
                                   "CREATE TABLE T2 (ID INTEGER, EXTRA INTEGER);\n"
                                   "CREATE VIEW V_T2 (ID, EXTRA) AS SELECT ID, EXTRA FROM T2;\n"
                                   "SET TERM ^ ;\n"
                                   "CREATE PROCEDURE SP_EXTRA RETURNS (E INTEGER) AS BEGIN "
                                   "SELECT MAX(EXTRA) FROM T INTO :E; SUSPEND; END^\n"
                                   "SET TERM ; ^\n"});
    ScratchDatabase target("destino", "fatura.fdb",
                           {.sql = "CREATE TABLE T (ID INTEGER);\n"
                                   "CREATE VIEW T2 (ID) AS SELECT 1 FROM RDB$DATABASE;\n"});
    MessageRecorder recorder;
    TForm1 form;
    vistrel::test::connectRows(form, source, target);
    QVERIFY(form.IBDatabase2().Connected());
    // The index and the procedure before the tables, while T lacks EXTRA.
    for (QPushButton* button : {form.Button11, form.Button5, form.INICIAR})
        button->click();

    const QString processLog = form.Memo1->toPlainText();
    QVERIFY2(processLog.contains(QStringLiteral("\nNão foi possivel criar à view V_T2\n    SQLCODE -206: ")),
             qPrintable(processLog));
    QVERIFY2(
        processLog.contains(QStringLiteral("[4 tabelas e views] views: percorridos 1, faltando 1, criados 0, "
                                           "falhas 1")),
        qPrintable(processLog));

    const QString errorLog = form.Memo3->toPlainText();
    // Each failure names its object and is followed by the server's reason.
    const std::string lines[] = {
        "Não foi possivel criar o indice: " + padded("IX_EXTRA"),
        "Houve algum problema na execução dessa procedure SP_EXTRA",
        "Erro na tabela: " + padded("T2"),
        "Não foi possivel criar à view V_T2",
    };
    const QStringList blocks = errorLog.split(QLatin1Char('\n'));
    for (const std::string& line : lines) {
        const qsizetype at = blocks.indexOf(q(line));
        QVERIFY2(at >= 0, qPrintable(q(line) + QStringLiteral(" not in:\n") + errorLog));
        QVERIFY2(at + 1 < blocks.size() && blocks[at + 1].startsWith(QStringLiteral("    SQLCODE -")),
                 qPrintable(errorLog));
    }

    // "LOG DE ERROS", then the search finds each of them in the error log.
    form.Button8->click();
    vistrel::app::TLogArea* area = form.LogArea;
    QCOMPARE(area->visiblePane(), form.Memo3);
    for (const char* name : {"IX_EXTRA", "SP_EXTRA", "Erro na tabela: T2", "V_T2"}) {
        area->showFindBar();
        area->findField()->setText(QString::fromUtf8(name));
        QVERIFY2(area->findNext(), name);
        QCOMPARE(form.Memo3->textCursor().selectedText(), QString::fromUtf8(name));
        QVERIFY(form.Memo3->textCursor().block().text().startsWith(QStringLiteral("N")) ||
                form.Memo3->textCursor().block().text().startsWith(QStringLiteral("Houve")) ||
                form.Memo3->textCursor().block().text().startsWith(QStringLiteral("Erro")));
    }
}

QTEST_MAIN(OperatorTest)
#include "operator_test.moc"
