// The connection panel against the private loopback server: the window's rows connect, close
// and refuse exactly as the operator sees them, with lamps and messages. The window's host field
// carries "127.0.0.1/PORT" and the folder the scratch database's POSIX folder.
#include "app/datasource.h"
#include "app/dbgrid.h"
#include "app/panel.h"
#include "app/unit1.h"
#include "data/errors.h"
#include "data/ibdataset.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/testserver.h"
#include "tests/support/windowdriver.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <optional>

using vistrel::app::TForm1;
using vistrel::test::connectRows;
using vistrel::test::fillRows;
using vistrel::test::fillSource;
using vistrel::test::fillTarget;
using vistrel::test::kGuardMessage;
using vistrel::test::MessageRecorder;
using vistrel::test::q;
using vistrel::test::ScratchDatabase;

namespace {

const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kLime(0, 255, 0);

std::string posixName(const ScratchDatabase& db, const std::string& fileName) {
    return db.host() + ":" + db.folder().string() + "/" + fileName;
}

// The state a screen reader reads from a status lamp.
QString lampDescription(QWidget* lamp) {
    return QAccessible::queryAccessibleInterface(lamp)->text(QAccessible::Description);
}

int countLines(const vistrel::data::TStringList& list, const std::string& name) {
    int n = 0;
    for (const std::string& line : list.items())
        n += line.rfind(name + "=", 0) == 0 ? 1 : 0;
    return n;
}

// Attachments of other sessions to the database, as the server lists them.
int attachmentCount(const ScratchDatabase& db) {
    return std::stoi(db.queryValue("select count(*) from mon$attachments where mon$attachment_id <> "
                                   "current_connection and mon$remote_protocol is not null;"));
}

} // namespace

class ConnectionTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void bothRowsConnectAndClose();
    void wrongPasswordLeavesLampYellow_data();
    void wrongPasswordLeavesLampYellow();
    void letterCaseRefusedByTheGuard();
    void trailingBlankPassesTheGuard();
    void blanksAroundTheTargetNamePassTheGuard();
    void wrongTargetPasswordFailsAtTheDirectConnection();
    void threeTargetConnectsAccumulatePasswordLines();
    void panel6ConnectsBothRows();
    void panel6WithDifferentNamesStopsAfterTheSource();
    void programEndCommitsAndReportsARefusedCommit();
    void gridFollowsTheCursor();
    void gridFetchesTheRowsItCanShow();
    void clicksDuringARunStartNothing();

private:
    std::unique_ptr<ScratchDatabase> m_source;
    std::unique_ptr<ScratchDatabase> m_target;
};

void ConnectionTest::init() {
    // Two databases with the same file name in different folders, as the operator's two servers.
    m_source = std::make_unique<ScratchDatabase>(
        "source", "fatura.fdb",
        vistrel::test::ScratchOptions{.sql =
                                          "create table clientes (id integer not null, nome varchar(30));\n"
                                          "insert into clientes values (1, 'Ana');\n"
                                          "insert into clientes values (2, 'Bruno');\n"
                                          "insert into clientes values (3, 'Carla');\n"});
    m_target = std::make_unique<ScratchDatabase>(
        "target", "fatura.fdb",
        vistrel::test::ScratchOptions{.sql = "create table dup (c integer);\n"
                                             "insert into dup values (1);\n"
                                             "insert into dup values (1);\n"});
}

void ConnectionTest::cleanup() {
    m_target.reset();
    m_source.reset();
}

void ConnectionTest::bothRowsConnectAndClose() {
    MessageRecorder recorder;
    TForm1 form;
    fillRows(form, *m_source, *m_target);
    recorder.messages.clear();

    form.Button2->click();
    QVERIFY(form.IBDatabase1().Connected());
    QCOMPARE(form.status1->Color(), kLime);
    QCOMPARE(form.IBDatabase1().DatabaseName(), posixName(*m_source, "fatura.fdb"));
    QCOMPARE(form.IBDatabase1().Params().items(),
             (std::vector<std::string>{"user_name=" + m_source->user(), "password=" + m_source->password()}));

    form.Button3->click();
    QVERIFY(recorder.messages.empty());
    QVERIFY(form.SQLConnection().Connected());
    QVERIFY(form.IBDatabase2().Connected());
    QCOMPARE(form.status2->Color(), kLime);
    QCOMPARE(lampDescription(form.status1), QStringLiteral("Servidor: conectado"));
    QCOMPARE(lampDescription(form.status2), QStringLiteral("Cliente: conectado"));
    QCOMPARE(form.IBDatabase2().DatabaseName(), posixName(*m_target, "fatura.fdb"));
    QCOMPARE(form.SQLConnection().ConnectionName(), std::string("FBConnection"));
    QCOMPARE(form.SQLConnection().Params().Values("DataBase"), posixName(*m_target, "fatura.fdb"));
    QCOMPARE(form.SQLConnection().GetDriverFunc, std::string("getSQLDriverINTERBASE"));
    QCOMPARE(form.SQLConnection().VendorLib, std::string("libfbclient.so.2"));
    // Two attachments to the target: the session and the direct-execution connection.
    QCOMPARE(attachmentCount(*m_target), 2);
    QCOMPARE(attachmentCount(*m_source), 1);

    form.Button1->click();
    form.Button4->click();
    QVERIFY(recorder.messages.empty());
    QVERIFY(!form.IBDatabase1().Connected());
    QVERIFY(!form.IBDatabase2().Connected());
    QCOMPARE(form.status1->Color(), kRed);
    QCOMPARE(form.status2->Color(), kRed);
    QCOMPARE(lampDescription(form.status1), QStringLiteral("Servidor: desconectado"));
    QCOMPARE(lampDescription(form.status2), QStringLiteral("Cliente: desconectado"));
    QCOMPARE(form.IBDatabase1().Params().Count(), 0);
    QCOMPARE(form.IBDatabase2().Params().Count(), 0);
    QCOMPARE(form.IBDatabase2().DatabaseName(), posixName(*m_target, "fatura.fdb"));
    // "Fechar" leaves the direct-execution connection alone.
    QVERIFY(form.SQLConnection().Connected());
    QCOMPARE(attachmentCount(*m_source), 0);
    QCOMPARE(attachmentCount(*m_target), 1);
}

void ConnectionTest::wrongPasswordLeavesLampYellow_data() {
    QTest::addColumn<bool>("target");
    QTest::newRow("source") << false;
    QTest::newRow("target") << true;
}

void ConnectionTest::wrongPasswordLeavesLampYellow() {
    QFETCH(bool, target);
    MessageRecorder recorder;
    TForm1 form;
    fillRows(form, *m_source, *m_target);
    (target ? form.senha2 : form.senha1)->setText(QStringLiteral("wrong password"));
    recorder.messages.clear();

    (target ? form.Button3 : form.Button2)->click();

    QCOMPARE(recorder.messages.size(), size_t{1});
    QVERIFY2(recorder.messages[0].find("Your user name and password are not defined") != std::string::npos,
             recorder.messages[0].c_str());
    if (target) {
        // The direct-execution connection fails first: the session is not touched.
        QVERIFY(!form.SQLConnection().Connected());
        QCOMPARE(form.IBDatabase2().DatabaseName(), std::string());
        QCOMPARE(form.status2->Color(), kRed);
    } else {
        QVERIFY(!form.IBDatabase1().Connected());
        QCOMPARE(form.status1->Color(), kYellow);
        // The failed attach keeps the new name and parameters.
        QCOMPARE(form.IBDatabase1().DatabaseName(), posixName(*m_source, "fatura.fdb"));
        QCOMPARE(form.IBDatabase1().Params()[1], std::string("password=wrong password"));
    }
}

void ConnectionTest::letterCaseRefusedByTheGuard() {
    MessageRecorder recorder;
    TForm1 form;
    fillSource(form, *m_source, "fatura.fdb");
    fillTarget(form, *m_target, "FATURA.FDB");
    std::optional<bool> attachedWhileWarning;
    recorder.onMessage = [&](const std::string&) { attachedWhileWarning = form.IBDatabase1().Connected(); };
    recorder.messages.clear();

    form.Button2->click();

    QCOMPARE(recorder.messages, std::vector<std::string>{kGuardMessage});
    QVERIFY(attachedWhileWarning.has_value());
    QVERIFY(*attachedWhileWarning); // the guard runs after the attach
    QVERIFY(!form.IBDatabase1().Connected());
    QCOMPARE(form.status1->Color(), kRed);
    QCOMPARE(attachmentCount(*m_source), 0);
}

void ConnectionTest::trailingBlankPassesTheGuard() {
    MessageRecorder recorder;
    TForm1 form;
    // The source row names the file with a trailing blank, the target row without. The server
    // drops trailing blanks from a file name, so the attach with the blank reaches the file.
    fillSource(form, *m_source, "fatura.fdb ");
    fillTarget(form, *m_target, "fatura.fdb");
    recorder.messages.clear();

    form.Button2->click();

    QVERIFY2(recorder.messages.empty(), recorder.messages.empty() ? "" : recorder.messages[0].c_str());
    QVERIFY(form.IBDatabase1().Connected());
    QCOMPARE(form.status1->Color(), kLime);
    QCOMPARE(form.IBDatabase1().DatabaseName(), posixName(*m_source, "fatura.fdb "));
    QCOMPARE(attachmentCount(*m_source), 1);
    form.Button1->click();
}

void ConnectionTest::blanksAroundTheTargetNamePassTheGuard() {
    MessageRecorder recorder;
    TForm1 form;
    // The target row names the file with blanks before and after it, the source row without: the
    // guard compares both names trimmed, and both rows attach and run.
    fillSource(form, *m_source, "fatura.fdb");
    fillTarget(form, *m_target, "  fatura.fdb  ");
    recorder.messages.clear();

    form.Button2->click();
    form.Button3->click();

    QVERIFY2(recorder.messages.empty(), recorder.messages.empty() ? "" : recorder.messages[0].c_str());
    QVERIFY(form.IBDatabase2().Connected());
    QCOMPARE(form.status2->Color(), kLime);
    QCOMPARE(attachmentCount(*m_target), 2); // the session and the direct-execution connection
    form.Button6->click();
    QCOMPARE(recorder.messages, std::vector<std::string>{"Processo concluido!"});
    form.Button1->click();
    form.Button4->click();
}

void ConnectionTest::wrongTargetPasswordFailsAtTheDirectConnection() {
    MessageRecorder recorder;
    TForm1 form;
    connectRows(form, *m_source, *m_target);
    QCOMPARE(form.status2->Color(), kLime);
    const std::vector<std::string> goodParams = form.IBDatabase2().Params().items();
    recorder.messages.clear();

    form.senha2->setText(QStringLiteral("not the password"));
    form.Button3->click();

    QCOMPARE(recorder.messages.size(), size_t{1});
    QVERIFY(recorder.messages[0].find("Your user name and password are not defined") != std::string::npos);
    QVERIFY(!form.SQLConnection().Connected());
    QVERIFY(form.IBDatabase2().Connected());
    QCOMPARE(form.IBDatabase2().Params().items(), goodParams);
    QCOMPARE(form.status2->Color(), kLime);
}

void ConnectionTest::threeTargetConnectsAccumulatePasswordLines() {
    MessageRecorder recorder;
    TForm1 form;
    fillRows(form, *m_source, *m_target);
    const std::string password = m_target->password();
    const int storedPasswordLines = countLines(form.SQLConnection().Params(), "Password");
    QCOMPARE(storedPasswordLines, 1);
    recorder.messages.clear();

    // Good, then wrong (refused although a good line came before it), then good again.
    form.Button3->click();
    QVERIFY(form.SQLConnection().Connected());
    form.senha2->setText(QStringLiteral("wrong"));
    form.Button3->click();
    QVERIFY(!form.SQLConnection().Connected());
    QCOMPARE(recorder.messages.size(), size_t{1});
    form.senha2->setText(q(password));
    form.Button3->click();
    QVERIFY(form.SQLConnection().Connected());
    QCOMPARE(recorder.messages.size(), size_t{1});

    QCOMPARE(countLines(form.SQLConnection().Params(), "Password"), 4);
    QCOMPARE(countLines(form.SQLConnection().Params(), "User_Name"), 4);
    // The effective (last) password was written over the first line of its name.
    const auto& lines = form.SQLConnection().Params().items();
    const auto first = std::find_if(lines.begin(), lines.end(),
                                    [](const std::string& line) { return line.rfind("Password=", 0) == 0; });
    QCOMPARE(*first, "Password=" + password);
    QCOMPARE(lines.back(), "Password=" + password);
    // One "DataBase" line, replaced in place.
    QCOMPARE(countLines(form.SQLConnection().Params(), "DataBase") +
                 countLines(form.SQLConnection().Params(), "Database"),
             1);
}

void ConnectionTest::panel6ConnectsBothRows() {
    MessageRecorder recorder;
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    fillRows(form, *m_source, *m_target);
    recorder.messages.clear();

    const QPoint free(form.Label1->geometry().right() + 20, form.Panel6->height() / 2);
    QTest::mouseClick(form.Panel6, Qt::LeftButton, {}, free);

    QVERIFY(recorder.messages.empty());
    QVERIFY(form.IBDatabase1().Connected());
    QVERIFY(form.IBDatabase2().Connected());
    QVERIFY(form.SQLConnection().Connected());
    QCOMPARE(form.status1->Color(), kLime);
    QCOMPARE(form.status2->Color(), kLime);
}

void ConnectionTest::panel6WithDifferentNamesStopsAfterTheSource() {
    MessageRecorder recorder;
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    fillSource(form, *m_source, "fatura.fdb");
    fillTarget(form, *m_target, "outra.fdb");
    const std::vector<std::string> storedConnectionParams = form.SQLConnection().Params().items();
    recorder.messages.clear();

    const QPoint free(form.Label1->geometry().right() + 20, form.Panel6->height() / 2);
    QTest::mouseClick(form.Panel6, Qt::LeftButton, {}, free);

    QCOMPARE(recorder.messages, std::vector<std::string>{kGuardMessage});
    QVERIFY(!form.IBDatabase1().Connected());
    QCOMPARE(form.status1->Color(), kRed);
    // The target is not touched.
    QVERIFY(!form.SQLConnection().Connected());
    QCOMPARE(form.SQLConnection().Params().items(), storedConnectionParams);
    QVERIFY(!form.IBDatabase2().Connected());
    QCOMPARE(form.IBDatabase2().DatabaseName(), std::string());
    QCOMPARE(form.status2->Color(), kRed);
    QCOMPARE(attachmentCount(*m_target), 0);
}

void ConnectionTest::programEndCommitsAndReportsARefusedCommit() {
    MessageRecorder recorder;
    {
        TForm1 form;
        connectRows(form, *m_source, *m_target);
        QCOMPARE(form.status2->Color(), kLime);
        // Work left in the open transactions: a good table on the source, and on the target a
        // unique index over duplicate values, which the server refuses only at commit.
        vistrel::data::TIBDataSet good;
        good.setDatabase(&form.IBDatabase1());
        good.SelectSQL().Add("create table fim (x integer)");
        good.ExecSQL();
        vistrel::data::TIBDataSet refused;
        refused.setDatabase(&form.IBDatabase2());
        refused.SelectSQL().Add("create unique index dup_c on dup (c)");
        refused.ExecSQL();
        recorder.messages.clear();
    }
    // The window is gone: the source's work is committed, the target's refused commit is shown.
    QCOMPARE(recorder.messages.size(), size_t{1});
    QVERIFY2(recorder.messages[0].find("duplicate") != std::string::npos, recorder.messages[0].c_str());
    QCOMPARE(m_source->queryValue("select count(*) from rdb$relations where rdb$relation_name = 'FIM';"),
             std::string("1"));
    QCOMPARE(m_target->queryValue("select count(*) from rdb$indices where rdb$index_name = 'DUP_C';"),
             std::string("0"));
    QCOMPARE(attachmentCount(*m_source), 0);
    QCOMPARE(attachmentCount(*m_target), 0);
}

void ConnectionTest::gridFollowsTheCursor() {
    MessageRecorder recorder;
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    fillRows(form, *m_source, *m_target);
    form.Button2->click();
    QVERIFY(form.IBDatabase1().Connected());

    vistrel::app::TDataSource* source = form.DataSource1;
    QAbstractItemModelTester tester(source, QAbstractItemModelTester::FailureReportingMode::QtTest);

    auto owned = std::make_unique<vistrel::data::TIBDataSet>();
    vistrel::data::TIBDataSet* cursor = owned.get();
    cursor->setDatabase(&form.IBDatabase1());
    cursor->SelectSQL().Add("select id, nome from clientes order by id");
    form.keepCursor(std::move(owned));
    form.setDataSource1(cursor);
    QCOMPARE(source->DataSet(), cursor);
    QCOMPARE(source->columnCount(), 0);

    cursor->Open();
    QCOMPARE(source->columnCount(), 2);
    QCOMPARE(source->headerData(0, Qt::Horizontal).toString(), QStringLiteral("ID"));
    QCOMPARE(source->headerData(1, Qt::Horizontal).toString(), QStringLiteral("NOME"));
    QVERIFY(source->rowCount() >= 1);
    QCOMPARE(source->data(source->index(0, 1)).toString(), QStringLiteral("Ana"));
    QCOMPARE(source->currentRow(), 0);
    QCOMPARE(form.DBGrid1->selectionModel()->selectedRows().value(0).row(), 0);

    cursor->Next();
    cursor->Next();
    QCOMPARE(source->currentRow(), 2);
    QVERIFY(source->rowCount() >= 3);
    QCOMPARE(source->data(source->index(2, 1)).toString(), QStringLiteral("Carla"));
    QCOMPARE(source->data(source->index(2, 0)).toString(), QStringLiteral("3"));
    QCOMPARE(source->headerData(2, Qt::Vertical).toString(), QStringLiteral("\u25B6"));
    QCOMPARE(source->headerData(0, Qt::Vertical).toString(), QString());
    QCOMPARE(form.DBGrid1->selectionModel()->selectedRows().value(0).row(), 2);

    cursor->Next();
    QVERIFY(cursor->Eof());
    QCOMPARE(source->rowCount(), 3);

    // A closed cursor empties the grid; one closed by a detach behind the grid's back as well.
    cursor->Close();
    QCOMPARE(source->rowCount(), 0);
    QCOMPARE(source->columnCount(), 0);

    cursor->Open();
    QCOMPARE(source->currentRow(), 0);
    form.IBDatabase1().setConnected(false);
    QVERIFY(!cursor->Active());
    QCOMPARE(source->rowCount(), 0);

    // A data source pointed at another cursor lets go of the first one.
    vistrel::data::TIBDataSet other;
    form.setDataSource1(&other);
    QCOMPARE(source->DataSet(), &other);
    form.setDataSource1(nullptr);
    QVERIFY(source->DataSet() == nullptr);
    {
        vistrel::data::TIBDataSet shortLived;
        form.setDataSource2(&shortLived);
    }
    QVERIFY(form.DataSource2->DataSet() == nullptr);
}

void ConnectionTest::gridFetchesTheRowsItCanShow() {
    m_source->runSql("create table numeros (n integer);\n"
                     "set term ^ ;\n"
                     "execute block as declare i integer = 1; begin while (i <= 200) do begin "
                     "insert into numeros values (:i); i = i + 1; end end^\n"
                     "set term ; ^\n");
    MessageRecorder recorder;
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    fillSource(form, *m_source, "fatura.fdb");
    form.Button2->click();
    QVERIFY(form.IBDatabase1().Connected());
    vistrel::app::TDBGrid* grid = form.DBGrid1;
    vistrel::app::TDataSource* source = form.DataSource1;
    // Every row of which some part shows in the grid.
    const auto rowsShown = [grid] {
        const int rowHeight = grid->verticalHeader()->defaultSectionSize();
        return (grid->viewport()->height() + rowHeight - 1) / rowHeight;
    };

    vistrel::data::TIBDataSet* cursor = form.keepCursor(std::make_unique<vistrel::data::TIBDataSet>());
    cursor->setDatabase(&form.IBDatabase1());
    cursor->SelectSQL().Add("select n from numeros order by n");
    form.setDataSource1(cursor);
    cursor->Open();
    // Opened under the grid: the grid is full, the cursor stays on its first row.
    const int shown = rowsShown();
    QVERIFY2(shown > 5 && shown < 150, qPrintable(QString::number(shown)));
    QCOMPARE(cursor->fetchedRowCount(), shown);
    QCOMPARE(source->rowCount(), shown);
    QCOMPARE(cursor->RecNo(), 0);
    QVERIFY(!cursor->Eof());
    QCOMPARE(source->data(source->index(shown - 1, 0)).toString(), QString::number(shown));
    QCOMPARE(grid->rowAt(grid->viewport()->height() - 1), shown - 1);
    // Walking within the rows shown fetches nothing more; a step past them fetches one row.
    for (int i = 1; i < shown; ++i)
        cursor->Next();
    QCOMPARE(cursor->fetchedRowCount(), shown);
    cursor->Next();
    QCOMPARE(cursor->RecNo(), shown);
    QCOMPARE(cursor->fetchedRowCount(), shown + 1);

    // A cursor pointed at the grid once it is open fills the grid as well.
    cursor->Close();
    form.setDataSource1(nullptr);
    cursor->Open();
    QCOMPARE(cursor->fetchedRowCount(), 1);
    form.setDataSource1(cursor);
    QCOMPARE(cursor->fetchedRowCount(), shown);
    QCOMPARE(cursor->RecNo(), 0);

    // A taller grid shows more rows, and fetches them.
    form.resize(form.width(), form.height() + 200);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QVERIFY(rowsShown() > shown);
    QCOMPARE(cursor->fetchedRowCount(), rowsShown());
    QCOMPARE(cursor->RecNo(), 0);

    // Fewer rows than the grid shows: all of them, the cursor on the first, not at its end.
    cursor->Close();
    cursor->SelectSQL().Clear();
    cursor->SelectSQL().Add("select n from numeros where n <= 3 order by n");
    cursor->Open();
    QCOMPARE(cursor->fetchedRowCount(), 3);
    QVERIFY(cursor->allFetched());
    QCOMPARE(cursor->RecNo(), 0);
    QVERIFY(!cursor->Eof());
    cursor->Next();
    cursor->Next();
    QVERIFY(!cursor->Eof());
    cursor->Next();
    QVERIFY(cursor->Eof());
    QCOMPARE(cursor->RecNo(), 2);
    form.setDataSource1(nullptr);
}

void ConnectionTest::clicksDuringARunStartNothing() {
    // The index process lets the event loop run once per index of the source.
    m_source->runSql("create table pecas (a integer, b integer);\n"
                     "create index ix_pecas_a on pecas (a);\n"
                     "create index ix_pecas_b on pecas (b);\n");
    m_target->runSql("create table pecas (a integer, b integer);\n");
    MessageRecorder recorder;
    TForm1 form;
    connectRows(form, *m_source, *m_target);
    QCOMPARE(form.status2->Color(), kLime);
    const std::vector<std::string> connectionParams = form.SQLConnection().Params().items();
    recorder.messages.clear();

    bool clickedDuringRun = false;
    QTimer::singleShot(0, &form, [&] {
        clickedDuringRun = form.handlerRunning();
        form.Button11->click(); // the same process again
        form.Button6->click();  // another process
        form.Button3->click();  // the target's connect
        form.Button4->click();  // the target's close
        form.Button8->click();  // swapping the logs is no run: it works
    });
    form.Button11->click();

    QVERIFY(clickedDuringRun);
    // One run, one completion message; the target stayed connected as it was.
    QCOMPARE(recorder.messages, std::vector<std::string>{"Processo finalizado!"});
    QVERIFY(form.Memo1->isHidden());
    QVERIFY(form.IBDatabase2().Connected());
    QCOMPARE(form.status2->Color(), kLime);
    QCOMPARE(form.SQLConnection().Params().items(), connectionParams);
    QCOMPARE(m_target->queryValue("select count(*) from rdb$indices where rdb$relation_name = 'PECAS';"),
             std::string("2"));
    form.Button8->click();
    QCOMPARE(form.Memo1->toPlainText().count(QStringLiteral("Index não encontrada; ")), 2);
}

QTEST_MAIN(ConnectionTest)
#include "connection_test.moc"
