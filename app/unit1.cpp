#include "app/unit1.h"

#include "app/buildinfo.h"
#include "app/datasource.h"
#include "app/dbgrid.h"
#include "app/logpane.h"
#include "app/messagebox.h"
#include "app/panel.h"
#include "app/progressbar.h"
#include "app/signals.h"
#include "app/textcodec.h"
#include "app/windowaids.h"
#include "data/errors.h"
#include "sync/guard.h"
#include "sync/plan.h"
#include "sync/processes.h"
#include "sync/registry.h"
#include "sync/runframe.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <span>
#include <utility>

vistrel::app::TForm1* Form1 = nullptr;

namespace vistrel::app {
namespace {

constexpr char kStartupNotice[] = "Foram feitas algumas atualizações no vistrel. \r"
                                  "1-COMPARAÇÃO EXCEPTIONS\r"
                                  "2-COMPARAÇÃO TRIGGERS\r"
                                  "3-COMPARAÇÃO DE DOMAINS\r";
constexpr char kFastModeNotice[] = "Apenas use essa função para caso de urgências!";

// Source presets. "Fb 3.0" is also the source row's start-up state.
struct SourcePreset {
    const char* host;
    const char* password;
    const char* folder;
    const char* file;
};
constexpr SourcePreset kPresetFb30{"127.0.0.1", "k#tuv!(mo&qez1936", "F:\\sgbd\\dep25", "fatura.fdb"};
constexpr SourcePreset kPresetFb25{"localhost", "tomen47", "E:\\sgbd", "fatura.fdb"};

// Stored settings of the source session.
constexpr char kStoredSourceDatabase[] = "E:\\sgbd\\fatura.fdb";
constexpr char kStoredSourceUser[] = "user_name=SYSDBA";
constexpr char kStoredSourcePassword[] = "password=tomen47";

// The names of the two connection rows, which are also the captions of their host fields.
constexpr char kSourceRowName[] = "Servidor";
constexpr char kTargetRowName[] = "Cliente";
// What a screen reader says of a status lamp and of the state its colour shows.
constexpr char kLampName[] = "estado da conexão";
constexpr char kLampDisconnected[] = "desconectado";
constexpr char kLampConnecting[] = "conectando";
constexpr char kLampConnected[] = "conectado";

// Colours of the window's bands: the system hot-light colour, with bold white captions on it.
const QColor kHotLight{0, 102, 204};

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QLabel* boldWhiteLabel(const QString& caption, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    return label;
}

TPanel* bandPanel(QWidget* parent) {
    auto* panel = new TPanel(parent);
    panel->setColor(kHotLight);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    panel->setPalette(palette);
    return panel;
}

QPushButton* boldButton(const char* caption, QWidget* parent) {
    auto* button = new QPushButton(text(caption), parent);
    QFont font = button->font();
    font.setBold(true);
    // The condensed face where the system has one, so that the two rows of process buttons fit
    // a window 1024 pixels wide in a wide substitute of the window's font.
    font.setStretch(QFont::SemiCondensed);
    button->setFont(font);
    return button;
}

QPlainTextEdit* textPane(QWidget* parent) {
    auto* pane = new QPlainTextEdit(parent);
    pane->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return pane;
}

QLineEdit* rowEdit(const char* initial, QWidget* parent, bool password = false) {
    auto* edit = new QLineEdit(text(initial), parent);
    if (password) {
        edit->setEchoMode(QLineEdit::Password);
        edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    }
    return edit;
}

constexpr int kEntryParagraph = 1;

// Appends one entry as a paragraph of its own. appendPlainText writes into the first paragraph
// while the pane holds no text, so an empty first entry is marked there: the next entry then
// starts a paragraph of its own and the empty line stays visible.
void appendEntry(QPlainTextEdit* pane, const QString& text) {
    QTextDocument* document = pane->document();
    if (document->isEmpty() && document->firstBlock().userState() == kEntryParagraph) {
        QTextCursor cursor(document);
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock();
        cursor.insertText(text);
    } else {
        pane->appendPlainText(text);
    }
    if (document->isEmpty())
        document->firstBlock().setUserState(kEntryParagraph);
}

// Sets the flag for the lifetime of the scope.
class RunningScope {
public:
    explicit RunningScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~RunningScope() { m_flag = false; }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    createComponents();
    buildLayout();
    applyKeyboardAids(*this);
    fitToScreen(*this, screen());
    connectHandlers();
    setStoredSettings();
    // All stored settings are in place: the source stored as connected attaches now and starts
    // its stored-active transaction; a failure leaves it detached without a message.
    IBDatabase1().Loaded();
    Form1 = this;
    FormCreate();
}

TForm1::~TForm1() {
    shutdownSessions();
    DataSource1->setDataSet(nullptr);
    DataSource2->setDataSet(nullptr);
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::createComponents() {
    setWindowTitle(QStringLiteral("Vistrel"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    auto* central = new QWidget(this);
    setCentralWidget(central);

    Panel1 = bandPanel(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    ip1 = rowEdit(kPresetFb30.host, Panel1);
    usuario1 = rowEdit("SYSDBA", Panel1);
    senha1 = rowEdit(kPresetFb30.password, Panel1, true);
    banco1 = rowEdit(kPresetFb30.folder, Panel1);
    xbanco = rowEdit(kPresetFb30.file, Panel1);
    ip2 = rowEdit("127.0.0.1", Panel1);
    usuario2 = rowEdit("sysdba", Panel1);
    senha2 = rowEdit("tomen47", Panel1, true);
    banco2 = rowEdit("E:\\SGBD", Panel1);
    xbanco2 = rowEdit("fatura.fdb", Panel1);
    Button1 = new QPushButton(QStringLiteral("Fechar"), Panel1);
    Button2 = new QPushButton(QStringLiteral("Conectar"), Panel1);
    Button4 = new QPushButton(QStringLiteral("Fechar"), Panel1);
    Button3 = new QPushButton(QStringLiteral("Conectar"), Panel1);
    status1 = new TPanel(Panel1);
    status1->setCaption(QStringLiteral("1"));
    status2 = new TPanel(Panel1);
    status2->setCaption(QStringLiteral("2"));
    for (TPanel* lamp : {status1, status2}) {
        lamp->setFrameShape(QFrame::Panel);
        lamp->setFrameShadow(QFrame::Raised);
        lamp->setFixedSize(25, 21);
        lamp->setAccessibleName(text(lampRowName(lamp)) + QStringLiteral(": ") + text(kLampName));
        paintLamp(lamp, kLampLime);
    }
    ProgressBar1 = new TProgressBar(Panel1);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFixedHeight(14);

    Panel5 = bandPanel(central);
    Panel5->setCaption(QStringLiteral("PROCESSOS"));
    {
        QFont font = Panel5->font();
        font.setBold(true);
        Panel5->setFont(font);
    }

    Panel3 = new TPanel(central);
    Panel4 = new TPanel(central);
    DataSource1 = new TDataSource(this);
    DataSource2 = new TDataSource(this);
    DBGrid1 = new TDBGrid(Panel3);
    DBGrid1->setDataSource(DataSource1);
    DBGrid2 = new TDBGrid(Panel4);
    DBGrid2->setDataSource(DataSource2);

    LogArea = new TLogArea(central);
    Memo1 = new TLogPane(QStringLiteral("log-processos.txt"), LogArea);
    LogArea->addPane(static_cast<TLogPane*>(Memo1));
    // The process log opens holding one empty line: the first entry goes on the line below it.
    appendEntry(Memo1, QString());
    Memo3 = new TLogPane(QStringLiteral("log-erros.txt"), LogArea);
    LogArea->addPane(static_cast<TLogPane*>(Memo3));
    Memo3->hide();
    Memo2 = textPane(central);
    Memo2->hide();
    m_procedureBuffer = {"Memo2"};
    Memo2->setPlainText(QStringLiteral("Memo2"));

    Panel2 = bandPanel(central);
    Label3 = boldWhiteLabel(QString(), Panel2);
    Label4 = boldWhiteLabel(QStringLiteral("ORVEN SOFTWARE"), Panel2);
    for (QLabel* label : {Label3, Label4}) {
        QFont font = label->font();
        font.setStretch(QFont::SemiCondensed);
        label->setFont(font);
    }

    Panel6 = bandPanel(Panel2);
    Panel6->setFrameShape(QFrame::Box);
    Panel6->setFrameShadow(QFrame::Plain);
    Panel6->setCursor(Qt::ForbiddenCursor);
    rapido = new QCheckBox(Panel6);
    CheckBox1 = new QCheckBox(Panel6);
    CheckBox2 = new QCheckBox(Panel6);
    criarauto = new QCheckBox(Panel6);
    criarauto->setChecked(true);
    CheckBox3 = new QCheckBox(Panel6);
    Label1 = boldWhiteLabel(text("Rápido"), Panel6);
    Label5 = boldWhiteLabel(QStringLiteral("Fb 2.5"), Panel6);
    Label6 = boldWhiteLabel(QStringLiteral("Fb 3.0"), Panel6);
    Label7 = boldWhiteLabel(QStringLiteral("Criar. Aut"), Panel6);
    Label8 = boldWhiteLabel(QStringLiteral("Alterar"), Panel6);
    Button6 = boldButton("1-CRIAR GENERATOR", Panel6);
    Button9 = boldButton("2-CRIAR EXCEPTION", Panel6);
    Button10 = boldButton("3-COMPARAR DOMAINS", Panel6);
    Button11 = boldButton("7-COMPARAR  INDICES", Panel6);
    Button12 = boldButton("8-COMPARAR CONSTRAINTS", Panel6);
    INICIAR = boldButton("4-COMPARAR TABELAS/VIEWS", Panel6);
    Button5 = boldButton("5-COMPARAR PROCEDURES", Panel6);
    Button7 = boldButton("6-COMPARAR TRIGGERS", Panel6);
    Button8 = boldButton("LOG DE ERROS", Panel6);
    Button13 = boldButton("DIFERENÇAS", Panel5);
    // Controls on the process panel keep the ordinary pointer; only its free area shows the
    // no-entry cursor.
    for (QWidget* child : Panel6->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setCursor(Qt::ArrowCursor);

    // Component names, so that the window's parts can be found by them.
    const std::pair<QObject*, const char*> names[] = {
        {ip1, "ip1"},
        {usuario1, "usuario1"},
        {senha1, "senha1"},
        {banco1, "banco1"},
        {xbanco, "xbanco"},
        {ip2, "ip2"},
        {usuario2, "usuario2"},
        {senha2, "senha2"},
        {banco2, "banco2"},
        {xbanco2, "xbanco2"},
        {Panel1, "Panel1"},
        {Panel2, "Panel2"},
        {Panel3, "Panel3"},
        {Panel4, "Panel4"},
        {Panel5, "Panel5"},
        {Panel6, "Panel6"},
        {status1, "status1"},
        {status2, "status2"},
        {Button1, "Button1"},
        {Button2, "Button2"},
        {Button3, "Button3"},
        {Button4, "Button4"},
        {Button5, "Button5"},
        {Button6, "Button6"},
        {Button7, "Button7"},
        {Button8, "Button8"},
        {Button9, "Button9"},
        {Button10, "Button10"},
        {Button11, "Button11"},
        {Button12, "Button12"},
        {INICIAR, "INICIAR"},
        {ProgressBar1, "ProgressBar1"},
        {Memo1, "Memo1"},
        {Memo2, "Memo2"},
        {Memo3, "Memo3"},
        {DBGrid1, "DBGrid1"},
        {DBGrid2, "DBGrid2"},
        {DataSource1, "DataSource1"},
        {DataSource2, "DataSource2"},
        {rapido, "rapido"},
        {CheckBox1, "CheckBox1"},
        {CheckBox2, "CheckBox2"},
        {criarauto, "criarauto"},
        {CheckBox3, "CheckBox3"},
        {Button13, "Button13"},
        {Label8, "Label8"},
        {Label1, "Label1"},
        {Label3, "Label3"},
        {Label4, "Label4"},
        {Label5, "Label5"},
        {Label6, "Label6"},
        {Label7, "Label7"},
    };
    for (const auto& [object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
}

void TForm1::buildLayout() {
    auto* central = centralWidget();
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // Connection rows: captions above the five edits, then the row's buttons and lamp.
    Panel1->setFixedHeight(126);
    auto* rows = new QGridLayout(Panel1);
    rows->setContentsMargins(8, 4, 8, 4);
    rows->setHorizontalSpacing(6);
    rows->setVerticalSpacing(1);
    // The first caption of a row is the row's own name; the other four are the same in both rows.
    const char* fieldCaptions[] = {nullptr, "Usuário", "Senha", "Pasta do banco", "Banco de dados"};
    QLineEdit* sourceEdits[] = {ip1, usuario1, senha1, banco1, xbanco};
    QLineEdit* targetEdits[] = {ip2, usuario2, senha2, banco2, xbanco2};
    const int stretch[] = {3, 2, 2, 4, 3};
    const auto captionedEdit = [&](const char* rowName, int field, QLineEdit* edit, int gridRow) {
        const QString caption = text(field == 0 ? rowName : fieldCaptions[field]);
        QLabel* label = boldWhiteLabel(caption, Panel1);
        label->setBuddy(edit);
        // Both rows hold the same captions: a screen reader hears the row's name before them.
        edit->setAccessibleName(field == 0 ? caption : text(rowName) + QStringLiteral(": ") + caption);
        rows->addWidget(label, gridRow, field);
        rows->addWidget(edit, gridRow + 1, field);
    };
    for (int i = 0; i < 5; ++i) {
        captionedEdit(kSourceRowName, i, sourceEdits[i], 0);
        captionedEdit(kTargetRowName, i, targetEdits[i], 2);
        rows->setColumnStretch(i, stretch[i]);
    }
    rows->addWidget(Button1, 1, 5);
    rows->addWidget(Button2, 1, 6);
    rows->addWidget(status1, 1, 7);
    rows->addWidget(Button4, 3, 5);
    rows->addWidget(Button3, 3, 6);
    rows->addWidget(status2, 3, 7);
    rows->addWidget(ProgressBar1, 4, 0, 1, 7);
    outer->addWidget(Panel1);

    Panel5->setFixedHeight(29);
    // "DIFERENÇAS" stands at the right end of the band over the processes: it lists what differs
    // before any of them runs.
    auto* band = new QHBoxLayout(Panel5);
    band->setContentsMargins(2, 2, 2, 2);
    band->addStretch(1);
    band->addWidget(Button13);
    outer->addWidget(Panel5);

    // Middle area: left grid, the two logs in the same place, right grid. The three share the
    // window's width in their designed proportions (233, the rest, 185 of 1276 pixels), each
    // keeping a width it stays usable at.
    auto* middle = new QHBoxLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->setSpacing(0);
    const auto share = [middle](QWidget* part, int proportion, int minimumWidth) {
        part->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
        part->setMinimumWidth(minimumWidth);
        middle->addWidget(part, proportion);
    };
    auto* left = new QVBoxLayout(Panel3);
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(DBGrid1);
    share(Panel3, 233, 140);
    share(LogArea, 1276 - 233 - 185, 320);
    auto* right = new QVBoxLayout(Panel4);
    right->setContentsMargins(0, 0, 0, 0);
    right->addWidget(DBGrid2);
    share(Panel4, 185, 110);
    outer->addLayout(middle, 1);

    // Bottom band: version and maker labels, then the process panel.
    Panel2->setFixedHeight(73);
    auto* bottom = new QHBoxLayout(Panel2);
    bottom->setContentsMargins(8, 4, 0, 0);
    bottom->setSpacing(0);
    auto* labels = new QVBoxLayout;
    labels->addWidget(Label3);
    labels->addWidget(Label4);
    labels->addStretch(1);
    bottom->addLayout(labels);
    bottom->addSpacing(8);
    // The process panel takes the rest of the band's width.
    bottom->addWidget(Panel6, 1);

    auto* processes = new QHBoxLayout(Panel6);
    processes->setContentsMargins(4, 2, 2, 2);
    processes->setSpacing(4);
    auto* options = new QGridLayout;
    options->setVerticalSpacing(0);
    options->setHorizontalSpacing(4);
    const std::pair<QCheckBox*, QLabel*> optionRows[] = {
        {rapido, Label1}, {CheckBox1, Label5}, {CheckBox2, Label6}, {criarauto, Label7}, {CheckBox3, Label8}};
    int row = 0;
    for (const auto& [box, label] : optionRows) {
        // The boxes have no text of their own: the label beside each one names it.
        label->setBuddy(box);
        box->setAccessibleName(label->text());
        options->addWidget(box, row, 0);
        options->addWidget(label, row, 1);
        ++row;
    }

    processes->addLayout(options);
    // A free area of the panel between the options and the buttons (a click there connects both
    // rows).
    processes->addSpacing(24);
    // Two rows of five columns, which grow with the panel. Each column is at least as wide as the
    // widest caption in it needs in the window's font, so that no caption is cut; the second
    // row's fifth column stays free, so that "LOG DE ERROS" still ends that row.
    auto* buttons = new QGridLayout;
    buttons->setSpacing(2);
    QPushButton* firstRow[] = {Button6, Button9, Button10, Button11, Button12};
    QPushButton* secondRow[] = {INICIAR, Button5, Button7, Button8};
    for (int column = 0; column < 5; ++column) {
        int width = firstRow[column]->sizeHint().width();
        if (column < 4)
            width = std::max(width, secondRow[column]->sizeHint().width());
        buttons->setColumnMinimumWidth(column, width);
        buttons->setColumnStretch(column, 1);
        firstRow[column]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        buttons->addWidget(firstRow[column], 0, column);
        if (column < 4) {
            secondRow[column]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
            buttons->addWidget(secondRow[column], 1, column);
        }
    }
    processes->addLayout(buttons, 1);
    // 73 pixels as designed, or what the column of option boxes needs when the font's boxes are
    // taller than that room.
    Panel2->setFixedHeight(std::max(73, Panel2->sizeHint().height()));
    outer->addWidget(Panel2);
}

void TForm1::connectHandlers() {
    const auto bind = [this](QAbstractButton* control, HandlerKind kind, void (TForm1::*handler)()) {
        connect(control, &QAbstractButton::clicked, this,
                [this, kind, handler] { runGuarded(kind, handler); });
    };
    bind(rapido, HandlerKind::Plain, &TForm1::rapidoClick);
    bind(CheckBox1, HandlerKind::Plain, &TForm1::CheckBox1Click);
    bind(CheckBox2, HandlerKind::Plain, &TForm1::CheckBox2Click);
    bind(criarauto, HandlerKind::Plain, &TForm1::CheckBox2Click);
    bind(Button8, HandlerKind::Plain, &TForm1::Button8Click);
    bind(Button1, HandlerKind::Exclusive, &TForm1::Button1Click);
    bind(Button2, HandlerKind::Exclusive, &TForm1::Button2Click);
    bind(Button3, HandlerKind::Exclusive, &TForm1::Button3Click);
    bind(Button4, HandlerKind::Exclusive, &TForm1::Button4Click);
    bind(Button6, HandlerKind::Exclusive, &TForm1::Button6Click);
    bind(Button9, HandlerKind::Exclusive, &TForm1::Button9Click);
    bind(Button10, HandlerKind::Exclusive, &TForm1::Button10Click);
    bind(INICIAR, HandlerKind::Exclusive, &TForm1::INICIARClick);
    bind(Button5, HandlerKind::Exclusive, &TForm1::Button5Click);
    bind(Button7, HandlerKind::Exclusive, &TForm1::Button7Click);
    bind(Button11, HandlerKind::Exclusive, &TForm1::Button11Click);
    bind(Button12, HandlerKind::Exclusive, &TForm1::Button12Click);
    bind(Button13, HandlerKind::Exclusive, &TForm1::Button13Click);
    connect(Panel6, &TPanel::clicked, this,
            [this] { runGuarded(HandlerKind::Exclusive, &TForm1::Panel6Click); });
}

void TForm1::setStoredSettings() {
    // The components object has bound the sessions, transactions, stored cursors and extractor and
    // loaded the client library; the window adds its stored source settings.
    IBTransaction1().setStreamedActive(true);

    data::TIBDatabase& source = IBDatabase1();
    source.LoginPrompt = false;
    source.setDatabaseName(kStoredSourceDatabase);
    source.Params().Add(kStoredSourceUser);
    source.Params().Add(kStoredSourcePassword);
    source.setStreamedConnected(true);

    IBDatabase2().LoginPrompt = false;
}

// ---- Guard -------------------------------------------------------------------------------------

void TForm1::runGuarded(HandlerKind kind, void (TForm1::*handler)()) {
    const bool exclusive = kind == HandlerKind::Exclusive;
    // No run inside a run: while a process or a connection handler lets the event loop run, a
    // click on another one starts nothing.
    if (exclusive && m_running)
        return;
    {
        std::optional<RunningScope> running;
        if (exclusive)
            running.emplace(m_running);
        try {
            (this->*handler)();
        } catch (const data::EAbort&) {
            // A silent abort ends the handler without a report.
        } catch (const std::exception& error) {
            showMessage(error.what());
        }
    }
    paintLostRows();
    if (m_closePending && !m_running) {
        m_closePending = false;
        QMetaObject::invokeMethod(
            this, [this] { close(); }, Qt::QueuedConnection);
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (m_running) {
        // A handler is still running further down the stack: close once it has ended.
        m_closePending = true;
        event->ignore();
        return;
    }
    shutdownSessions();
    event->accept();
}

void TForm1::shutdownSessions() {
    if (m_sessionsShutDown)
        return;
    m_sessionsShutDown = true;
    // Detaching commits each session's active transaction; a commit the server refuses has been
    // rolled back, and the operator must learn that the work did not reach the database.
    for (data::TIBDatabase* session : {&IBDatabase1(), &IBDatabase2()}) {
        try {
            session->setConnected(false);
        } catch (const std::exception& error) {
            showMessage(error.what());
        }
    }
}

// ---- Start-up ----------------------------------------------------------------------------------

void TForm1::FormCreate() {
    showMessage(kStartupNotice);
    const std::string version = GetBuildInfo(toBytes(QCoreApplication::applicationFilePath()));
    Label3->setText(decodeText(kVersionLabelPrefix + version));
}

std::string TForm1::GetBuildInfo(const std::string& executablePath) {
    paintLamp(status1, kLampRed);
    paintLamp(status2, kLampRed);
    return fileVersionText(executablePath);
}

// ---- Small handlers ----------------------------------------------------------------------------

void TForm1::rapidoClick() {
    if (rapido->isChecked())
        showMessage(kFastModeNotice);
}

void TForm1::applySourcePreset(const char* host, const char* password, const char* folder, const char* file) {
    ip1->setText(text(host));
    senha1->setText(text(password));
    banco1->setText(text(folder));
    xbanco->setText(text(file));
}

void TForm1::CheckBox1Click() {
    applySourcePreset(kPresetFb25.host, kPresetFb25.password, kPresetFb25.folder, kPresetFb25.file);
}

void TForm1::CheckBox2Click() {
    applySourcePreset(kPresetFb30.host, kPresetFb30.password, kPresetFb30.folder, kPresetFb30.file);
}

void TForm1::Button8Click() {
    Memo1->setHidden(!Memo1->isHidden());
    Memo3->setHidden(!Memo3->isHidden());
}

// ---- Connection panel --------------------------------------------------------------------------

const char* TForm1::lampRowName(const TPanel* lamp) const {
    return lamp == status1 ? kSourceRowName : kTargetRowName;
}

void TForm1::paintLamp(TPanel* lamp, const QColor& color) {
    lamp->setColor(color);
    // The colour is the lamp's only content: a screen reader reads the state in words.
    const char* state = color == kLampLime     ? kLampConnected
                        : color == kLampYellow ? kLampConnecting
                                               : kLampDisconnected;
    lamp->setAccessibleDescription(text(lampRowName(lamp)) + QStringLiteral(": ") + text(state));
}

void TForm1::paintLostRows() {
    if (IBDatabase1().connectionLost())
        paintLamp(status1, kLampRed);
    if (IBDatabase2().connectionLost() || SQLConnection().connectionLost())
        paintLamp(status2, kLampRed);
}

std::string TForm1::rowDatabaseName(const QLineEdit* host, const QLineEdit* folder,
                                    const QLineEdit* file) const {
    const std::string folderText = toBytes(folder->text());
    // A folder on a POSIX server (a "/" and no "\") takes "/" before the file name.
    const bool posixFolder =
        folderText.find('/') != std::string::npos && folderText.find('\\') == std::string::npos;
    return toBytes(host->text()) + ":" + folderText + (posixFolder ? "/" : "\\") +
           sync::attachedFileName(toBytes(file->text()));
}

void TForm1::connectGuard(data::TIBDatabase& session, TPanel* lamp) {
    const char* refusal = nullptr;
    if (!sync::sameDatabaseFileName(sourceFileName(), targetFileName()))
        refusal = sync::kSameNameGuardMessage;
    else if (sync::reachesSameDatabase(session, &session == &IBDatabase1() ? IBDatabase2() : IBDatabase1()))
        refusal = sync::kSameDatabaseMessage;
    if (!refusal)
        return;
    showMessage(refusal);
    session.setConnected(false);
    paintLamp(lamp, kLampRed);
    throw data::EAbort();
}

namespace {

// Detaches a row's session. When the server refuses the commit of its transaction the session
// is detached all the same: the lamp turns red before the error goes on to be reported.
void detachRow(data::TIBDatabase& session, const std::function<void()>& paintRed) {
    try {
        session.setConnected(false);
    } catch (...) {
        if (!session.Connected())
            paintRed();
        throw;
    }
}

} // namespace

void TForm1::Button2Click() {
    data::TIBDatabase& session = IBDatabase1();
    detachRow(session, [this] { paintLamp(status1, kLampRed); });
    m_components.setSourceLogin(rowDatabaseName(ip1, banco1, xbanco), toBytes(usuario1->text()),
                                toBytes(senha1->text()));
    paintLamp(status1, kLampYellow);
    // The yellow lamp shows while the attach blocks.
    repaint();
    session.setConnected(true);
    connectGuard(session, status1);
    if (session.Connected())
        paintLamp(status1, kLampLime);
}

void TForm1::Button1Click() {
    std::exception_ptr failure;
    try {
        IBDatabase1().setConnected(false);
    } catch (...) {
        failure = std::current_exception();
    }
    IBDatabase1().Params().Clear();
    paintLamp(status1, kLampRed);
    if (failure)
        std::rethrow_exception(failure);
}

void TForm1::Button3Click() {
    const std::string databaseName = rowDatabaseName(ip2, banco2, xbanco2);
    const std::string user = toBytes(usuario2->text());
    const std::string password = toBytes(senha2->text());
    m_components.connectDirectConnection(databaseName, user, password);

    data::TIBDatabase& session = IBDatabase2();
    detachRow(session, [this] { paintLamp(status2, kLampRed); });
    m_components.setTargetLogin(databaseName, user, password);
    paintLamp(status2, kLampYellow);
    repaint();
    session.setConnected(true);
    connectGuard(session, status2);
    if (session.Connected())
        paintLamp(status2, kLampLime);
}

void TForm1::Button4Click() {
    std::exception_ptr failure;
    try {
        IBDatabase2().setConnected(false);
    } catch (...) {
        failure = std::current_exception();
    }
    IBDatabase2().Params().Clear();
    paintLamp(status2, kLampRed);
    if (failure)
        std::rethrow_exception(failure);
}

void TForm1::Panel6Click() {
    // As if the operator clicked the source's and then the target's "Conectar"; an error or the
    // guard's abort in the first ends the whole click.
    Button2Click();
    Button3Click();
}

// ---- Processes ---------------------------------------------------------------------------------

void TForm1::runProcessNumber(int number) {
    const sync::ProcessRecord& process = *sync::findProcess(number);
    m_counter.beginProcess(number, [this] { return sync::targetViewNames(m_components); });
    const auto writeSummary = [&] {
        for (const std::string& line : sync::summaryLines(process, m_counter.counts()))
            appendProcessLog(line);
    };
    try {
        sync::runProcess(process, m_components, *this);
    } catch (const data::EAbort&) {
        // The guard refused the run: its message is all there is to say.
        throw;
    } catch (const data::EIBConnectionLost&) {
        appendProcessLog(sync::interruptedLine(process));
        throw;
    } catch (...) {
        m_counter.countEscapedFailure();
        writeSummary();
        throw;
    }
    writeSummary();
}

void TForm1::Button6Click() {
    runProcessNumber(1);
}
void TForm1::Button9Click() {
    runProcessNumber(2);
}
void TForm1::Button10Click() {
    runProcessNumber(3);
}
void TForm1::INICIARClick() {
    runProcessNumber(4);
}
void TForm1::Button5Click() {
    runProcessNumber(5);
}
void TForm1::Button7Click() {
    runProcessNumber(6);
}
void TForm1::Button11Click() {
    runProcessNumber(7);
}
void TForm1::Button12Click() {
    runProcessNumber(8);
}

// ---- Process view ------------------------------------------------------------------------------

void TForm1::appendProcessLog(const std::string& entry) {
    appendEntry(Memo1, displayText(entry));
}

void TForm1::appendErrorLog(const std::string& entry) {
    appendEntry(Memo3, displayText(entry));
}

void TForm1::clearProcessLog() {
    Memo1->clear();
}

void TForm1::clearProcedureBuffer() {
    m_procedureBuffer.clear();
    Memo2->clear();
}

void TForm1::appendProcedureBuffer(const std::string& entry) {
    m_procedureBuffer.push_back(entry);
    appendEntry(Memo2, displayText(entry));
}

std::string TForm1::procedureBufferText() const {
    return sync::entriesText(m_procedureBuffer);
}

void TForm1::showMessage(const std::string& text) {
    if (stopRequested()) {
        // The program is ending by a signal: no one is there to answer a box.
        std::cerr << text << std::endl;
        return;
    }
    showMessageBox(text);
}

bool TForm1::stopRequested() const {
    return m_endRequested || TerminationSignals::received();
}

void TForm1::endBySignal() {
    m_endRequested = true;
    closeMessageBoxes();
    // While a handler runs, the close waits for its end (closeEvent); the run stops at its next
    // object.
    close();
}

void TForm1::processEvents() {
    QCoreApplication::processEvents();
}

void TForm1::setDataSource1(data::TIBDataSet* dataSet) {
    DataSource1->setDataSet(dataSet);
}

void TForm1::setDataSource2(data::TIBDataSet* dataSet) {
    DataSource2->setDataSet(dataSet);
}

void TForm1::setProgressMax(int max) {
    ProgressBar1->setMax(max);
}

void TForm1::setProgressPosition(int position) {
    ProgressBar1->setPosition(position);
}

// Reads both catalogues and writes what differs into the process log; nothing is executed.
void TForm1::Button13Click() {
    sync::runDifferences(m_components, *this);
}

bool TForm1::alterar() const {
    return CheckBox3->isChecked();
}

void TForm1::objectEvent(sync::ObjectEvent event, sync::ObjectType type, const std::string& name) {
    m_counter.record(event, type, name);
}

bool TForm1::criarautoTicked() const {
    return criarauto->isChecked();
}

bool TForm1::rapidoTicked() const {
    return rapido->isChecked();
}

std::string TForm1::sourceFileName() const {
    return toBytes(xbanco->text());
}

std::string TForm1::targetFileName() const {
    return toBytes(xbanco2->text());
}

} // namespace vistrel::app
