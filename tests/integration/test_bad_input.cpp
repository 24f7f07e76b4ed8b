// Bad input through the window, offscreen, with the message box recorded: a host that does not
// exist, a server that does not answer, a wrong password, a client library that cannot be loaded,
// and the server stopped in the middle of each of the seven processes. In every case the failure
// is reported (the message box or the process's own failure line), the window stays usable, and
// the source database is left exactly as it was.
//
// The server is one of this test's own (scripts/fbserver.sh): the test stops it in the middle of a
// run and starts it again on the same port, which the shared test server must never suffer.
#include "app/panel.h"
#include "app/unit1.h"
#include "data/detail/fbclient.h"
#include "data/errors.h"
#include "data/ibdatabase.h"
#include "tests/support/process.h"
#include "tests/support/testserver.h"
#include "tests/support/windowdriver.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef VISTREL_FBSERVER_SCRIPT
#error "VISTREL_FBSERVER_SCRIPT must name scripts/fbserver.sh"
#endif
#ifndef VISTREL_ISQL
#error "VISTREL_ISQL must name isql-fb"
#endif

using vistrel::app::TForm1;
using vistrel::test::fillSource;
using vistrel::test::fillTarget;
using vistrel::test::MessageRecorder;
using vistrel::test::ProcessResult;
using vistrel::test::q;
using vistrel::test::runProcess;

namespace {

namespace fs = std::filesystem;

const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kLime(0, 255, 0);

// What the client library says, in its own words, when it cannot reach a server.
constexpr char kUnreachable[] = "Unable to complete network request to host";

// Whether the text is the client library's report of a server it cannot reach or has lost.
bool isNetworkFailure(const std::string& text) {
    for (const char* report : {kUnreachable, "Error writing data to the connection",
                               "Error reading data from the connection", "Connection lost to database"})
        if (text.find(report) != std::string::npos)
            return true;
    return false;
}

// The message of a lost connection, for the database as its session names it.
std::string lostMessage(const std::string& databaseName) {
    std::string message = vistrel::data::kConnectionLostMessage;
    return message.replace(message.find("%s"), 2, databaseName);
}

std::string describe(const ProcessResult& r) {
    return "exit code " + std::to_string(r.exitCode) + "\n" + r.err + r.out;
}

std::string joined(const std::vector<std::string>& messages) {
    std::string out;
    for (const std::string& m : messages)
        out += "[" + m + "] ";
    return out;
}

fs::path makeTempFolder(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a folder like " + pattern + ": " + std::strerror(errno));
    return pattern;
}

std::map<std::string, std::string> readEnvFile(const fs::path& file) {
    std::ifstream in(file);
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

// A private Firebird server that this test may stop and start again on the same port, with its
// databases in a folder of its own.
class OwnServer {
public:
    OwnServer()
        : m_dir(makeTempFolder("vistrel-badinput-server")), m_data(makeTempFolder("vistrel-badinput-data")) {
        m_password = "bad" + std::to_string(::getpid());
        try {
            start({});
        } catch (...) {
            removeFolders();
            throw;
        }
    }
    ~OwnServer() {
        try {
            stop();
        } catch (const std::exception& e) {
            std::cerr << "warning: " << e.what() << '\n';
        }
        removeFolders();
    }
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;

    // Starts the server again on the port it had.
    void restart() { start(std::to_string(m_port)); }

    // Starts it again if a test that stopped it ended before it could.
    void ensureRunning() {
        if (runProcess({"bash", VISTREL_FBSERVER_SCRIPT, "status", m_dir.string()}).exitCode != 0)
            restart();
    }

    void stop() {
        const ProcessResult r = runProcess({"bash", VISTREL_FBSERVER_SCRIPT, "stop", m_dir.string()});
        if (r.exitCode != 0)
            throw std::runtime_error("stopping the test's own server failed: " + describe(r));
    }

    std::string host() const { return "127.0.0.1/" + std::to_string(m_port); }
    const std::string& password() const { return m_password; }
    std::string connectionString(const fs::path& file) const { return host() + ":" + file.string(); }

    // Runs isql-fb as SYSDBA with `sql` as its input; throws on a failure.
    std::string isql(const std::string& connection, const std::string& sql,
                     const std::vector<std::string>& options = {}) const {
        std::vector<std::string> argv{VISTREL_ISQL, "-q", "-b", "-user", "SYSDBA", "-password", m_password};
        argv.insert(argv.end(), options.begin(), options.end());
        if (!connection.empty())
            argv.push_back(connection);
        const ProcessResult r = runProcess(argv, sql);
        if (r.exitCode != 0 || r.err.find("Statement failed") != std::string::npos)
            throw std::runtime_error("isql-fb failed on " + connection + ": " + describe(r));
        return r.out;
    }

    // A new database FOLDER/fatura.fdb on this server, filled by the script.
    fs::path createDatabase(const std::string& folder, const fs::path& script) const {
        const fs::path dir = m_data / folder;
        fs::create_directories(dir);
        const fs::path file = dir / "fatura.fdb";
        isql("", "CREATE DATABASE '" + connectionString(file) + "' USER 'SYSDBA' PASSWORD '" + m_password +
                     "';\nINPUT " + script.string() + ";\nCOMMIT;\n");
        return file;
    }

    // Everything a process could change in a database: its whole metadata as isql-fb extracts it,
    // the rows of every table and the value of every generator.
    std::string fingerprint(const fs::path& file) const {
        const std::string connection = connectionString(file);
        const std::string metadata = isql(connection, "", {"-x"});
        std::string reads;
        for (const std::string& table :
             names(connection,
                   "select trim(rdb$relation_name) from rdb$relations where rdb$system_flag = 0 and "
                   "rdb$view_blr is null order by 1;"))
            reads += "select * from \"" + table + "\" order by 1;\n";
        for (const std::string& generator : names(
                 connection, "select trim(rdb$generator_name) from rdb$generators where rdb$system_flag = 0 "
                             "order by 1;"))
            reads += "select '" + generator + "', gen_id(\"" + generator + "\", 0) from rdb$database;\n";
        return metadata + isql(connection, reads);
    }

private:
    void removeFolders() noexcept {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
        fs::remove_all(m_data, ignored);
    }

    void start(const std::string& port) {
        std::vector<std::string> argv{
            "bash", VISTREL_FBSERVER_SCRIPT, "start", m_dir.string(), "--password", m_password};
        if (!port.empty()) {
            argv.push_back("--port");
            argv.push_back(port);
        }
        const ProcessResult r = runProcess(argv);
        if (r.exitCode != 0)
            throw std::runtime_error("starting the test's own server failed: " + describe(r));
        m_port = std::stoi(readEnvFile(m_dir / "env").at("VISTREL_FB_PORT"));
    }

    // The lines of a query's output, trailing blanks removed, empty lines left out.
    std::vector<std::string> names(const std::string& connection, const std::string& query) const {
        std::vector<std::string> out;
        const std::string text = isql(connection, "set heading off;\n" + query);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
                line.pop_back();
            if (!line.empty())
                out.push_back(line);
            start = end + 1;
        }
        return out;
    }

    fs::path m_dir;
    fs::path m_data;
    std::string m_password;
    int m_port = 0;
};

OwnServer& server() {
    static OwnServer instance;
    return instance;
}

// Fills both rows for the databases `source` and `target` on the test's own server.
void fillRows(TForm1& form, const fs::path& source, const fs::path& target) {
    fillSource(form, {server().host(), "SYSDBA", server().password(), source.parent_path().string(),
                      source.filename().string()});
    fillTarget(form, {server().host(), "SYSDBA", server().password(), target.parent_path().string(),
                      target.filename().string()});
}

// Runs `action` once, the first time the pane's text holds `marker`, from inside the append that
// put it there: the process that wrote the line goes on with its next step afterwards.
class OnPaneText {
public:
    OnPaneText(QPlainTextEdit* pane, const QString& marker, std::function<void()> action) {
        m_connection = QObject::connect(pane->document(), &QTextDocument::contentsChanged, pane,
                                        [this, pane, marker, action = std::move(action)] {
                                            if (!m_fired && pane->toPlainText().contains(marker)) {
                                                m_fired = true;
                                                action();
                                            }
                                        });
    }
    ~OnPaneText() { QObject::disconnect(m_connection); }
    OnPaneText(const OnPaneText&) = delete;
    OnPaneText& operator=(const OnPaneText&) = delete;

private:
    QMetaObject::Connection m_connection;
    bool m_fired = false;
};

} // namespace

Q_DECLARE_METATYPE(std::string)

class BadInputTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void connectFailsAndTheWindowStaysUsable_data();
    void connectFailsAndTheWindowStaysUsable();

    void missingClientLibrary();

    void serverStoppedDuringAProcess_data();
    void serverStoppedDuringAProcess();

    void windowClosesWhileTheServerIsDown();
};

void BadInputTest::initTestCase() {
    server();
}

// A row that cannot attach: the client's own text in the message box, the session detached. The
// window goes on, and the same buttons with the right field then connect both rows.
void BadInputTest::connectFailsAndTheWindowStaysUsable_data() {
    QTest::addColumn<bool>("target");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<std::string>("expected");

    const std::string unreachable = kUnreachable;
    const std::string wrongLogin = "Your user name and password are not defined";
    for (const bool target : {false, true}) {
        const QString row = target ? QStringLiteral("target") : QStringLiteral("source");
        QTest::newRow(qPrintable(row + QStringLiteral(", host that does not exist")))
            << target << QStringLiteral("host") << QStringLiteral("vistrel-no-such-host.invalid")
            << unreachable;
        // Port 1 on the loopback: nothing listens there, the connection is refused at once.
        QTest::newRow(qPrintable(row + QStringLiteral(", server that does not answer")))
            << target << QStringLiteral("host") << QStringLiteral("127.0.0.1/1") << unreachable;
        QTest::newRow(qPrintable(row + QStringLiteral(", wrong password")))
            << target << QStringLiteral("password") << QStringLiteral("not-the-password") << wrongLogin;
    }
}

void BadInputTest::connectFailsAndTheWindowStaysUsable() {
    QFETCH(bool, target);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(std::string, expected);

    static const fs::path source =
        server().createDatabase("connect-origem", vistrel::test::sqlScript("demo_source.sql"));
    static const fs::path destination =
        server().createDatabase("connect-destino", vistrel::test::sqlScript("demo_target.sql"));

    MessageRecorder recorder;
    TForm1 form;
    fillRows(form, source, destination);
    QLineEdit* edit = field == QStringLiteral("host") ? (target ? form.ip2 : form.ip1)
                                                      : (target ? form.senha2 : form.senha1);
    const QString good = edit->text();
    edit->setText(value);
    recorder.messages.clear();

    (target ? form.Button3 : form.Button2)->click();
    QCOMPARE(recorder.messages.size(), size_t{1});
    QVERIFY2(recorder.messages[0].find(expected) != std::string::npos, recorder.messages[0].c_str());
    if (target) {
        // The direct-execution connection is opened first and fails first: the target session and
        // its lamp are not touched.
        QVERIFY(!form.SQLConnection().Connected());
        QVERIFY(!form.IBDatabase2().Connected());
        QCOMPARE(form.status2->Color(), kRed);
    } else {
        QVERIFY(!form.IBDatabase1().Connected());
        QCOMPARE(form.status1->Color(), kYellow);
    }

    // The window goes on: a process clicked now reports that it cannot reach its database.
    recorder.messages.clear();
    form.Button6->click();
    QCOMPARE(recorder.messages.size(), size_t{1});
    QVERIFY2(recorder.messages[0] != "Processo concluido!", recorder.messages[0].c_str());

    // With the right value the same buttons connect both rows.
    edit->setText(good);
    recorder.messages.clear();
    form.Button2->click();
    form.Button3->click();
    QVERIFY2(recorder.messages.empty(), joined(recorder.messages).c_str());
    QCOMPARE(form.status1->Color(), kLime);
    QCOMPARE(form.status2->Color(), kLime);
    QVERIFY(form.IBDatabase1().Connected());
    QVERIFY(form.IBDatabase2().Connected());
    form.Button4->click();
    form.Button1->click();
}

// A client library that cannot be loaded: building the window fails with the library's message
// and no window is left. A library missing when a row connects (its name changed after the window
// was built) fails that click with the same message, and the window stays usable.
void BadInputTest::missingClientLibrary() {
    const std::string libraryName = vistrel::data::detail::clientLibraryName();
    const std::string missing = "libfbclient-vistrel-missing.so.2";
    const std::string message = "InterBase library " + missing +
                                " not found in the path. Please install InterBase to use this functionality";
    MessageRecorder recorder;

    vistrel::data::detail::setClientLibraryName(missing);
    std::string error;
    try {
        TForm1 form;
    } catch (const vistrel::data::EIBClientError& e) {
        error = e.what();
    }
    vistrel::data::detail::setClientLibraryName(libraryName);
    QCOMPARE(error, message);
    QVERIFY(recorder.messages.empty());
    QVERIFY(Form1 == nullptr);

    static const fs::path source =
        server().createDatabase("library-origem", vistrel::test::sqlScript("demo_source.sql"));
    static const fs::path destination =
        server().createDatabase("library-destino", vistrel::test::sqlScript("demo_target.sql"));
    TForm1 form;
    fillRows(form, source, destination);
    recorder.messages.clear();
    vistrel::data::detail::setClientLibraryName(missing);
    form.Button2->click();
    vistrel::data::detail::setClientLibraryName(libraryName);
    QCOMPARE(recorder.messages, std::vector<std::string>{message});
    QVERIFY(!form.IBDatabase1().Connected());
    QCOMPARE(form.status1->Color(), kYellow);

    recorder.messages.clear();
    form.Button2->click();
    QVERIFY2(recorder.messages.empty(), joined(recorder.messages).c_str());
    QCOMPARE(form.status1->Color(), kLime);
    form.Button1->click();
}

// The server stops in the middle of a run. The run ends at once with one clear message naming the
// database whose connection was lost, without its completion message and without a failure line
// for the object it was at (or any after it); the lamp of each row whose session found the
// connection lost turns red; a click while the server is down reports the failure too; once the
// server is back both rows connect again at the first click, the same process runs to its end,
// the window closes, and the source is exactly as it was.
void BadInputTest::serverStoppedDuringAProcess_data() {
    QTest::addColumn<QString>("button");
    // The process-log text after which the server stops; empty: it stops in the first pass of the
    // event loop that the process lets run.
    QTest::addColumn<QString>("stopAfter");
    QTest::addColumn<std::string>("completion"); // completion message; empty: the process has none
    // Pane and text of the failure line that the stopped object would have written had the lost
    // connection not ended the run; empty: the process has none.
    QTest::addColumn<QString>("failurePane");
    QTest::addColumn<QString>("failureLine");

    QTest::newRow("1-CRIAR GENERATOR") << QStringLiteral("Button6") << QStringLiteral("Generator Criado; ")
                                       << std::string("Processo concluido!") << QString() << QString();
    QTest::newRow("2-CRIAR EXCEPTION")
        << QStringLiteral("Button9") << QStringLiteral("Exception não encontrada; ")
        << std::string("Processo concluido!") << QString() << QString();
    QTest::newRow("3-COMPARAR DOMAINS")
        << QStringLiteral("Button10") << QStringLiteral("Domain não encontrado; ")
        << std::string("Processo concluido!") << QString() << QString();
    QTest::newRow("4-COMPARAR TABELAS/VIEWS")
        << QStringLiteral("INICIAR") << QStringLiteral("ALTER TABLE CLIENTES ADD ") << std::string()
        << QStringLiteral("Memo3") << QStringLiteral("Erro na tabela: CLIENTES");
    QTest::newRow("5-COMPARAR PROCEDURES")
        << QStringLiteral("Button5") << QStringLiteral("Executando Procedure....")
        << std::string("Comparação de procedure finalizada;") << QString() << QString();
    QTest::newRow("6-COMPARAR TRIGGERS")
        << QStringLiteral("Button7") << QStringLiteral("Trigger não encontrada; ")
        << std::string("Processo finalizado!") << QStringLiteral("Memo3")
        << QStringLiteral("Não foi possivel criar a trigger: ");
    QTest::newRow("7-COMPARAR  INDICES")
        << QStringLiteral("Button11") << QStringLiteral("Index não encontrada; ")
        << std::string("Processo finalizado!") << QStringLiteral("Memo1")
        << QStringLiteral("Não foi possivel criar esse indice!");
    // The two processes that let the event loop run, stopped from there: between two relations
    // (after ITENS: CLIENTES fails on its own, its new NOT NULL column meets rows without a value),
    // between two indexes.
    QTest::newRow("4-COMPARAR TABELAS/VIEWS, from the event loop")
        << QStringLiteral("INICIAR") << QString() << std::string() << QStringLiteral("Memo3")
        << QStringLiteral("Erro na tabela: PEDIDOS");
    QTest::newRow("7-COMPARAR  INDICES, from the event loop")
        << QStringLiteral("Button11") << QString() << std::string("Processo finalizado!") << QString()
        << QString();
}

void BadInputTest::serverStoppedDuringAProcess() {
    QFETCH(QString, button);
    QFETCH(QString, stopAfter);
    QFETCH(std::string, completion);
    QFETCH(QString, failurePane);
    QFETCH(QString, failureLine);

    OwnServer& own = server();
    own.ensureRunning();
    // A pair of folders per case.
    static int cases = 0;
    const std::string tag = button.toStdString() + "-" + std::to_string(++cases);
    const fs::path source =
        own.createDatabase("stop-" + tag + "-origem", vistrel::test::sqlScript("demo_source.sql"));
    const fs::path destination =
        own.createDatabase("stop-" + tag + "-destino", vistrel::test::sqlScript("demo_target.sql"));
    const std::string before = own.fingerprint(source);

    MessageRecorder recorder;
    TForm1 form;
    fillRows(form, source, destination);
    form.Button2->click();
    form.Button3->click();
    QVERIFY2(form.IBDatabase1().Connected() && form.IBDatabase2().Connected(),
             joined(recorder.messages).c_str());
    recorder.messages.clear();

    auto* process = form.findChild<QPushButton*>(button);
    QVERIFY(process != nullptr);
    bool stopped = false;
    const auto stop = [&] {
        own.stop();
        stopped = true;
    };
    if (stopAfter.isEmpty()) {
        QTimer::singleShot(0, &form, stop);
        process->click();
    } else {
        OnPaneText stopper(form.Memo1, stopAfter, stop);
        process->click();
    }
    QVERIFY(stopped);

    // The run ended at once: one message naming the lost database, never the completion, no
    // failure line.
    QVERIFY2(recorder.messages.size() == 1, joined(recorder.messages).c_str());
    const bool sourceLost = form.IBDatabase1().connectionLost();
    const bool targetLost = form.IBDatabase2().connectionLost() || form.SQLConnection().connectionLost();
    QVERIFY(sourceLost || targetLost);
    const std::string lostName =
        sourceLost ? form.IBDatabase1().DatabaseName() : form.IBDatabase2().DatabaseName();
    QCOMPARE(recorder.messages[0], lostMessage(lostName));
    if (!failurePane.isEmpty()) {
        auto* pane = form.findChild<QPlainTextEdit*>(failurePane);
        QVERIFY(pane != nullptr);
        QVERIFY2(!pane->toPlainText().contains(failureLine), qPrintable(pane->toPlainText()));
    }
    // The row that found its connection lost shows it; its session closed itself.
    if (sourceLost) {
        QVERIFY(!form.IBDatabase1().Connected());
        QCOMPARE(form.status1->Color(), kRed);
    }
    if (targetLost)
        QCOMPARE(form.status2->Color(), kRed);
    // The window paints, its grids pointing at cursors that the failure left behind.
    QVERIFY(!form.grab().isNull());

    // A click while the server is down runs its handler and reports the failure.
    recorder.messages.clear();
    form.Button2->click();
    QVERIFY2(recorder.messages.size() == 1, joined(recorder.messages).c_str());
    QVERIFY2(isNetworkFailure(recorder.messages[0]), recorder.messages[0].c_str());
    QVERIFY(!form.IBDatabase1().Connected());
    QVERIFY(form.status1->Color() != kLime);

    // The server is back and the source untouched. Both rows connect at the first click: a session
    // still attached to the stopped server detaches without a report.
    own.restart();
    QCOMPARE(own.fingerprint(source), before);
    recorder.messages.clear();
    form.Button2->click();
    QVERIFY2(recorder.messages.empty(), joined(recorder.messages).c_str());
    QCOMPARE(form.status1->Color(), kLime);
    form.Button3->click();
    QVERIFY2(recorder.messages.empty(), joined(recorder.messages).c_str());
    QCOMPARE(form.status2->Color(), kLime);

    // The run ends as a run ends: with its completion message, or, for the table process, with
    // the view phase done and nothing in the message box. (Objects that need others which this
    // one process does not make still get their own failure lines.)
    form.Memo1->clear();
    process->click();
    if (completion.empty()) {
        QVERIFY2(recorder.messages.empty(), joined(recorder.messages).c_str());
        QVERIFY(form.Memo1->toPlainText().contains(QStringLiteral("Iniciando Comparação de Views")));
    } else {
        QCOMPARE(recorder.messages, std::vector<std::string>{completion});
    }
    const std::vector<std::string> shown = recorder.messages;
    QVERIFY(form.close());
    QCOMPARE(recorder.messages, shown);
    QVERIFY(!form.IBDatabase1().Connected() && !form.IBDatabase2().Connected());
    QCOMPARE(own.fingerprint(source), before);
}

// The server stops in the middle of a run and stays down: the window closes at once, with the
// run's one message and nothing more (the session that still holds an attachment to the stopped
// server detaches without a report), both sessions detached.
void BadInputTest::windowClosesWhileTheServerIsDown() {
    OwnServer& own = server();
    own.ensureRunning();
    const fs::path source = own.createDatabase("close-origem", vistrel::test::sqlScript("demo_source.sql"));
    const fs::path destination =
        own.createDatabase("close-destino", vistrel::test::sqlScript("demo_target.sql"));

    MessageRecorder recorder;
    TForm1 form;
    fillRows(form, source, destination);
    form.Button2->click();
    form.Button3->click();
    QVERIFY2(form.IBDatabase1().Connected() && form.IBDatabase2().Connected(),
             joined(recorder.messages).c_str());
    recorder.messages.clear();
    {
        OnPaneText stopper(form.Memo1, QStringLiteral("ALTER TABLE CLIENTES ADD "), [&] { own.stop(); });
        form.INICIAR->click();
    }
    QVERIFY2(recorder.messages.size() == 1, joined(recorder.messages).c_str());
    QVERIFY(form.IBDatabase1().connectionLost() || form.IBDatabase2().connectionLost());

    QVERIFY(form.close());
    QVERIFY2(recorder.messages.size() == 1, joined(recorder.messages).c_str());
    QVERIFY(!form.IBDatabase1().Connected());
    QVERIFY(!form.IBDatabase2().Connected());
    own.restart();
}

QTEST_MAIN(BadInputTest)
#include "test_bad_input.moc"
