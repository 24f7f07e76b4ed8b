// The main window on two offscreen screens, 1024 x 768 and 1920 x 1080, without a database
// server: every control inside the window on the small screen and the room used on the large one,
// the Tab order through every control, the mnemonics and tooltips, and the log panes: read-only,
// searchable and saved to a UTF-8 file.
#include "app/dbgrid.h"
#include "app/logpane.h"
#include "app/panel.h"
#include "app/progressbar.h"
#include "app/unit1.h"
#include "app/windowaids.h"
#include "tests/support/messagerecorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <memory>
#include <vector>

using vistrel::app::TForm1;
using vistrel::test::MessageRecorder;

namespace {

// The screens of the offscreen platform, side by side.
const QSize kSmallScreen(1024, 768);
const QSize kLargeScreen(1920, 1080);
// The virtual display of the scripts that photograph the window.
const QSize kScriptScreen(1400, 800);

QScreen* screenOf(const QSize& size) {
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->geometry().size() == size)
            return screen;
    return nullptr;
}

// What the operator sees of a button: its caption without the mnemonic mark.
QString shownCaption(const QPushButton* button) {
    QString caption = button->text();
    return caption.remove(QLatin1Char('&'));
}

// The window's stated controls, each with what the test calls it.
std::vector<std::pair<QWidget*, QString>> statedControls(TForm1& form) {
    std::vector<std::pair<QWidget*, QString>> controls;
    for (QWidget* widget : std::initializer_list<QWidget*>{
             form.ip1,      form.usuario1,  form.senha1,    form.banco1,    form.xbanco,       form.ip2,
             form.usuario2, form.senha2,    form.banco2,    form.xbanco2,   form.Button1,      form.Button2,
             form.Button3,  form.Button4,   form.status1,   form.status2,   form.ProgressBar1, form.Panel5,
             form.DBGrid1,  form.DBGrid2,   form.Memo1,     form.Label3,    form.Label4,       form.Panel6,
             form.rapido,   form.CheckBox1, form.CheckBox2, form.criarauto, form.Label1,       form.Label5,
             form.Label6,   form.Label7,    form.Button6,   form.Button9,   form.Button10,     form.Button11,
             form.Button12, form.INICIAR,   form.Button5,   form.Button7,   form.Button8,      form.CheckBox3,
             form.Label8,   form.Button13})
        controls.emplace_back(widget, widget->objectName());
    return controls;
}

// The window on a screen, shown and active.
std::unique_ptr<TForm1> windowOn(QScreen* screen) {
    auto form = std::make_unique<TForm1>();
    form->setScreen(screen);
    vistrel::app::fitToScreen(*form, screen);
    form->show();
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form.get()))
        return nullptr;
    return form;
}

// Presses Tab until the focus reaches `target` (at most `limit` times); the widgets it passed.
std::vector<QWidget*> tabTo(QWidget* target, int limit) {
    std::vector<QWidget*> visited;
    for (int i = 0; i < limit && QApplication::focusWidget() != target; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    return visited;
}

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void everyControlInsideTheWindowOnASmallScreen();
    void theRoomOfALargeScreenGoesToPanesAndGrids();
    void designedSizeWhereTheScreenHoldsIt();
    void tabGoesThroughEveryControlAndLeavesThePanes();
    void mnemonicsAndTooltipsOnTheButtons();
    void panesAreReadOnly();
    void searchFindsNextAndPrevious();
    void searchFromThePanesMenuAndTheKeyboard();
    void saveWritesThePaneInUtf8();
    void saveThatFailsSaysWhy();
};

void LayoutTest::everyControlInsideTheWindowOnASmallScreen() {
    MessageRecorder recorder;
    QScreen* screen = screenOf(kSmallScreen);
    QVERIFY(screen != nullptr);
    auto form = windowOn(screen);
    QVERIFY(form != nullptr);
    const QRect free = screen->availableGeometry();
    QVERIFY2(free.contains(form->frameGeometry()),
             qPrintable(QStringLiteral("window %1x%2 on a free area of %3x%4")
                            .arg(form->width())
                            .arg(form->height())
                            .arg(free.width())
                            .arg(free.height())));
    const QRect inside = form->rect();
    for (const auto& [control, name] : statedControls(*form)) {
        const QByteArray which = name.toUtf8();
        QVERIFY2(control->isVisible(), which.constData());
        const QRect area(control->mapTo(form.get(), QPoint(0, 0)), control->size());
        QVERIFY2(inside.contains(area), which.constData());
        QVERIFY2(area.width() > 0 && area.height() > 0, which.constData());
        // Nothing is squeezed below what it needs to show itself whole.
        QVERIFY2(control->width() >= control->minimumSizeHint().width(), which.constData());
        // (A control of a fixed height, the progress bar's 14 pixels, keeps it.)
        QVERIFY2(control->height() >= control->minimumSizeHint().height() ||
                     control->minimumHeight() == control->maximumHeight(),
                 which.constData());
    }
    // Every caption whole on its button.
    for (QPushButton* button : form->findChildren<QPushButton*>()) {
        if (!button->isVisible())
            continue;
        QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(shownCaption(button)));
    }
    // The log keeps a useful size.
    QVERIFY(form->Memo1->width() >= 320);
    QVERIFY(form->Memo1->height() >= 200);
}

void LayoutTest::theRoomOfALargeScreenGoesToPanesAndGrids() {
    MessageRecorder recorder;
    QScreen* large = screenOf(kLargeScreen);
    QVERIFY(large != nullptr);
    auto form = windowOn(large);
    QVERIFY(form != nullptr);
    const QRect free = large->availableGeometry();
    QVERIFY(free.contains(form->frameGeometry()));
    // Most of the screen, well past the designed 1276 x 693.
    QVERIFY(form->width() >= free.width() * 8 / 10);
    QVERIFY(form->height() >= free.height() * 8 / 10);
    // The grids and the log share the width in their designed proportions; the bands keep their
    // heights and the log takes the rest.
    const double total = form->DBGrid1->width() + form->Memo1->width() + form->DBGrid2->width();
    QVERIFY(qAbs(form->DBGrid1->width() / total - 233.0 / 1276) < 0.02);
    QVERIFY(qAbs(form->DBGrid2->width() / total - 185.0 / 1276) < 0.02);
    QCOMPARE(form->Panel1->height(), 126);
    QCOMPARE(form->Panel5->height(), 29);
    // The bottom band: 73 pixels, or what its column of option boxes needs.
    QVERIFY(form->Panel2->height() >= 73);
    QVERIFY(form->Memo1->height() > form->height() - 126 - 29 - form->Panel2->height() - 40);
    // The edits grow with the window, and the process panel fills its band.
    QVERIFY(form->banco1->width() > 200);
    QVERIFY(form->Panel6->geometry().right() >= form->Panel2->width() - 2);
    // The process buttons grow: the two rows in the same columns, each wider than its caption
    // needs, the columns of nearly one width.
    const std::pair<QPushButton*, QPushButton*> columns[] = {{form->Button6, form->INICIAR},
                                                             {form->Button9, form->Button5},
                                                             {form->Button10, form->Button7},
                                                             {form->Button11, form->Button8}};
    for (const auto& [top, bottom] : columns) {
        QCOMPARE(bottom->x(), top->x());
        QCOMPARE(bottom->width(), top->width());
        QVERIFY(top->width() > top->sizeHint().width() + 40);
        QVERIFY(qAbs(top->width() - form->Button12->width()) < 60);
    }
}

void LayoutTest::designedSizeWhereTheScreenHoldsIt() {
    MessageRecorder recorder;
    QScreen* screen = screenOf(kScriptScreen);
    QVERIFY(screen != nullptr);
    auto form = windowOn(screen);
    QVERIFY(form != nullptr);
    QCOMPARE(form->size(), QSize(1276, 693));
    QVERIFY(screen->availableGeometry().contains(form->frameGeometry()));
}

void LayoutTest::tabGoesThroughEveryControlAndLeavesThePanes() {
    MessageRecorder recorder;
    auto form = windowOn(screenOf(kSmallScreen));
    QVERIFY(form != nullptr);
    form->appendProcessLog("Generator Criado; G_UM");
    const QString logBefore = form->Memo1->toPlainText();
    form->ip1->setFocus(Qt::OtherFocusReason);
    QCOMPARE(QApplication::focusWidget(), form->ip1);
    const std::vector<QWidget*> expected = {
        form->usuario1,  form->senha1,    form->banco1,    form->xbanco,    form->Button1,  form->Button2,
        form->ip2,       form->usuario2,  form->senha2,    form->banco2,    form->xbanco2,  form->Button4,
        form->Button3,   form->Button13,  form->DBGrid1,   form->Memo1,     form->DBGrid2,  form->rapido,
        form->CheckBox1, form->CheckBox2, form->criarauto, form->CheckBox3, form->Button6,  form->Button9,
        form->Button10,  form->INICIAR,   form->Button5,   form->Button7,   form->Button11, form->Button12,
        form->Button8,
    };
    const std::vector<QWidget*> visited = tabTo(form->Button8, 60);
    QCOMPARE(visited.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        QCOMPARE(visited[i]->objectName(), expected[i]->objectName());
    // Tab in the log moved the focus on and wrote nothing into it.
    QCOMPARE(form->Memo1->toPlainText(), logBefore);
    // Shift+Tab goes back the same way.
    form->Button4->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(form->Button4, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), form->xbanco2);
    // With the error log shown, Tab passes through it instead of the process log.
    form->Button8Click();
    form->DBGrid1->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(form->DBGrid1, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form->Memo3);
    QTest::keyClick(form->Memo3, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form->DBGrid2);
}

void LayoutTest::mnemonicsAndTooltipsOnTheButtons() {
    MessageRecorder recorder;
    auto form = windowOn(screenOf(kSmallScreen));
    QVERIFY(form != nullptr);
    // Every button has a mnemonic of its own; the captions shown stay as they were.
    const std::pair<QPushButton*, const char*> buttons[] = {
        {form->Button1, "Fechar"},
        {form->Button2, "Conectar"},
        {form->Button4, "Fechar"},
        {form->Button3, "Conectar"},
        {form->Button6, "1-CRIAR GENERATOR"},
        {form->Button9, "2-CRIAR EXCEPTION"},
        {form->Button10, "3-COMPARAR DOMAINS"},
        {form->INICIAR, "4-COMPARAR TABELAS/VIEWS"},
        {form->Button5, "5-COMPARAR PROCEDURES"},
        {form->Button7, "6-COMPARAR TRIGGERS"},
        {form->Button11, "7-COMPARAR  INDICES"},
        {form->Button12, "8-COMPARAR CONSTRAINTS"},
        {form->Button8, "LOG DE ERROS"},
        {form->Button13, "DIFERENÇAS"},
    };
    QSet<QString> keys;
    for (const auto& [button, caption] : buttons) {
        QCOMPARE(shownCaption(button), QString::fromUtf8(caption));
        const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
        QVERIFY2(!mnemonic.isEmpty(), caption);
        keys.insert(mnemonic.toString());
    }
    QCOMPARE(keys.size(), int(std::size(buttons)));
    // Every process button says what it does.
    for (QPushButton* button : {form->Button6, form->Button9, form->Button10, form->INICIAR, form->Button5,
                                form->Button7, form->Button11, form->Button12, form->Button8, form->Button13})
        QVERIFY2(button->toolTip().size() > 20, qPrintable(shownCaption(button)));
    QVERIFY(form->Button11->toolTip().contains(QStringLiteral("índices")));
    QVERIFY(form->Button12->toolTip().contains(QStringLiteral("chaves estrangeiras")));

    // Alt with the digit clicks the process button: here the guard's message shows it ran.
    form->xbanco2->setText(QStringLiteral("outro.fdb"));
    recorder.messages.clear();
    // A mnemonic presses its button as a click would, and the click follows once the button has
    // shown itself pressed.
    QTest::keyClick(form.get(), Qt::Key_1, Qt::AltModifier);
    QVERIFY(form->Button6->isDown());
    QVERIFY(QTest::qWaitFor([&] { return !recorder.messages.empty(); }));
    QCOMPARE(recorder.messages, std::vector<std::string>{vistrel::test::kGuardMessage});
    // Alt+L swaps the logs.
    QTest::keyClick(form.get(), Qt::Key_L, Qt::AltModifier);
    QVERIFY(QTest::qWaitFor([&] { return form->Memo1->isHidden(); }));
    QVERIFY(!form->Memo3->isHidden());
}

void LayoutTest::panesAreReadOnly() {
    MessageRecorder recorder;
    auto form = windowOn(screenOf(kSmallScreen));
    QVERIFY(form != nullptr);
    form->appendProcessLog("Trigger não encontrada; TG_UM");
    const QString before = form->Memo1->toPlainText();
    form->Memo1->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(form->Memo1, QStringLiteral("xyz"));
    QTest::keyClick(form->Memo1, Qt::Key_Backspace);
    QTest::keyClick(form->Memo1, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(form->Memo1->toPlainText(), before);
    QVERIFY(form->Memo1->isReadOnly());
    QVERIFY(form->Memo3->isReadOnly());
    // The processes still write into them.
    form->appendErrorLog("Erro na tabela: T_UM");
    QCOMPARE(form->Memo3->toPlainText(), QStringLiteral("Erro na tabela: T_UM"));
}

void LayoutTest::searchFindsNextAndPrevious() {
    MessageRecorder recorder;
    auto form = windowOn(screenOf(kSmallScreen));
    QVERIFY(form != nullptr);
    form->clearProcessLog();
    form->appendProcessLog("Generator Criado; G_UM");
    form->appendProcessLog("Não foi possivel criar a view: V_UM");
    form->appendProcessLog("Generator Criado; G_DOIS");
    form->appendProcessLog("Não foi possivel criar a view: V_DOIS");
    vistrel::app::TLogArea* area = form->LogArea;

    QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(area->findBar()->isVisible());
    QCOMPARE(QApplication::focusWidget(), area->findField());
    QTest::keyClicks(area->findField(), QStringLiteral("FOI POSSIVEL"));
    QTest::keyClick(area->findField(), Qt::Key_Return);
    // Letter case disregarded; the match is selected, on its line.
    QTextCursor match = form->Memo1->textCursor();
    QCOMPARE(match.selectedText(), QStringLiteral("foi possivel"));
    QCOMPARE(match.block().text(), QStringLiteral("Não foi possivel criar a view: V_UM"));
    // The next one, then round to the first again.
    QTest::keyClick(area->findField(), Qt::Key_Return);
    QCOMPARE(form->Memo1->textCursor().block().text(),
             QStringLiteral("Não foi possivel criar a view: V_DOIS"));
    QTest::keyClick(area->findField(), Qt::Key_F3);
    QCOMPARE(form->Memo1->textCursor().block().text(), QStringLiteral("Não foi possivel criar a view: V_UM"));
    // Back: round to the last.
    QTest::mouseClick(area->previousButton(), Qt::LeftButton);
    QCOMPARE(form->Memo1->textCursor().block().text(),
             QStringLiteral("Não foi possivel criar a view: V_DOIS"));
    QTest::keyClick(area->findField(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(form->Memo1->textCursor().block().text(), QStringLiteral("Não foi possivel criar a view: V_UM"));

    // A text that is not there: nothing selected is lost, and the bar says so.
    area->findField()->setText(QStringLiteral("G_TRES"));
    QVERIFY(!area->findNext());
    QCOMPARE(form->Memo1->textCursor().block().text(), QStringLiteral("Não foi possivel criar a view: V_UM"));
    QVERIFY(area->findBar()->findChildren<QLabel*>().size() >= 2);
    bool saysNotFound = false;
    for (QLabel* label : area->findBar()->findChildren<QLabel*>())
        saysNotFound = saysNotFound || label->text() == QStringLiteral("Não encontrado");
    QVERIFY(saysNotFound);

    // Escape closes the bar and gives the focus back to the log.
    QTest::keyClick(area->findField(), Qt::Key_Escape);
    QVERIFY(!area->findBar()->isVisible());
    QCOMPARE(QApplication::focusWidget(), form->Memo1);
}

void LayoutTest::searchFromThePanesMenuAndTheKeyboard() {
    MessageRecorder recorder;
    auto form = windowOn(screenOf(kSmallScreen));
    QVERIFY(form != nullptr);
    form->appendErrorLog("Erro na tabela: T_UM");
    form->appendErrorLog("Não foi possivel criar o indice: IX_UM");
    // The search looks in the pane that is shown: the error log after "LOG DE ERROS".
    form->Button8->click();
    vistrel::app::TLogArea* area = form->LogArea;
    QCOMPARE(area->visiblePane(), form->Memo3);
    area->showFindBar();
    area->findField()->setText(QStringLiteral("IX_UM"));
    QVERIFY(area->findNext());
    QCOMPARE(form->Memo3->textCursor().selectedText(), QStringLiteral("IX_UM"));
    // The pane's selection is what Ctrl+F then looks for.
    area->hideFindBar();
    QTextCursor cursor = form->Memo3->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    form->Memo3->setTextCursor(cursor);
    QTest::keyClick(form->Memo3, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(area->findField()->text(), QStringLiteral("Erro"));
}

void LayoutTest::saveWritesThePaneInUtf8() {
    MessageRecorder recorder;
    auto form = windowOn(screenOf(kSmallScreen));
    QVERIFY(form != nullptr);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("log.txt"));
    QString proposed;
    const auto previous = vistrel::app::setSaveFileChooser([&](QWidget*, const QString& suggested) {
        proposed = suggested;
        return path;
    });
    form->clearProcessLog();
    form->appendProcessLog("Trigger não encontrada; TG_AÇÃO");
    form->appendProcessLog("CREATE TRIGGER TG_AÇÃO\r\nAS BEGIN END");
    // Latin-1 bytes from a WIN1252 database are shown, and saved, as their characters.
    form->appendProcessLog(std::string("Dom\xednio"));
    QTest::keyClick(form->Memo1, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(proposed, QStringLiteral("log-processos.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("Trigger n\xc3\xa3o encontrada; TG_A\xc3\x87\xc3\x83O\n"
                                        "CREATE TRIGGER TG_A\xc3\x87\xc3\x83O\nAS BEGIN END\n"
                                        "Dom\xc3\xadnio\n"));
    file.close();

    // The error log, from its find bar's button, proposes its own name.
    form->Button8->click();
    form->appendErrorLog("Erro na tabela: T_UM");
    form->LogArea->showFindBar();
    QTest::mouseClick(form->LogArea->saveButton(), Qt::LeftButton);
    QCOMPARE(proposed, QStringLiteral("log-erros.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("Erro na tabela: T_UM\n"));
    QVERIFY(recorder.messages.size() == 1); // the start-up notice only
    vistrel::app::setSaveFileChooser(previous);
}

void LayoutTest::saveThatFailsSaysWhy() {
    MessageRecorder recorder;
    auto form = windowOn(screenOf(kSmallScreen));
    QVERIFY(form != nullptr);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("no/such/folder/log.txt"));
    const auto previous = vistrel::app::setSaveFileChooser([&](QWidget*, const QString&) { return path; });
    recorder.messages.clear();
    QVERIFY(!form->LogArea->saveVisiblePane());
    QCOMPARE(recorder.messages.size(), size_t{1});
    QVERIFY2(recorder.messages[0].rfind("Não foi possivel salvar o log em " + path.toStdString() + ": ", 0) ==
                 0,
             recorder.messages[0].c_str());
    QVERIFY(!QFile::exists(path));
    // Cancelled: nothing written, nothing said.
    vistrel::app::setSaveFileChooser([](QWidget*, const QString&) { return QString(); });
    recorder.messages.clear();
    QVERIFY(!form->LogArea->saveVisiblePane());
    QVERIFY(recorder.messages.empty());
    vistrel::app::setSaveFileChooser(previous);
}

// Two offscreen screens side by side, described in a file that the platform reads.
int main(int argc, char* argv[]) {
    QTemporaryDir folder;
    const QString config = folder.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 2;
    file.write(QStringLiteral(R"({"screens": [
        {"name": "small", "x": 0, "y": 0, "width": %1, "height": %2, "logicalDpi": 96},
        {"name": "large", "x": %1, "y": 0, "width": %3, "height": %4, "logicalDpi": 96},
        {"name": "script", "x": %5, "y": 0, "width": %6, "height": %7, "logicalDpi": 96}]})")
                   .arg(kSmallScreen.width())
                   .arg(kSmallScreen.height())
                   .arg(kLargeScreen.width())
                   .arg(kLargeScreen.height())
                   .arg(kSmallScreen.width() + kLargeScreen.width())
                   .arg(kScriptScreen.width())
                   .arg(kScriptScreen.height())
                   .toUtf8());
    file.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
    QApplication application(argc, argv);
    LayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "layout_test.moc"
