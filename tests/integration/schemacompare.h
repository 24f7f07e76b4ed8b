#pragma once
// What the acceptance tests use to look at two databases from outside the window: isql-fb's
// extraction split by kind of object, a byte-exact fingerprint of a database's metadata and data,
// the write counters of the other attachments, catalogue rows read through a session of the data
// layer, and the window driven offscreen with both rows connected to scratch databases.
#include "app/unit1.h"
#include "data/ibdatabase.h"
#include "data/ibsql.h"
#include "tests/support/messagerecorder.h"
#include "tests/support/scratchdatabase.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QPushButton;

namespace vistrel::test::integration {

// ---- isql-fb -x ---------------------------------------------------------------------------------

// isql-fb -x of a database, as it prints it (SYSDBA, no connection character set).
std::string isqlExtract(const ScratchDatabase& database);

// isql-fb's extraction cut into its statements and grouped by kind of object.
struct IsqlSchema {
    // The commented CREATE DATABASE line with the database's path replaced by "<database>".
    std::string databaseLine;
    // Kind ("generator", "domain", "table", "procedure", "index", "view", "exception", "trigger",
    // "constraint", "computed", "grant", "other") -> object name as written -> its statements.
    // A procedure holds its header and its body, a domain its CREATE and its ALTER DOMAIN
    // constraint, an index its CREATE and its ALTER INDEX; "constraint", "computed", "grant" and
    // "other" are keyed by the statement text itself.
    std::map<std::string, std::map<std::string, std::string>> objects;

    const std::map<std::string, std::string>& kind(const std::string& name) const;
};

// Splits the output of isql-fb -x: statements end at the terminator in force (SET TERM changes
// it) outside quotes and comments; comments between statements (section and object headers) are
// left out; SET and COMMIT statements are the script's frame and are left out.
IsqlSchema parseIsqlExtract(const std::string& text, const std::string& databasePath);

// The parts of a CREATE TABLE statement as isql-fb writes it.
struct TableStatement {
    std::vector<std::pair<std::string, std::string>> columns; // name -> whole definition
    std::vector<std::string> constraints;                     // PRIMARY KEY (...), UNIQUE (...), ...
};
TableStatement splitTableStatement(const std::string& statement);

// ---- The source is never written ----------------------------------------------------------------

// A fingerprint of a database's metadata and data, exact to the byte: isql-fb -x, then every row
// of the system tables that describe the schema and of every user table, each row with its
// RDB$DB_KEY (where it lies) and RDB$RECORD_VERSION (the transaction that wrote it), and the
// current value of every generator. Any insert, delete or update (even one that writes the same
// values) changes it. The database file itself is no fingerprint: every attachment and every
// transaction, reading ones too, rewrites its header page.
std::string fingerprint(const ScratchDatabase& database);

// Records inserted, updated and deleted by the attachments to the database other than the one
// asking (and the server's own): the writes of an attachment that has not committed yet count too.
long long writesOfOtherAttachments(const ScratchDatabase& database);

// ---- Catalogue rows through the data layer ------------------------------------------------------

// A session attached as the window attaches (user name and password lines, default transaction).
class Session {
public:
    explicit Session(const ScratchDatabase& database);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    data::TIBDatabase& db() { return m_db; }
    data::TIBTransaction& tr() { return m_tr; }

    // Every row of a query, each column as text ("<null>" for a null), columns joined by " | ".
    std::vector<std::string> rows(const std::string& sql);

private:
    data::TIBDatabase m_db;
    data::TIBTransaction m_tr;
};

// "RDB$123" -> "RDB$#": names the server gives to implicit fields differ between databases.
std::string withoutServerNumber(const std::string& name);

// ---- The window ---------------------------------------------------------------------------------

// The main window built offscreen with its message box recorded; both rows filled from scratch
// databases and connected with their own "Conectar" buttons.
class Window {
public:
    Window(const ScratchDatabase& source, const ScratchDatabase& target);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    app::TForm1& form() { return *m_form; }

    // Clicks a button; returns the messages it showed.
    std::vector<std::string> click(QPushButton* button);

    // The panes' text as the window shows it.
    std::string processLog() const;
    std::string errorLog() const;

    // Closes the window: both sessions detach, committing what they hold.
    void close();

private:
    // Built before the window and destroyed after it: the start-up notice is recorded too.
    MessageRecorder m_recorder;
    std::unique_ptr<app::TForm1> m_form;
};

// One process button of the window and the messages a run of it without failure shows.
struct ProcessButton {
    const char* label;
    std::function<QPushButton*(app::TForm1&)> button;
    std::vector<std::string> expectedMessages;
};

// The eight process buttons in the order 1 to 8.
const std::vector<ProcessButton>& processButtons();
// The first seven of them.
const std::vector<ProcessButton>& sevenButtons();

// The window's pane text for these entries: each entry one paragraph, shown as the window shows a
// byte string (its decoding, line breaks as paragraph breaks), as UTF-8.
std::string paneText(const std::vector<std::string>& entries);

// The summary lines that end every process's lines in the window's process log
// ("[1 generators] generators: percorridos 3, faltando 0, criados 0, falhas 0"): the text without
// them, and them alone, in order.
std::string withoutSummaryLines(const std::string& log);
std::vector<std::string> summaryLinesOf(const std::string& log);

} // namespace vistrel::test::integration
