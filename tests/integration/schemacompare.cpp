#include "tests/integration/schemacompare.h"

#include "app/textcodec.h"
#include "tests/support/process.h"
#include "tests/support/testserver.h"
#include "tests/support/windowdriver.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <cctype>
#include <regex>
#include <stdexcept>

namespace vistrel::test::integration {

namespace {

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string trimmed(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool startsWith(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

// The identifier at `pos` as written: a double-quoted name with its quotes, or the run up to a
// blank, a parenthesis or a semicolon.
std::string identifierAt(const std::string& text, size_t pos) {
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    if (pos < text.size() && text[pos] == '"') {
        size_t end = pos + 1;
        while (end < text.size()) {
            if (text[end] == '"') {
                if (end + 1 < text.size() && text[end + 1] == '"') {
                    end += 2;
                    continue;
                }
                break;
            }
            ++end;
        }
        return text.substr(pos, end + 1 - pos);
    }
    size_t end = pos;
    while (end < text.size() && !isBlank(text[end]) && text[end] != '(' && text[end] != ';')
        ++end;
    return text.substr(pos, end - pos);
}

// End of the quoted run that starts at `pos` (the position after its closing quote).
size_t quotedEnd(const std::string& text, size_t pos) {
    const char quote = text[pos];
    size_t end = pos + 1;
    while (end < text.size()) {
        if (text[end] == quote) {
            if (end + 1 < text.size() && text[end + 1] == quote) {
                end += 2;
                continue;
            }
            return end + 1;
        }
        ++end;
    }
    return text.size();
}

// Kind and name of one statement of isql-fb's extraction; empty kind for the script's frame.
std::pair<std::string, std::string> classify(const std::string& statement) {
    const std::string head = upper(statement.substr(0, std::min<size_t>(statement.size(), 64)));
    auto after = [&](const std::string& words) { return identifierAt(statement, words.size()); };
    if (startsWith(head, "SET ") || startsWith(head, "COMMIT"))
        return {};
    if (startsWith(head, "CREATE GENERATOR "))
        return {"generator", after("CREATE GENERATOR ")};
    if (startsWith(head, "CREATE SEQUENCE "))
        return {"generator", after("CREATE SEQUENCE ")};
    if (startsWith(head, "CREATE DOMAIN "))
        return {"domain", after("CREATE DOMAIN ")};
    if (startsWith(head, "ALTER DOMAIN "))
        return {"domain", after("ALTER DOMAIN ")};
    if (startsWith(head, "CREATE TABLE "))
        return {"table", after("CREATE TABLE ")};
    if (startsWith(head, "CREATE OR ALTER PROCEDURE "))
        return {"procedure", after("CREATE OR ALTER PROCEDURE ")};
    if (startsWith(head, "ALTER PROCEDURE "))
        return {"procedure", after("ALTER PROCEDURE ")};
    if (startsWith(head, "ALTER INDEX "))
        return {"index", after("ALTER INDEX ")};
    if (startsWith(head, "CREATE VIEW "))
        return {"view", after("CREATE VIEW ")};
    if (startsWith(head, "CREATE EXCEPTION "))
        return {"exception", after("CREATE EXCEPTION ")};
    if (startsWith(head, "CREATE TRIGGER "))
        return {"trigger", after("CREATE TRIGGER ")};
    if (startsWith(head, "ALTER TABLE "))
        return {upper(statement).find(" COMPUTED BY") != std::string::npos ? "computed" : "constraint",
                statement};
    if (startsWith(head, "GRANT "))
        return {"grant", statement};
    if (startsWith(head, "CREATE ")) {
        // CREATE [UNIQUE] [ASC[ENDING] | DESC[ENDING]] INDEX name
        size_t pos = std::string("CREATE ").size();
        for (const char* word : {"UNIQUE ", "ASCENDING ", "ASC ", "DESCENDING ", "DESC "})
            if (head.compare(pos, std::string(word).size(), word) == 0)
                pos += std::string(word).size();
        if (head.compare(pos, 6, "INDEX ") == 0)
            return {"index", identifierAt(statement, pos + 6)};
    }
    return {"other", statement};
}

const std::map<std::string, std::string> kNoObjects;

} // namespace

const std::map<std::string, std::string>& IsqlSchema::kind(const std::string& name) const {
    const auto it = objects.find(name);
    return it == objects.end() ? kNoObjects : it->second;
}

std::string isqlExtract(const ScratchDatabase& database) {
    const ProcessResult r = runProcess({VISTREL_ISQL_PATH, "-x", "-user", database.user(), "-password",
                                        database.password(), database.connectionString()});
    if (r.exitCode != 0 || !r.err.empty())
        throw std::runtime_error("isql-fb -x failed on " + database.connectionString() + ": " + r.err);
    return r.out;
}

IsqlSchema parseIsqlExtract(const std::string& text, const std::string& databasePath) {
    IsqlSchema schema;
    std::string terminator = ";";
    std::string current;
    bool hasCode = false;
    auto finish = [&] {
        const std::string statement = trimmed(current);
        current.clear();
        hasCode = false;
        const std::string head = upper(statement);
        if (startsWith(head, "SET TERM ")) {
            terminator = trimmed(statement.substr(std::string("SET TERM ").size()));
            return;
        }
        const auto [kind, name] = classify(statement);
        if (kind.empty())
            return;
        std::string& slot = schema.objects[kind][name];
        slot += slot.empty() ? statement : "\n" + statement;
    };

    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            size_t end = text.find("*/", i + 2);
            end = end == std::string::npos ? text.size() : end + 2;
            const std::string comment = text.substr(i, end - i);
            if (hasCode) {
                current += comment;
            } else if (comment.find("CREATE DATABASE") != std::string::npos) {
                // The path is where each database lies: the one thing that differs by design.
                std::string line = comment;
                const size_t open = line.find('\'');
                const size_t close = open == std::string::npos ? open : line.find('\'', open + 1);
                if (close != std::string::npos &&
                    line.substr(open + 1, close - open - 1).find(databasePath) != std::string::npos)
                    line.replace(open + 1, close - open - 1, "<database>");
                schema.databaseLine = line;
            }
            i = end;
        } else if (c == '-' && i + 1 < text.size() && text[i + 1] == '-' && hasCode) {
            size_t end = text.find('\n', i);
            end = end == std::string::npos ? text.size() : end;
            current.append(text, i, end - i);
            i = end;
        } else if (c == '\'' || c == '"') {
            const size_t end = quotedEnd(text, i);
            current.append(text, i, end - i);
            hasCode = true;
            i = end;
        } else if (text.compare(i, terminator.size(), terminator) == 0) {
            i += terminator.size();
            finish();
        } else {
            if (!isBlank(c))
                hasCode = true;
            if (hasCode)
                current += c;
            ++i;
        }
    }
    if (hasCode)
        finish();
    return schema;
}

TableStatement splitTableStatement(const std::string& statement) {
    TableStatement table;
    const size_t open = statement.find('(');
    const size_t close = statement.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        throw std::runtime_error("not a CREATE TABLE statement: " + statement);
    const std::string body = statement.substr(open + 1, close - open - 1);
    std::vector<std::string> elements;
    std::string element;
    int depth = 0;
    for (size_t i = 0; i < body.size();) {
        const char c = body[i];
        if (c == '\'' || c == '"') {
            const size_t end = quotedEnd(body, i);
            element.append(body, i, end - i);
            i = end;
            continue;
        }
        if (c == '(' || c == '[')
            ++depth;
        if (c == ')' || c == ']')
            --depth;
        if (c == ',' && depth == 0) {
            elements.push_back(trimmed(element));
            element.clear();
        } else {
            element += c;
        }
        ++i;
    }
    elements.push_back(trimmed(element));
    for (const std::string& e : elements) {
        const std::string head = upper(e);
        if (startsWith(head, "PRIMARY KEY") || startsWith(head, "UNIQUE") ||
            startsWith(head, "CONSTRAINT ") || startsWith(head, "FOREIGN KEY") || startsWith(head, "CHECK"))
            table.constraints.push_back(e);
        else
            table.columns.emplace_back(identifierAt(e, 0), e);
    }
    return table;
}

// ---- Fingerprint --------------------------------------------------------------------------------

namespace {

// System tables whose rows make up a database's schema (and the database row itself).
constexpr const char* kSchemaTables[] = {
    "RDB$DATABASE",
    "RDB$RELATIONS",
    "RDB$RELATION_FIELDS",
    "RDB$FIELDS",
    "RDB$FIELD_DIMENSIONS",
    "RDB$INDICES",
    "RDB$INDEX_SEGMENTS",
    "RDB$TRIGGERS",
    "RDB$TRIGGER_MESSAGES",
    "RDB$PROCEDURES",
    "RDB$PROCEDURE_PARAMETERS",
    "RDB$EXCEPTIONS",
    "RDB$GENERATORS",
    "RDB$DEPENDENCIES",
    "RDB$VIEW_RELATIONS",
    "RDB$RELATION_CONSTRAINTS",
    "RDB$REF_CONSTRAINTS",
    "RDB$CHECK_CONSTRAINTS",
    "RDB$USER_PRIVILEGES",
    "RDB$SECURITY_CLASSES",
    "RDB$FORMATS",
    "RDB$ROLES",
    "RDB$CHARACTER_SETS",
    "RDB$COLLATIONS",
    "RDB$FUNCTIONS",
    "RDB$FUNCTION_ARGUMENTS",
    "RDB$PACKAGES",
    "RDB$FILTERS",
    "RDB$FILES",
    "RDB$AUTH_MAPPING",
    "RDB$TYPES",
    "RDB$BACKUP_HISTORY",
};

std::string quotedName(const std::string& name) {
    std::string out = "\"";
    for (const char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

} // namespace

std::string fingerprint(const ScratchDatabase& database) {
    std::string out = isqlExtract(database);

    // Names are listed one per row with a closing mark, so that a name ending in blanks keeps them.
    auto names = [&](const std::string& sql) {
        std::vector<std::string> list;
        for (std::string row : database.queryRows(sql)) {
            if (row.empty() || row.back() != '|')
                throw std::runtime_error("unexpected name row: " + row);
            row.pop_back();
            const size_t end = row.find_last_not_of(' ');
            list.push_back(end == std::string::npos ? std::string() : row.substr(0, end + 1));
        }
        return list;
    };
    const std::vector<std::string> tables =
        names("SELECT TRIM(TRAILING FROM RDB$RELATION_NAME) || '|' FROM RDB$RELATIONS "
              "WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND RDB$VIEW_BLR IS NULL ORDER BY RDB$RELATION_NAME");
    const std::vector<std::string> generators = names("SELECT TRIM(TRAILING FROM RDB$GENERATOR_NAME) || '|' "
                                                      "FROM RDB$GENERATORS ORDER BY RDB$GENERATOR_NAME");

    std::string sql = "SET LIST ON;\nSET BLOBDISPLAY OFF;\n";
    for (const char* table : kSchemaTables)
        sql += std::string("SELECT T.RDB$DB_KEY, T.RDB$RECORD_VERSION, T.* FROM ") + table + " T;\n";
    sql += "SET BLOBDISPLAY ALL;\n";
    for (const std::string& table : tables)
        sql += "SELECT T.RDB$DB_KEY, T.RDB$RECORD_VERSION, T.* FROM " + quotedName(table) + " T;\n";
    for (const std::string& generator : generators)
        sql += "SELECT '" + generator + "' AS GENERATOR, GEN_ID(" + quotedName(generator) +
               ", 0) AS CURRENT_VALUE FROM RDB$DATABASE;\n";
    out += TestServer::instance().isqlChecked(database.connectionString(), sql, database.dialect());
    return out;
}

long long writesOfOtherAttachments(const ScratchDatabase& database) {
    return std::stoll(database.queryValue(
        "SELECT COALESCE(SUM(R.MON$RECORD_INSERTS + R.MON$RECORD_UPDATES + R.MON$RECORD_DELETES), 0) "
        "FROM MON$ATTACHMENTS A JOIN MON$RECORD_STATS R ON R.MON$STAT_ID = A.MON$STAT_ID "
        "WHERE A.MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND A.MON$SYSTEM_FLAG = 0"));
}

// ---- Session ------------------------------------------------------------------------------------

Session::Session(const ScratchDatabase& database) {
    m_tr.setDefaultDatabase(&m_db);
    m_db.setDefaultTransaction(&m_tr);
    m_db.setDatabaseName(database.connectionString());
    m_db.Params().Add("user_name=" + database.user());
    m_db.Params().Add("password=" + database.password());
    m_db.setConnected(true);
}

Session::~Session() {
    if (m_tr.Active()) {
        try {
            m_tr.Rollback();
        } catch (...) {
            // The detach below ends the transaction by force.
        }
    }
    m_db.forceClose();
}

std::vector<std::string> Session::rows(const std::string& sql) {
    data::TIBSQL statement;
    statement.setDatabase(&m_db);
    statement.setTransaction(&m_tr);
    statement.SQL().Add(sql);
    statement.ExecQuery();
    std::vector<std::string> result;
    while (!statement.Eof()) {
        std::string row;
        for (int i = 0; i < statement.FieldCount(); ++i) {
            if (i > 0)
                row += " | ";
            row += statement.Fields(i).IsNull() ? "<null>" : statement.Fields(i).AsString();
        }
        result.push_back(row);
        statement.Next();
    }
    statement.Close();
    return result;
}

std::string withoutServerNumber(const std::string& name) {
    if (startsWith(name, "RDB$") && name.size() > 4 &&
        std::all_of(name.begin() + 4, name.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
        return "RDB$#";
    return name;
}

// ---- Window -------------------------------------------------------------------------------------

Window::Window(const ScratchDatabase& source, const ScratchDatabase& target) {
    m_form = std::make_unique<app::TForm1>();
    app::TForm1& f = *m_form;
    fillRows(f, source, target);
    const std::vector<std::string> connectMessages = [&] {
        auto first = click(f.Button2);
        auto second = click(f.Button3);
        first.insert(first.end(), second.begin(), second.end());
        return first;
    }();
    if (!f.IBDatabase1().Connected() || !f.IBDatabase2().Connected()) {
        std::string shown;
        for (const std::string& m : connectMessages)
            shown += "\n" + m;
        throw std::runtime_error("the window did not connect both rows:" + shown);
    }
}

Window::~Window() {
    close();
}

std::vector<std::string> Window::click(QPushButton* button) {
    m_recorder.messages.clear();
    button->click();
    QApplication::processEvents();
    return m_recorder.messages;
}

std::string Window::processLog() const {
    return m_form->Memo1->toPlainText().toStdString();
}

std::string Window::errorLog() const {
    return m_form->Memo3->toPlainText().toStdString();
}

void Window::close() {
    if (m_form) {
        m_form->shutdownSessions();
        m_form.reset();
    }
}

std::string paneText(const std::vector<std::string>& entries) {
    QStringList lines;
    for (const std::string& entry : entries)
        lines << app::displayText(entry);
    return lines.join(QLatin1Char('\n')).toStdString();
}

const std::vector<ProcessButton>& processButtons() {
    static const std::vector<ProcessButton> buttons = {
        {"1-CRIAR GENERATOR", [](app::TForm1& f) { return f.Button6; }, {"Processo concluido!"}},
        {"2-CRIAR EXCEPTION", [](app::TForm1& f) { return f.Button9; }, {"Processo concluido!"}},
        {"3-COMPARAR DOMAINS", [](app::TForm1& f) { return f.Button10; }, {"Processo concluido!"}},
        {"4-COMPARAR TABELAS/VIEWS", [](app::TForm1& f) { return f.INICIAR; }, {}},
        {"5-COMPARAR PROCEDURES",
         [](app::TForm1& f) { return f.Button5; },
         {"Comparação de procedure finalizada;"}},
        {"6-COMPARAR TRIGGERS", [](app::TForm1& f) { return f.Button7; }, {"Processo finalizado!"}},
        {"7-COMPARAR  INDICES", [](app::TForm1& f) { return f.Button11; }, {"Processo finalizado!"}},
        {"8-COMPARAR CONSTRAINTS", [](app::TForm1& f) { return f.Button12; }, {"Processo finalizado!"}},
    };
    return buttons;
}

const std::vector<ProcessButton>& sevenButtons() {
    static const std::vector<ProcessButton> seven(processButtons().begin(), processButtons().begin() + 7);
    return seven;
}

namespace {

const std::regex& summaryLine() {
    static const std::regex line(
        R"(\n\[[1-8] [^\]\n]+\] [^:\n]+: percorridos [0-9]+, faltando [0-9]+, criados [0-9]+, falhas [0-9]+)");
    return line;
}

} // namespace

std::string withoutSummaryLines(const std::string& log) {
    return std::regex_replace(log, summaryLine(), "");
}

std::vector<std::string> summaryLinesOf(const std::string& log) {
    std::vector<std::string> lines;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), summaryLine()); it != std::sregex_iterator();
         ++it)
        lines.push_back(it->str().substr(1));
    return lines;
}

} // namespace vistrel::test::integration
