#pragma once
// The main window: the two connection rows, the process buttons, the panes, the grids and the
// lamps, with the components it owns (sessions, transactions, stored cursors, the extractor and
// the direct-execution connection) and its event handlers.
#include "app/progressbar.h"
#include "sync/components.h"
#include "sync/processview.h"
#include "sync/runcounts.h"

#include <QColor>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vistrel::app {

class TDataSource;
class TDBGrid;
class TLogArea;
class TPanel;

// Lamp colours of the connection rows.
inline const QColor kLampRed{255, 0, 0};
inline const QColor kLampYellow{255, 255, 0};
inline const QColor kLampLime{0, 255, 0};

// The part of the process view whose names the window gives to its components (the check boxes
// criarauto and rapido, the file-name edits xbanco and xbanco2): the window answers through the
// hooks below, and its components keep their own names.
class ProcessViewBridge : public sync::ProcessView {
public:
    bool criarauto() const final { return criarautoTicked(); }
    bool rapido() const final { return rapidoTicked(); }
    std::string xbanco() const final { return sourceFileName(); }
    std::string xbanco2() const final { return targetFileName(); }

protected:
    virtual bool criarautoTicked() const = 0;
    virtual bool rapidoTicked() const = 0;
    virtual std::string sourceFileName() const = 0;
    virtual std::string targetFileName() const = 0;
};

class TForm1 : public QMainWindow, public ProcessViewBridge {
    Q_OBJECT

public:
    // Builds the window with every component and its stored settings, attaches the source stored
    // as connected (a failure is ignored) and runs FormCreate. A client library that cannot be
    // loaded fails the construction with its error.
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Connection rows: host, user name, password, folder, file name.
    QLineEdit* ip1 = nullptr;
    QLineEdit* usuario1 = nullptr;
    QLineEdit* senha1 = nullptr;
    QLineEdit* banco1 = nullptr;
    QLineEdit* xbanco = nullptr;
    QLineEdit* ip2 = nullptr;
    QLineEdit* usuario2 = nullptr;
    QLineEdit* senha2 = nullptr;
    QLineEdit* banco2 = nullptr;
    QLineEdit* xbanco2 = nullptr;

    TPanel* Panel1 = nullptr; // connection rows
    TPanel* Panel2 = nullptr; // bottom band
    TPanel* Panel3 = nullptr; // left grid
    TPanel* Panel4 = nullptr; // right grid
    TPanel* Panel5 = nullptr; // "PROCESSOS"
    TPanel* Panel6 = nullptr; // process panel
    TPanel* status1 = nullptr;
    TPanel* status2 = nullptr;

    QPushButton* Button1 = nullptr;  // Fechar (source)
    QPushButton* Button2 = nullptr;  // Conectar (source)
    QPushButton* Button3 = nullptr;  // Conectar (target)
    QPushButton* Button4 = nullptr;  // Fechar (target)
    QPushButton* Button5 = nullptr;  // 5-COMPARAR PROCEDURES
    QPushButton* Button6 = nullptr;  // 1-CRIAR GENERATOR
    QPushButton* Button7 = nullptr;  // 6-COMPARAR TRIGGERS
    QPushButton* Button8 = nullptr;  // LOG DE ERROS
    QPushButton* Button9 = nullptr;  // 2-CRIAR EXCEPTION
    QPushButton* Button10 = nullptr; // 3-COMPARAR DOMAINS
    QPushButton* Button11 = nullptr; // 7-COMPARAR  INDICES
    QPushButton* Button12 = nullptr; // 8-COMPARAR CONSTRAINTS
    QPushButton* Button13 = nullptr; // DIFERENÇAS: what differs, written to the process log
    QPushButton* INICIAR = nullptr;  // 4-COMPARAR TABELAS/VIEWS

    TProgressBar* ProgressBar1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr; // process log
    QPlainTextEdit* Memo2 = nullptr; // procedure buffer, never visible
    QPlainTextEdit* Memo3 = nullptr; // error log
    TLogArea* LogArea = nullptr;     // Memo1 and Memo3 in one place, with the find bar

    TDBGrid* DBGrid1 = nullptr;
    TDBGrid* DBGrid2 = nullptr;
    TDataSource* DataSource1 = nullptr;
    TDataSource* DataSource2 = nullptr;

    QCheckBox* rapido = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* criarauto = nullptr;
    QCheckBox* CheckBox3 = nullptr; // "Alterar": the processes also alter what differs

    QLabel* Label1 = nullptr; // "Rápido"
    QLabel* Label3 = nullptr; // version
    QLabel* Label4 = nullptr; // "ORVEN SOFTWARE"
    QLabel* Label5 = nullptr; // "Fb 2.5"
    QLabel* Label6 = nullptr; // "Fb 3.0"
    QLabel* Label7 = nullptr; // "Criar. Aut"
    QLabel* Label8 = nullptr; // "Alterar"

    // Non-visual components, owned by the components object.
    sync::SyncComponents& components() { return m_components; }
    data::TIBDatabase& IBDatabase1() { return m_components.IBDatabase1(); }
    data::TIBDatabase& IBDatabase2() { return m_components.IBDatabase2(); }
    data::TIBTransaction& IBTransaction1() { return m_components.IBTransaction1(); }
    data::TIBTransaction& IBTransaction2() { return m_components.IBTransaction2(); }
    data::TIBDataSet& ORIGEM() { return m_components.ORIGEM(); }
    data::TIBQuery& CAMPOS2() { return m_components.CAMPOS2(); }
    extract::TIBExtract& IBExtract1() { return m_components.IBExtract1(); }
    data::TSQLConnection& SQLConnection() { return m_components.SQLConnection(); }
    // Keeps a cursor alive until the window is destroyed (a grid may still point at it).
    data::TIBDataSet* keepCursor(std::unique_ptr<data::TIBDataSet> cursor) {
        return m_components.keepCursor(std::move(cursor));
    }

    // Handlers. Each throws what it does not catch; the window runs them from their controls
    // inside its guard, which shows the error in the message box.
    void FormCreate();
    std::string GetBuildInfo(const std::string& executablePath);
    void rapidoClick();
    void Button13Click(); // DIFERENÇAS
    void CheckBox1Click();
    void CheckBox2Click();
    void Button8Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Panel6Click();
    void Button6Click();
    void Button9Click();
    void Button10Click();
    void INICIARClick();
    void Button5Click();
    void Button7Click();
    void Button11Click();
    void Button12Click();

    // Whether a process or connection handler is running (it may let the event loop run).
    bool handlerRunning() const noexcept { return m_running; }

    // Ends the program as closing the window does, for a termination signal: a message box that
    // is up is answered, a run stops before its next object, the window closes once no handler
    // runs. From then on messages go to standard error, where no one has to answer them.
    void endBySignal();
    bool endRequested() const noexcept { return m_endRequested; }

    // The source and target session detach; a refused commit is shown in the message box. Runs
    // when the window closes, and at the latest when it is destroyed; later calls do nothing.
    void shutdownSessions();

    // ProcessView
    void appendProcessLog(const std::string& entry) override;
    void appendErrorLog(const std::string& entry) override;
    void clearProcessLog() override;
    void clearProcedureBuffer() override;
    void appendProcedureBuffer(const std::string& entry) override;
    std::string procedureBufferText() const override;
    void showMessage(const std::string& text) override;
    void processEvents() override;
    bool stopRequested() const override;
    bool alterar() const override;
    void setDataSource1(data::TIBDataSet* dataSet) override;
    void setDataSource2(data::TIBDataSet* dataSet) override;
    void setProgressMax(int max) override;
    void setProgressPosition(int position) override;
    void objectEvent(sync::ObjectEvent event, sync::ObjectType type, const std::string& name) override;

protected:
    void closeEvent(QCloseEvent* event) override;

    bool criarautoTicked() const override;
    bool rapidoTicked() const override;
    std::string sourceFileName() const override;
    std::string targetFileName() const override;

private:
    enum class HandlerKind {
        Plain,    // runs at any time
        Exclusive // a process or a connection: starts nothing while another such handler runs
    };
    // Connects a control's signal to a handler run inside the guard.
    void runGuarded(HandlerKind kind, void (TForm1::*handler)());

    // A process as its button runs it (its walk, then with "Alterar" ticked its alterations),
    // counting what it reports; at its end (an error's too) its summary lines go into the
    // process log.
    void runProcessNumber(int number);
    void createComponents();
    void buildLayout();
    void connectHandlers();
    void setStoredSettings();

    // Paints a status lamp and describes its state for assistive technology.
    void paintLamp(TPanel* lamp, const QColor& color);
    // Paints red the lamp of each row whose session, or the target's direct-execution connection,
    // a call found lost: the session closed itself, the row is no longer connected.
    void paintLostRows();
    // "Servidor" for status1, "Cliente" for status2.
    const char* lampRowName(const TPanel* lamp) const;
    // Fills the four source fields of a preset.
    void applySourcePreset(const char* host, const char* password, const char* folder, const char* file);
    // Host ":" folder separator file, as typed.
    std::string rowDatabaseName(const QLineEdit* host, const QLineEdit* folder, const QLineEdit* file) const;
    // Guards after an attach: on different file names, or when both rows reach one database,
    // shows the warning, detaches the session, paints the lamp red and aborts silently.
    void connectGuard(data::TIBDatabase& session, TPanel* lamp);

    // The sessions, stored components and run cursors, alive until the window is destroyed.
    sync::SyncComponents m_components;
    // What the running process reported per object, for its summary.
    sync::RunCounter m_counter;
    // Entries of the procedure buffer as byte strings.
    std::vector<std::string> m_procedureBuffer;

    bool m_running = false;
    bool m_closePending = false;
    bool m_sessionsShutDown = false;
    bool m_endRequested = false;
};

} // namespace vistrel::app

// The window's single instance, while it exists.
extern vistrel::app::TForm1* Form1;
