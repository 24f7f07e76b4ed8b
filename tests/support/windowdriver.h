#pragma once
// What the window tests share: the connection rows filled from scratch databases (or from the
// fields of a row of their own), both rows connected, the panes' expected text, and the message
// box recorded (tests/support/messagerecorder.h). Header only: a window test links vistrel_app,
// the test support library does not.
#include "app/unit1.h"
#include "tests/support/messagerecorder.h"
#include "tests/support/scratchdatabase.h"

#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace vistrel::test {

inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// What one connection row holds: "Servidor"/"Cliente", "Usuário", "Senha", "Pasta do banco" and
// "Banco de dados".
struct RowFields {
    std::string host;
    std::string user;
    std::string password;
    std::string folder;
    std::string fileName;
};

// The row that reaches a scratch database, with the file name given.
inline RowFields rowFor(const ScratchDatabase& db, const std::string& fileName) {
    return {db.host(), db.user(), db.password(), db.folder().string(), fileName};
}

// The source row.
inline void fillSource(app::TForm1& form, const RowFields& row) {
    form.ip1->setText(q(row.host));
    form.usuario1->setText(q(row.user));
    form.senha1->setText(q(row.password));
    form.banco1->setText(q(row.folder));
    form.xbanco->setText(q(row.fileName));
}

// The target row.
inline void fillTarget(app::TForm1& form, const RowFields& row) {
    form.ip2->setText(q(row.host));
    form.usuario2->setText(q(row.user));
    form.senha2->setText(q(row.password));
    form.banco2->setText(q(row.folder));
    form.xbanco2->setText(q(row.fileName));
}

// The source row (host, user, password, folder) from a database, with the file name given.
inline void fillSource(app::TForm1& form, const ScratchDatabase& db, const std::string& fileName) {
    fillSource(form, rowFor(db, fileName));
}

// The target row, the same way.
inline void fillTarget(app::TForm1& form, const ScratchDatabase& db, const std::string& fileName) {
    fillTarget(form, rowFor(db, fileName));
}

// Both rows, each with its database's own file name.
inline void fillRows(app::TForm1& form, const ScratchDatabase& source, const ScratchDatabase& target) {
    fillSource(form, source, source.fileName());
    fillTarget(form, target, target.fileName());
}

// Both rows filled, then both "Conectar" buttons clicked.
inline void connectRows(app::TForm1& form, const ScratchDatabase& source, const ScratchDatabase& target) {
    fillRows(form, source, target);
    form.Button2->click();
    form.Button3->click();
}

// The pane's text for these entries: one paragraph per entry, CR LF shown as a line break.
inline QString paneText(const std::vector<std::string>& entries) {
    QStringList lines;
    for (const std::string& entry : entries)
        lines << q(entry).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return lines.join(QLatin1Char('\n'));
}

} // namespace vistrel::test
