// Both rows reaching one database, through another spelling of the host and the path: the target's
// "Conectar" refuses it, every process refuses to run, and the source is never written.
#include "app/panel.h"
#include "sync/guard.h"
#include "tests/integration/schemacompare.h"
#include "tests/support/testserver.h"

#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vistrel::test::integration {
namespace {

TEST(SameDatabase, OnBothRowsIsRefusedAndTheSourceIsNeverWritten) {
    ScratchDatabase source("origem", "fatura.fdb", {.script = sqlScript("demo_source.sql")});
    ScratchDatabase other("destino", "fatura.fdb");
    const std::string before = fingerprint(source);

    Window window(source, other);
    app::TForm1& f = window.form();
    // The target row now names the source's file by another host name and another path.
    const TestServer& server = TestServer::instance();
    f.ip2->setText(QString::fromStdString("localhost/" + std::to_string(server.port())));
    f.banco2->setText(QString::fromStdString((source.folder() / ".").string()));

    const std::vector<std::string> refused{sync::kSameDatabaseMessage};
    EXPECT_EQ(window.click(f.Button3), refused);
    EXPECT_FALSE(f.IBDatabase2().Connected());
    EXPECT_EQ(f.status2->Color(), app::kLampRed);

    const std::string logBefore = window.processLog();
    for (QPushButton* button :
         {f.Button6, f.Button9, f.Button10, f.INICIAR, f.Button5, f.Button7, f.Button11}) {
        SCOPED_TRACE(button->text().toStdString());
        EXPECT_EQ(window.click(button), refused);
    }
    // Process 5 clears the log before its guards; nothing else is written anywhere.
    EXPECT_TRUE(window.processLog().empty() || window.processLog() == logBefore) << window.processLog();
    EXPECT_TRUE(window.errorLog().empty()) << window.errorLog();

    window.close();
    EXPECT_EQ(fingerprint(source), before);
}

} // namespace
} // namespace vistrel::test::integration
