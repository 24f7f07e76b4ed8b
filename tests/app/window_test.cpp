// The main window on the offscreen platform, without a database server: start-up, presets,
// notices, panes, the version record and the handler guard.
#include "app/buildinfo.h"
#include "app/datasource.h"
#include "app/dbgrid.h"
#include "app/panel.h"
#include "app/progressbar.h"
#include "app/textcodec.h"
#include "app/unit1.h"
#include "data/detail/fbclient.h"
#include "data/errors.h"
#include "data/ibdatabase.h"
#include "sync/guard.h"
#include "tests/support/messagerecorder.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <tuple>

using vistrel::app::TForm1;
using vistrel::test::MessageRecorder;

namespace {

std::string bytes(const QString& s) {
    return s.toStdString();
}

QColor lampColor(const vistrel::app::TPanel* lamp) {
    return lamp->Color();
}

void writeFile(const QString& path, const std::string& content) {
    std::ofstream file(path.toStdString(), std::ios::binary);
    file << content;
}

// The version record's signature, made at run time so that this program's own code does not
// carry it (the window reads this program's file for its version label).
uint32_t signatureWord() {
    static volatile uint32_t mask = 0x12345678u;
    return 0xECDB52C5u ^ mask;
}

// What a screen reader reads of a control: its accessible name and description.
QString accessibleText(QWidget* widget, QAccessible::Text kind) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(kind) : QStringLiteral("<no accessible interface>");
}

// The labels of the window whose buddy is the control.
QList<QLabel*> captionsOf(const TForm1& form, const QWidget* control) {
    QList<QLabel*> captions;
    for (QLabel* label : form.findChildren<QLabel*>())
        if (label->buddy() == control)
            captions << label;
    return captions;
}

std::string le32(uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
            static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void startupNoticeBeforeTheWindowShows();
    void componentsCaptionsAndStartValues();
    void controlsNamedForAssistiveTechnology();
    void lampsDescribeTheirState();
    void optionLabelsBesideTheirBoxes();
    void processLogOpensWithOneEmptyLine();
    void progressBarPositionStaysInItsRange();
    void lampsRedAndVersionLabel();
    void getBuildInfo_data();
    void getBuildInfo();
    void presets_data();
    void presets();
    void criarautoRestoresFb30Preset();
    void rapidoNoticeOnlyWhenTicked();
    void logButtonSwapsPanesKeepingContent();
    void paneEntriesDecodeAndBreakLines_data();
    void paneEntriesDecodeAndBreakLines();
    void procedureBufferKeepsBytes();
    void decodeTextPerSequence_data();
    void decodeTextPerSequence();
    void noHandlerRunsInsideARun();
    void closeDuringARunWaitsForItsEnd();
    void errorOfAHandlerIsShownAndWindowStaysUsable();
    void storedSourceNameNeverReachesAHost();
    void panel6ClickOnlyOnFreeArea();
    void processButtonsInTwoRowsOfFiveColumns();
    void constraintButtonKeepsTheSameNameGuard();
    void missingClientLibraryFailsTheBuild();
};

void WindowTest::startupNoticeBeforeTheWindowShows() {
    MessageRecorder recorder;
    bool anyWindowVisible = true;
    recorder.onMessage = [&](const std::string&) {
        anyWindowVisible = false;
        for (QWidget* w : QApplication::topLevelWidgets())
            anyWindowVisible = anyWindowVisible || w->isVisible();
    };
    TForm1 form;
    QCOMPARE(recorder.messages.size(), size_t{1});
    // Four lines, each ending in a single carriage return, the last one included.
    QCOMPARE(recorder.messages[0], std::string(vistrel::test::kStartupNotice));
    QCOMPARE(std::count(recorder.messages[0].begin(), recorder.messages[0].end(), '\r'), 4);
    QVERIFY(recorder.messages[0].find('\n') == std::string::npos);
    QVERIFY(!anyWindowVisible);
    QCOMPARE(Form1, &form);
    QCOMPARE(form.windowTitle(), QStringLiteral("Vistrel"));
}

void WindowTest::componentsCaptionsAndStartValues() {
    MessageRecorder recorder;
    TForm1 form;
    const std::pair<QPushButton*, const char*> buttons[] = {
        {form.Button1, "Fechar"},
        {form.Button2, "Conectar"},
        {form.Button3, "Conectar"},
        {form.Button4, "Fechar"},
        {form.Button6, "1-CRIAR GENERATOR"},
        {form.Button9, "2-CRIAR EXCEPTION"},
        {form.Button10, "3-COMPARAR DOMAINS"},
        {form.Button11, "7-COMPARAR  INDICES"},
        {form.Button12, "8-COMPARAR CONSTRAINTS"},
        {form.INICIAR, "4-COMPARAR TABELAS/VIEWS"},
        {form.Button5, "5-COMPARAR PROCEDURES"},
        {form.Button7, "6-COMPARAR TRIGGERS"},
        {form.Button8, "LOG DE ERROS"},
    };
    // The captions as shown: the mnemonic's mark underlines a letter and is no part of them.
    for (const auto& [button, caption] : buttons)
        QCOMPARE(QString(button->text()).remove(QLatin1Char('&')), QString::fromUtf8(caption));

    const std::pair<QLineEdit*, const char*> edits[] = {
        {form.ip1, "127.0.0.1"},          {form.usuario1, "SYSDBA"},   {form.senha1, "k#tuv!(mo&qez1936"},
        {form.banco1, "F:\\sgbd\\dep25"}, {form.xbanco, "fatura.fdb"}, {form.ip2, "127.0.0.1"},
        {form.usuario2, "sysdba"},        {form.senha2, "tomen47"},    {form.banco2, "E:\\SGBD"},
        {form.xbanco2, "fatura.fdb"},
    };
    for (const auto& [edit, initial] : edits)
        QCOMPARE(edit->text(), QString::fromUtf8(initial));
    QCOMPARE(form.senha1->echoMode(), QLineEdit::Password);
    QCOMPARE(form.senha2->echoMode(), QLineEdit::Password);
    QCOMPARE(form.ip1->echoMode(), QLineEdit::Normal);

    const std::pair<QLabel*, const char*> labels[] = {
        {form.Label1, "Rápido"}, {form.Label4, "ORVEN SOFTWARE"}, {form.Label5, "Fb 2.5"},
        {form.Label6, "Fb 3.0"}, {form.Label7, "Criar. Aut"},
    };
    for (const auto& [label, caption] : labels)
        QCOMPARE(label->text(), QString::fromUtf8(caption));
    QVERIFY(!form.Label7->isHidden());
    QCOMPARE(form.status1->Caption(), QStringLiteral("1"));
    QCOMPARE(form.status2->Caption(), QStringLiteral("2"));
    QCOMPARE(form.Panel5->Caption(), QStringLiteral("PROCESSOS"));

    QVERIFY(!form.rapido->isChecked());
    QVERIFY(!form.CheckBox1->isChecked());
    QVERIFY(!form.CheckBox2->isChecked());
    QVERIFY(form.criarauto->isChecked());

    QVERIFY(!form.Memo1->isHidden());
    QVERIFY(form.Memo3->isHidden());
    QVERIFY(form.Memo2->isHidden());
    QCOMPARE(form.Memo1->toPlainText(), QString());
    QCOMPARE(form.Memo3->toPlainText(), QString());
    QCOMPARE(form.Memo2->toPlainText(), QStringLiteral("Memo2"));
    QCOMPARE(form.ProgressBar1->minimum(), 0);
    QCOMPARE(form.ProgressBar1->maximum(), 100);
    QVERIFY(form.DataSource1->DataSet() == nullptr);
    QVERIFY(form.DataSource2->DataSet() == nullptr);
    QCOMPARE(form.DBGrid1->DataSource(), form.DataSource1);
    QCOMPARE(form.DBGrid2->DataSource(), form.DataSource2);

    // Every component can be found by its name.
    const char* names[] = {"Panel1",    "Panel2",    "Panel3",       "Panel4",  "Panel5",
                           "Panel6",    "status1",   "status2",      "Memo1",   "Memo2",
                           "Memo3",     "DBGrid1",   "DBGrid2",      "rapido",  "criarauto",
                           "CheckBox1", "CheckBox2", "ProgressBar1", "INICIAR", "xbanco2"};
    for (const char* name : names)
        QVERIFY2(form.findChild<QObject*>(QString::fromLatin1(name)) != nullptr, name);

    // Stored settings of the sessions.
    QCOMPARE(form.IBDatabase1().DatabaseName(), std::string("E:\\sgbd\\fatura.fdb"));
    QCOMPARE(form.IBDatabase1().Params().items(),
             (std::vector<std::string>{"user_name=SYSDBA", "password=tomen47"}));
    QCOMPARE(form.IBDatabase1().ServerType(), std::string("IBServer"));
    QCOMPARE(form.IBDatabase1().DefaultTransaction(), &form.IBTransaction1());
    QCOMPARE(form.IBDatabase2().DatabaseName(), std::string());
    QCOMPARE(form.IBDatabase2().Params().Count(), 0);
    QCOMPARE(form.IBDatabase2().DefaultTransaction(), &form.IBTransaction2());
    QVERIFY(!form.IBDatabase2().Connected());
    QVERIFY(!form.SQLConnection().Connected());
    // The stored source is not reachable here: its attach failed silently.
    QVERIFY(!form.IBDatabase1().Connected());
    QVERIFY(form.ORIGEM().SelectSQL().Count() > 0);
    QCOMPARE(form.ORIGEM().FieldByName("TABELA").Name, std::string("ORIGEMTABELA"));
    QCOMPARE(form.ORIGEM().Database(), &form.IBDatabase1());
    QCOMPARE(form.CAMPOS2().Database(), &form.IBDatabase2());
    QCOMPARE(form.IBExtract1().Database(), &form.IBDatabase1());
    QCOMPARE(form.IBExtract1().Transaction(), &form.IBTransaction1());
}

void WindowTest::controlsNamedForAssistiveTechnology() {
    MessageRecorder recorder;
    TForm1 form;
    // Each edit is named by its caption, and the two rows apart by the row's name; the caption
    // label is attached to its edit.
    const std::tuple<QWidget*, const char*, const char*> controls[] = {
        {form.ip1, "Servidor", "Servidor"},
        {form.usuario1, "Usuário", "Servidor: Usuário"},
        {form.senha1, "Senha", "Servidor: Senha"},
        {form.banco1, "Pasta do banco", "Servidor: Pasta do banco"},
        {form.xbanco, "Banco de dados", "Servidor: Banco de dados"},
        {form.ip2, "Cliente", "Cliente"},
        {form.usuario2, "Usuário", "Cliente: Usuário"},
        {form.senha2, "Senha", "Cliente: Senha"},
        {form.banco2, "Pasta do banco", "Cliente: Pasta do banco"},
        {form.xbanco2, "Banco de dados", "Cliente: Banco de dados"},
        {form.rapido, "Rápido", "Rápido"},
        {form.CheckBox1, "Fb 2.5", "Fb 2.5"},
        {form.CheckBox2, "Fb 3.0", "Fb 3.0"},
        {form.criarauto, "Criar. Aut", "Criar. Aut"},
    };
    QSet<QString> names;
    for (const auto& [control, caption, name] : controls) {
        const QByteArray which = control->objectName().toUtf8();
        QCOMPARE(accessibleText(control, QAccessible::Name), QString::fromUtf8(name));
        const QList<QLabel*> captions = captionsOf(form, control);
        QVERIFY2(captions.size() == 1, which.constData());
        QCOMPARE(captions[0]->text(), QString::fromUtf8(caption));
        names.insert(QString::fromUtf8(name));
    }
    // No two controls share a name.
    QCOMPARE(names.size(), int(std::size(controls)));
    // The option labels are the window's own components.
    QCOMPARE(form.Label1->buddy(), form.rapido);
    QCOMPARE(form.Label5->buddy(), form.CheckBox1);
    QCOMPARE(form.Label6->buddy(), form.CheckBox2);
    QCOMPARE(form.Label7->buddy(), form.criarauto);
    // The masked edits do not give their text away.
    QCOMPARE(accessibleText(form.senha1, QAccessible::Value), QStringLiteral("*****************"));
}

void WindowTest::lampsDescribeTheirState() {
    MessageRecorder recorder;
    TForm1 form;
    QCOMPARE(accessibleText(form.status1, QAccessible::Name), QStringLiteral("Servidor: estado da conexão"));
    QCOMPARE(accessibleText(form.status2, QAccessible::Name), QStringLiteral("Cliente: estado da conexão"));
    // Red once the window is built.
    QCOMPARE(accessibleText(form.status1, QAccessible::Description),
             QStringLiteral("Servidor: desconectado"));
    QCOMPARE(accessibleText(form.status2, QAccessible::Description), QStringLiteral("Cliente: desconectado"));

    // An attach that fails leaves the lamp yellow: still connecting as far as the lamp tells.
    form.ip1->setText(QStringLiteral("127.0.0.1/1"));
    form.banco1->setText(QStringLiteral("/x"));
    form.Button2->click();
    QCOMPARE(lampColor(form.status1), QColor(255, 255, 0));
    QCOMPARE(accessibleText(form.status1, QAccessible::Description), QStringLiteral("Servidor: conectando"));
    QCOMPARE(accessibleText(form.status2, QAccessible::Description), QStringLiteral("Cliente: desconectado"));
    // "Fechar" paints it red again.
    form.Button1->click();
    QCOMPARE(accessibleText(form.status1, QAccessible::Description),
             QStringLiteral("Servidor: desconectado"));

    // GetBuildInfo paints both lamps red: their descriptions follow.
    form.Button2->click();
    QCOMPARE(accessibleText(form.status1, QAccessible::Description), QStringLiteral("Servidor: conectando"));
    form.GetBuildInfo("/nonexistent/program");
    QCOMPARE(accessibleText(form.status1, QAccessible::Description),
             QStringLiteral("Servidor: desconectado"));
    QCOMPARE(accessibleText(form.status2, QAccessible::Description), QStringLiteral("Cliente: desconectado"));
}

void WindowTest::optionLabelsBesideTheirBoxes() {
    MessageRecorder recorder;
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const std::pair<QCheckBox*, QLabel*> rows[] = {{form.rapido, form.Label1},
                                                   {form.CheckBox1, form.Label5},
                                                   {form.CheckBox2, form.Label6},
                                                   {form.criarauto, form.Label7}};
    int previousBottom = -1;
    for (const auto& [box, label] : rows) {
        const QByteArray which = label->objectName().toUtf8();
        QVERIFY2(label->isVisible(), which.constData());
        QCOMPARE(label->parentWidget(), form.Panel6);
        const QRect boxArea = box->geometry();
        const QRect labelArea = label->geometry();
        // The labels stand in one column, right of the boxes, each on its box's line.
        QCOMPARE(labelArea.left(), form.Label1->geometry().left());
        QVERIFY2(labelArea.left() > boxArea.right(), which.constData());
        QVERIFY2(labelArea.left() - boxArea.right() < 20, which.constData());
        QVERIFY2(qAbs(labelArea.center().y() - boxArea.center().y()) <= 2, which.constData());
        QVERIFY2(labelArea.top() > previousBottom - 2, which.constData());
        QVERIFY2(form.Panel6->rect().contains(labelArea), which.constData());
        QVERIFY2(labelArea.width() >= label->sizeHint().width(), which.constData());
        previousBottom = labelArea.bottom();
    }
}

void WindowTest::processLogOpensWithOneEmptyLine() {
    MessageRecorder recorder;
    TForm1 form;
    QCOMPARE(form.Memo1->document()->blockCount(), 1);
    QCOMPARE(form.Memo1->toPlainText(), QString());
    // The first entry goes on the line under the empty one; the error log has no such line.
    form.appendProcessLog("Generator Criado; G_UM");
    form.appendErrorLog("Erro na tabela: T_UM");
    QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("\nGenerator Criado; G_UM"));
    QCOMPARE(form.Memo1->document()->blockCount(), 2);
    QCOMPARE(form.Memo3->toPlainText(), QStringLiteral("Erro na tabela: T_UM"));
    QCOMPARE(form.Memo3->document()->blockCount(), 1);

    // Cleared, the log holds no line: the next entry is the first line.
    form.clearProcessLog();
    form.appendProcessLog("Executando Procedure....P");
    QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("Executando Procedure....P"));
}

void WindowTest::progressBarPositionStaysInItsRange() {
    MessageRecorder recorder;
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    vistrel::sync::ProcessView& host = form;
    vistrel::app::TProgressBar* bar = form.ProgressBar1;

    // A run of five relations ends at five.
    host.setProgressMax(5);
    for (int position = 1; position <= 5; ++position)
        host.setProgressPosition(position);
    QCOMPARE(bar->value(), 5);
    const QImage full = bar->grab().toImage();

    // The next run counts three: the position is not reset, it stays at the end of the shorter bar.
    host.setProgressMax(3);
    QCOMPARE(bar->maximum(), 3);
    QCOMPARE(bar->value(), 3);
    QCOMPARE(bar->grab().toImage(), full);
    host.setProgressPosition(1);
    QCOMPARE(bar->value(), 1);
    host.setProgressMax(4);
    QCOMPARE(bar->value(), 1);
    host.setProgressPosition(9);
    QCOMPARE(bar->value(), 4);

    // A run of no relations: maximum 0, an empty bar, no busy indicator.
    host.setProgressMax(1);
    host.setProgressPosition(0);
    const QImage empty = bar->grab().toImage();
    QVERIFY(empty != full);
    host.setProgressMax(0);
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 0);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->grab().toImage(), empty);
    // Coming from a full bar as well.
    host.setProgressMax(2);
    host.setProgressPosition(2);
    host.setProgressMax(0);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->grab().toImage(), empty);
}

void WindowTest::lampsRedAndVersionLabel() {
    MessageRecorder recorder;
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(lampColor(form.status1), QColor(255, 0, 0));
    QCOMPARE(lampColor(form.status2), QColor(255, 0, 0));
    // This test program carries the version record, as the program does.
    QCOMPARE(form.Label3->text(), QStringLiteral("V:2.0.9.0"));
}

void WindowTest::getBuildInfo_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    const std::string sig = le32(signatureWord());
    QTest::newRow("record in the middle")
        << QByteArray::fromStdString("junk" + sig + le32(0x00030001u) + le32(0x0004000Bu) + "tail")
        << "3.1.4.11";
    QTest::newRow("highest numbers") << QByteArray::fromStdString(sig + le32(0xFFFFFFFFu) + le32(0x00000000u))
                                     << "65535.65535.0.0";
    QTest::newRow("first record wins")
        << QByteArray::fromStdString(sig + le32(0x00010002u) + le32(0x00030004u) + sig + le32(0x00090009u) +
                                     le32(0x00090009u))
        << "1.2.3.4";
    QTest::newRow("record across a read boundary")
        << QByteArray::fromStdString(std::string((size_t{1} << 20) - 6, 'x') + sig + le32(0x00020000u) +
                                     le32(0x00090000u))
        << "2.0.9.0";
    QTest::newRow("signature across a read boundary")
        << QByteArray::fromStdString(std::string((size_t{1} << 20) - 2, 'x') + sig + le32(0x00070008u) +
                                     le32(0x00050006u))
        << "7.8.5.6";
    QTest::newRow("no record") << QByteArray("MZ just some bytes") << "1.0.0";
    QTest::newRow("record cut short")
        << QByteArray::fromStdString("xx" + sig + le32(0x00020000u) + "\x09") << "1.0.0";
    QTest::newRow("empty file") << QByteArray() << "1.0.0";
}

void WindowTest::getBuildInfo() {
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    MessageRecorder recorder;
    TForm1 form;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("program"));
    writeFile(path, content.toStdString());
    form.status1->setColor(vistrel::app::kLampLime);
    form.status2->setColor(vistrel::app::kLampYellow);
    QCOMPARE(QString::fromStdString(form.GetBuildInfo(bytes(path))), expected);
    // GetBuildInfo paints both lamps red first.
    QCOMPARE(lampColor(form.status1), QColor(255, 0, 0));
    QCOMPARE(lampColor(form.status2), QColor(255, 0, 0));
}

void WindowTest::presets_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("startTicked");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("folder");
    QTest::newRow("Fb 2.5 ticking") << "CheckBox1" << false << "localhost"
                                    << "tomen47"
                                    << "E:\\sgbd";
    QTest::newRow("Fb 2.5 unticking") << "CheckBox1" << true << "localhost"
                                      << "tomen47"
                                      << "E:\\sgbd";
    QTest::newRow("Fb 3.0 ticking") << "CheckBox2" << false << "127.0.0.1"
                                    << "k#tuv!(mo&qez1936"
                                    << "F:\\sgbd\\dep25";
    QTest::newRow("Fb 3.0 unticking") << "CheckBox2" << true << "127.0.0.1"
                                      << "k#tuv!(mo&qez1936"
                                      << "F:\\sgbd\\dep25";
}

void WindowTest::presets() {
    QFETCH(QString, box);
    QFETCH(bool, startTicked);
    QFETCH(QString, host);
    QFETCH(QString, password);
    QFETCH(QString, folder);
    MessageRecorder recorder;
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* check = form.findChild<QCheckBox*>(box);
    QVERIFY(check);
    check->setChecked(startTicked);
    for (QLineEdit* edit : {form.ip1, form.usuario1, form.senha1, form.banco1, form.xbanco, form.ip2,
                            form.usuario2, form.senha2, form.banco2, form.xbanco2})
        edit->setText(QStringLiteral("typed ") + edit->objectName());
    recorder.messages.clear();

    QTest::mouseClick(check, Qt::LeftButton);

    QCOMPARE(check->isChecked(), !startTicked);
    QCOMPARE(form.ip1->text(), host);
    QCOMPARE(form.senha1->text(), password);
    QCOMPARE(form.banco1->text(), folder);
    QCOMPARE(form.xbanco->text(), QStringLiteral("fatura.fdb"));
    // The user name and the whole target row stay as typed; nothing connects.
    QCOMPARE(form.usuario1->text(), QStringLiteral("typed usuario1"));
    for (QLineEdit* edit : {form.ip2, form.usuario2, form.senha2, form.banco2, form.xbanco2})
        QCOMPARE(edit->text(), QStringLiteral("typed ") + edit->objectName());
    QVERIFY(!form.IBDatabase1().Connected());
    QVERIFY(recorder.messages.empty());
}

void WindowTest::criarautoRestoresFb30Preset() {
    MessageRecorder recorder;
    TForm1 form;
    for (bool expectTicked : {false, true}) {
        form.ip1->setText(QStringLiteral("other.host"));
        form.usuario1->setText(QStringLiteral("operator"));
        form.senha1->setText(QStringLiteral("secret"));
        form.banco1->setText(QStringLiteral("/srv/db"));
        form.xbanco->setText(QStringLiteral("other.fdb"));
        form.criarauto->click();
        QCOMPARE(form.criarauto->isChecked(), expectTicked);
        QCOMPARE(form.ip1->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(form.senha1->text(), QStringLiteral("k#tuv!(mo&qez1936"));
        QCOMPARE(form.banco1->text(), QStringLiteral("F:\\sgbd\\dep25"));
        QCOMPARE(form.xbanco->text(), QStringLiteral("fatura.fdb"));
        QCOMPARE(form.usuario1->text(), QStringLiteral("operator"));
        // The gate itself follows the box.
        QCOMPARE(static_cast<vistrel::sync::ProcessView&>(form).criarauto(), expectTicked);
    }
}

void WindowTest::rapidoNoticeOnlyWhenTicked() {
    MessageRecorder recorder;
    TForm1 form;
    recorder.messages.clear();
    const std::string notice = "Apenas use essa função para caso de urgências!";
    const vistrel::sync::ProcessView& host = form;

    form.rapido->click();
    QCOMPARE(recorder.messages, std::vector<std::string>{notice});
    QVERIFY(host.rapido());
    form.rapido->click();
    QCOMPARE(recorder.messages, std::vector<std::string>{notice});
    QVERIFY(!host.rapido());
    form.rapido->click();
    QCOMPARE(recorder.messages, (std::vector<std::string>{notice, notice}));
}

void WindowTest::logButtonSwapsPanesKeepingContent() {
    MessageRecorder recorder;
    TForm1 form;
    form.appendProcessLog("Trigger não encontrada; T1");
    form.appendErrorLog("Erro na trigger T2");
    const QString processLog = form.Memo1->toPlainText();
    const QString errorLog = form.Memo3->toPlainText();

    form.Button8->click();
    QVERIFY(form.Memo1->isHidden());
    QVERIFY(!form.Memo3->isHidden());
    form.Button8->click();
    QVERIFY(!form.Memo1->isHidden());
    QVERIFY(form.Memo3->isHidden());
    QCOMPARE(form.Memo1->toPlainText(), processLog);
    QCOMPARE(form.Memo3->toPlainText(), errorLog);
    QVERIFY(form.Memo1->toPlainText().contains(QStringLiteral("Trigger não encontrada; T1")));
    QVERIFY(form.Memo3->toPlainText().contains(QStringLiteral("Erro na trigger T2")));
}

void WindowTest::paneEntriesDecodeAndBreakLines_data() {
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF") << QByteArray("CREATE TABLE X (\r\n  A INTEGER\r\n);")
                           << QStringList{"CREATE TABLE X (", "  A INTEGER", ");"};
    QTest::newRow("lone CR and LF") << QByteArray("a\rb\nc") << QStringList{"a", "b", "c"};
    QTest::newRow("trailing break") << QByteArray("COMMIT WORK;\r\n") << QStringList{"COMMIT WORK;", ""};
    QTest::newRow("Windows-1252") << QByteArray("Exce\xE7\xE3o n\xE3o encontrada")
                                  << QStringList{"Exceção não encontrada"};
    QTest::newRow("UTF-8") << QByteArray("Exce\xC3\xA7\xC3\xA3o") << QStringList{"Exceção"};
}

void WindowTest::paneEntriesDecodeAndBreakLines() {
    QFETCH(QByteArray, entry);
    QFETCH(QStringList, lines);
    MessageRecorder recorder;
    TForm1 form;
    form.appendProcessLog("first");
    form.appendProcessLog(entry.toStdString());
    form.appendErrorLog(entry.toStdString());
    // The process log opens holding one empty line.
    QCOMPARE(form.Memo1->toPlainText(), (QStringList{"", "first"} + lines).join(QLatin1Char('\n')));
    QCOMPARE(form.Memo3->toPlainText(), lines.join(QLatin1Char('\n')));
    QCOMPARE(form.Memo1->document()->blockCount(), 2 + lines.size());

    form.clearProcessLog();
    QCOMPARE(form.Memo1->toPlainText(), QString());
}

void WindowTest::procedureBufferKeepsBytes() {
    MessageRecorder recorder;
    TForm1 form;
    QCOMPARE(form.procedureBufferText(), std::string("Memo2\r\n"));
    form.clearProcedureBuffer();
    QCOMPARE(form.procedureBufferText(), std::string());
    const std::string body = "CREATE OR ALTER PROCEDURE P_A\xC7\xC3O\r\nAS\r\nBEGIN\r\n  EXIT;\r\nEND";
    form.appendProcedureBuffer(body);
    form.appendProcedureBuffer("");
    form.appendProcedureBuffer("-- fim \xE9");
    QCOMPARE(form.procedureBufferText(), body + "\r\n" + "\r\n" + "-- fim \xE9\r\n");
    QVERIFY(form.Memo2->toPlainText().contains(QStringLiteral("P_AÇÃO")));
    QVERIFY(form.Memo2->isHidden());
}

void WindowTest::decodeTextPerSequence_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ascii") << QByteArray("RDB$FIELDS") << QStringLiteral("RDB$FIELDS");
    QTest::newRow("utf-8 two and three bytes")
        << QByteArray("\xC3\xA9 \xE2\x82\xAC") << QStringLiteral("é €");
    QTest::newRow("utf-8 four bytes")
        << QByteArray("\xF0\x9F\x98\x80") << QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("cp1252 high range") << QByteArray("\x80\x93\x94\x9F") << QStringLiteral("€“”Ÿ");
    QTest::newRow("mixed in one entry") << QByteArray("\xC3\xA9 and \xE9") << QStringLiteral("é and é");
    QTest::newRow("lead byte without continuation") << QByteArray("\xC3(") << QStringLiteral("Ã(");
    QTest::newRow("overlong form") << QByteArray("\xC0\xAF") << QStringLiteral("À¯");
    QTest::newRow("surrogate encoded") << QByteArray("\xED\xA0\x80") << QStringLiteral("í\u00A0€");
    QTest::newRow("sequence cut at the end") << QByteArray("ok\xE2\x82") << QStringLiteral("okâ‚");
}

void WindowTest::decodeTextPerSequence() {
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    QCOMPARE(vistrel::app::decodeText(input.toStdString()), expected);
}

void WindowTest::noHandlerRunsInsideARun() {
    MessageRecorder recorder;
    TForm1 form;
    // The source attach fails quickly (nothing listens on port 1); while its error is on screen
    // the connect handler is still running, and the operator clicks other buttons.
    form.ip1->setText(QStringLiteral("127.0.0.1/1"));
    form.banco1->setText(QStringLiteral("/nowhere"));
    bool clickedDuringRun = false;
    recorder.onMessage = [&](const std::string&) {
        if (clickedDuringRun)
            return;
        clickedDuringRun = true;
        QVERIFY(form.handlerRunning());
        form.Button3->click();  // target connect: must not start
        form.Button6->click();  // a process: must not start
        form.Button12->click(); // nor the constraint process
        form.Button8->click();  // swapping the logs is no run: it works
    };
    recorder.messages.clear();
    const int storedConnectionLines = form.SQLConnection().Params().Count();
    form.Button2->click();

    QVERIFY(clickedDuringRun);
    QCOMPARE(recorder.messages.size(), size_t{1}); // the attach error only
    // The target connect left the direct-execution connection as stored.
    QCOMPARE(form.SQLConnection().Params().Values("DataBase"), std::string("database.fdb"));
    QCOMPARE(form.SQLConnection().Params().Count(), storedConnectionLines);
    QCOMPARE(form.IBDatabase2().DatabaseName(), std::string());
    QVERIFY(form.Memo1->isHidden());
    QVERIFY(!form.handlerRunning());
    QCOMPARE(lampColor(form.status1), QColor(255, 255, 0));

    // Once the run has ended the same click works again.
    recorder.onMessage = nullptr;
    recorder.messages.clear();
    form.ip2->setText(QStringLiteral("127.0.0.1/1"));
    form.Button3->click();
    QCOMPARE(recorder.messages.size(), size_t{1});
    QCOMPARE(form.SQLConnection().Params().Values("DataBase"),
             std::string("127.0.0.1/1:E:\\SGBD\\fatura.fdb"));
}

void WindowTest::closeDuringARunWaitsForItsEnd() {
    MessageRecorder recorder;
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.ip1->setText(QStringLiteral("127.0.0.1/1"));
    bool visibleAfterClose = false;
    recorder.onMessage = [&](const std::string&) {
        form.close();
        visibleAfterClose = form.isVisible();
    };
    form.Button2->click();
    QVERIFY(visibleAfterClose);
    QTRY_VERIFY(!form.isVisible());
}

void WindowTest::errorOfAHandlerIsShownAndWindowStaysUsable() {
    MessageRecorder recorder;
    TForm1 form;
    recorder.messages.clear();
    // A failing attach ends the connect handler with its error, which the guard shows; the
    // window goes on.
    form.ip1->setText(QStringLiteral("127.0.0.1/1"));
    form.banco1->setText(QStringLiteral("/x"));
    form.Button2->click();
    QCOMPARE(recorder.messages.size(), size_t{1});
    QVERIFY(!recorder.messages[0].empty());
    QCOMPARE(lampColor(form.status1), QColor(255, 255, 0));
    // The failed attach keeps the new name and parameters.
    QCOMPARE(form.IBDatabase1().DatabaseName(), std::string("127.0.0.1/1:/x/fatura.fdb"));
    QCOMPARE(form.IBDatabase1().Params().items(),
             (std::vector<std::string>{"user_name=SYSDBA", "password=k#tuv!(mo&qez1936"}));

    // "Fechar" on a row that is not attached clears its parameters and paints it red.
    form.Button1->click();
    QCOMPARE(recorder.messages.size(), size_t{1});
    QCOMPARE(form.IBDatabase1().Params().Count(), 0);
    QCOMPARE(form.IBDatabase1().DatabaseName(), std::string("127.0.0.1/1:/x/fatura.fdb"));
    QCOMPARE(lampColor(form.status1), QColor(255, 0, 0));
    form.Button4->click();
    QCOMPARE(lampColor(form.status2), QColor(255, 0, 0));
    QCOMPARE(recorder.messages.size(), size_t{1});
}

void WindowTest::storedSourceNameNeverReachesAHost() {
    // The source is stored as connected to E:\sgbd\fatura.fdb with the built-in credentials. The
    // start-up attach fails before any client call, without a message; a process pressed before
    // "Conectar" then says why, and still nothing is sent anywhere.
    MessageRecorder recorder;
    vistrel::data::TIBDatabase loader;
    loader.setServerType("IBServer");
    const uint64_t callsBefore = vistrel::data::clientCallCount();
    TForm1 form;
    QCOMPARE(recorder.messages, (std::vector<std::string>{vistrel::test::kStartupNotice}));
    QVERIFY(!form.IBDatabase1().Connected());
    QCOMPARE(form.IBDatabase1().DatabaseName(), std::string("E:\\sgbd\\fatura.fdb"));
    QCOMPARE(vistrel::data::clientCallCount(), callsBefore);

    const std::string expected = "Atenção \r O banco E:\\sgbd\\fatura.fdb não informa o servidor; preencha o "
                                 "servidor e clique em Conectar!";
    for (QPushButton* process : {form.Button6, form.Button9, form.Button10, form.INICIAR, form.Button5,
                                 form.Button7, form.Button11}) {
        recorder.messages.clear();
        process->click();
        QCOMPARE(recorder.messages, (std::vector<std::string>{expected}));
        QVERIFY(!form.IBDatabase1().Connected());
    }
    QCOMPARE(vistrel::data::clientCallCount(), callsBefore);
}

void WindowTest::panel6ClickOnlyOnFreeArea() {
    MessageRecorder recorder;
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.ip1->setText(QStringLiteral("127.0.0.1/1"));
    form.banco1->setText(QStringLiteral("/x"));
    recorder.messages.clear();
    QSignalSpy clicks(form.Panel6, &vistrel::app::TPanel::clicked);

    // On a label or a button of the panel: not the free area.
    QTest::mouseClick(form.Label1, Qt::LeftButton);
    QCOMPARE(clicks.count(), 0);
    QVERIFY(recorder.messages.empty());

    // The free area right of the check box column, between it and the buttons.
    const QPoint free(form.Label1->geometry().right() + 20, form.Panel6->height() / 2);
    QVERIFY(form.Panel6->childAt(free) == nullptr);
    QTest::mouseClick(form.Panel6, Qt::LeftButton, {}, free);
    QCOMPARE(clicks.count(), 1);
    // The source connect ran (and failed here), the target connect did not.
    QCOMPARE(recorder.messages.size(), size_t{1});
    QCOMPARE(form.IBDatabase1().DatabaseName(), std::string("127.0.0.1/1:/x/fatura.fdb"));
    QCOMPARE(form.SQLConnection().Params().Values("DataBase"), std::string("database.fdb"));
    QCOMPARE(form.Panel6->cursor().shape(), Qt::ForbiddenCursor);
    QCOMPARE(form.Button6->cursor().shape(), Qt::ArrowCursor);
}

void WindowTest::processButtonsInTwoRowsOfFiveColumns() {
    MessageRecorder recorder;
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // The window's size on screens of several sizes: tests/app/layout_test.cpp.
    QCOMPARE(form.Button12->objectName(), QStringLiteral("Button12"));
    QCOMPARE(form.findChild<QPushButton*>(QStringLiteral("Button12")), form.Button12);

    const std::vector<QPushButton*> firstRow = {form.Button6, form.Button9, form.Button10, form.Button11,
                                                form.Button12};
    const std::vector<QPushButton*> secondRow = {form.INICIAR, form.Button5, form.Button7, form.Button8};
    const QRect panel = form.Panel6->rect();
    const QSize size = form.Button6->size();
    for (const auto* row : {&firstRow, &secondRow}) {
        for (size_t i = 0; i < row->size(); ++i) {
            QPushButton* button = (*row)[i];
            const QString caption = QString(button->text()).remove(QLatin1Char('&'));
            QCOMPARE(button->parentWidget(), form.Panel6);
            QVERIFY2(button->isVisible(), qPrintable(caption));
            QVERIFY2(button->font().bold(), qPrintable(caption));
            // One height, one width per column (both rows), the whole button inside the panel,
            // the whole caption inside the button: what the style needs to show the caption fits
            // the button.
            QCOMPARE(button->height(), size.height());
            QCOMPARE(button->width(), firstRow[i]->width());
            QVERIFY2(panel.contains(button->geometry()), qPrintable(caption));
            QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(caption));
            QVERIFY2(QFontMetrics(button->font()).horizontalAdvance(caption) < button->width(),
                     qPrintable(caption));
            // Left to right in the window's order, one row each, the rows in the same columns.
            QCOMPARE(button->y(), (*row)[0]->y());
            if (i > 0) {
                QVERIFY2(button->x() > (*row)[i - 1]->geometry().right(), qPrintable(caption));
            }
            QCOMPARE(button->x(), firstRow[i]->x());
        }
    }
    QVERIFY(form.INICIAR->y() > form.Button6->geometry().bottom());
    // The new button ends the first row; "LOG DE ERROS" still ends the second.
    for (QPushButton* button : firstRow)
        QVERIFY(button == form.Button12 || button->x() < form.Button12->x());
    for (QPushButton* button : secondRow)
        QVERIFY(button == form.Button8 || button->x() < form.Button8->x());
    // The check boxes stay at the panel's left, clear of the buttons, with room for every label.
    int widestLabel = 0;
    for (QLabel* label : {form.Label1, form.Label5, form.Label6, form.Label7})
        widestLabel = std::max(widestLabel, label->sizeHint().width());
    QVERIFY(form.Label1->x() + widestLabel < form.Button6->x());
    QVERIFY(form.criarauto->geometry().right() < form.Label1->x());
}

void WindowTest::constraintButtonKeepsTheSameNameGuard() {
    MessageRecorder recorder;
    TForm1 form;
    recorder.messages.clear();
    form.xbanco2->setText(QStringLiteral("outro.fdb"));
    form.Button12->click();
    QCOMPARE(recorder.messages, std::vector<std::string>{std::string(vistrel::sync::kSameNameGuardMessage)});
    QCOMPARE(form.Memo1->toPlainText(), QString());
    QVERIFY(form.DataSource1->DataSet() == nullptr);
    QVERIFY(!form.handlerRunning());
}

void WindowTest::missingClientLibraryFailsTheBuild() {
    MessageRecorder recorder;
    const std::string libraryName = vistrel::data::detail::clientLibraryName();
    vistrel::data::detail::setClientLibraryName("libfbclient-missing.so.9");
    std::string error;
    try {
        TForm1 form;
    } catch (const vistrel::data::EIBClientError& e) {
        error = e.what();
    }
    vistrel::data::detail::setClientLibraryName(libraryName);
    QCOMPARE(error, std::string("InterBase library libfbclient-missing.so.9 not found in the path. Please "
                                "install InterBase to use this functionality"));
    // The window was never built: no start-up notice, no window left behind.
    QVERIFY(recorder.messages.empty());
    QVERIFY(Form1 == nullptr);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
