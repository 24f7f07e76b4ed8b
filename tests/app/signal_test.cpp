// SIGTERM, SIGINT and SIGHUP end the program as closing the window does, with exit status 0:
// while the start-up notice is up (the real program, build/app/vistrel), with both rows connected,
// and during a run, which stops at its next object with what it did committed and logged.
//
// The connected and running cases drive the window: this test program starts itself again with
// --scenario, and that child runs the program's own entry (app::runProgram, what main runs) with
// the window filled in and clicked. The child reports on descriptor 3 when it is connected and
// when the run has logged its first object; the parent then sends the signal.
#include "app/messagebox.h"
#include "app/program.h"
#include "app/unit1.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/testserver.h"
#include "tests/support/windowdriver.h"

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using vistrel::test::fillSource;
using vistrel::test::fillTarget;
using vistrel::test::RowFields;
using vistrel::test::ScratchDatabase;
using vistrel::test::ScratchOptions;

namespace {

constexpr int kStatusFd = 3;
constexpr int kGeneratorCount = 600;

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// ---- The child: the program with a scripted operator -------------------------------------------

void report(const char* line) {
    [[maybe_unused]] const ssize_t written = ::write(kStatusFd, line, std::char_traits<char>::length(line));
}

int runScenario(int argc, char** argv) {
    // No one answers message boxes here: they go to standard error.
    vistrel::app::setMessageBoxFunction(
        [](const std::string& text) { std::cerr << "message: " << text << std::endl; });
    const std::string kind = env("VISTREL_SCENARIO");
    return vistrel::app::runProgram(argc, argv, [kind](vistrel::app::TForm1& form) {
        auto row = [](const char* folder) {
            return RowFields{env("VISTREL_SCN_HOST"), env("VISTREL_SCN_USER"), env("VISTREL_SCN_PASSWORD"),
                             env(folder), env("VISTREL_SCN_FILE")};
        };
        fillSource(form, row("VISTREL_SCN_SOURCE_FOLDER"));
        fillTarget(form, row("VISTREL_SCN_TARGET_FOLDER"));
        form.Button2->click();
        form.Button3->click();
        if (!form.IBDatabase1().Connected() || !form.IBDatabase2().Connected()) {
            report("not connected\n");
            return;
        }
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&form] {
            std::ofstream log(env("VISTREL_SCN_LOG"), std::ios::binary);
            log << form.Memo1->toPlainText().toStdString();
        });
        if (kind == "connected") {
            report("connected\n");
            return;
        }
        form.criarauto->setChecked(true);
        auto reported = std::make_shared<bool>(false);
        QObject::connect(form.Memo1, &QPlainTextEdit::textChanged, [reported] {
            if (!*reported) {
                *reported = true;
                report("running\n");
            }
        });
        QTimer::singleShot(0, &form, [&form] { form.Button6->click(); });
    });
}

// ---- The parent ---------------------------------------------------------------------------------

struct Child {
    pid_t pid = -1;
    int status = -1; // read end of the child's descriptor 3, or -1
};

Child spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
            const std::string& errFile) {
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2");
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork");
    if (pid == 0) {
        ::dup2(fds[1], kStatusFd);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (err >= 0) {
            ::dup2(err, STDERR_FILENO);
            ::dup2(err, STDOUT_FILENO);
        }
        for (const std::string& entry : extraEnv)
            ::putenv(const_cast<char*>(entry.c_str()));
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    return {pid, fds[0]};
}

// Waits (at most `seconds`) for a line from the child's descriptor 3.
std::string readStatus(const Child& child, int seconds) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{child.status, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0)
            continue;
        char c = 0;
        if (::read(child.status, &c, 1) != 1)
            break;
        if (c == '\n')
            return line;
        line += c;
    }
    return line.empty() ? "<nothing>" : line;
}

// Whether the process has a handler of its own for the signal (SigCgt of /proc/PID/status).
bool catches(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return (mask >> (signal - 1)) & 1ULL;
        }
    }
    return false;
}

// The child's exit status (128 + signal when a signal ended it); after `seconds` it is killed
// and -1 is returned.
int waitExit(Child& child, int seconds) {
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        const pid_t done = ::waitpid(child.pid, &status, WNOHANG);
        if (done == child.pid) {
            ::close(child.status);
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(child.pid, SIGKILL);
    ::waitpid(child.pid, &status, 0);
    ::close(child.status);
    return -1;
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string tempPath(const std::string& name) {
    return testing::TempDir() + "vistrel_signal_" + std::to_string(::getpid()) + "_" + name;
}

std::string signalName(int signal) {
    return signal == SIGTERM ? "SIGTERM" : signal == SIGINT ? "SIGINT" : "SIGHUP";
}

const std::string& selfPath() {
    static const std::string path = [] {
        char buffer[4096] = {};
        const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    }();
    return path;
}

// Message boxes the child showed (each written as "message: ..." on its standard error).
int messageCount(const std::string& output) {
    int count = 0;
    for (size_t at = output.find("message: "); at != std::string::npos; at = output.find("message: ", at + 1))
        ++count;
    return count;
}

class IdleSignal : public testing::TestWithParam<int> {};

} // namespace

// The real program, its start-up notice up and nothing connected.
TEST_P(IdleSignal, RealProgramEndsWithStatusZero) {
    const int signal = GetParam();
    const std::string err = tempPath("idle.err");
    Child child = spawn({VISTREL_PROGRAM_FILE}, {"QT_QPA_PLATFORM=offscreen"}, err);
    bool ready = false;
    for (int i = 0; i < 600 && !ready; ++i) {
        ready = catches(child.pid, SIGTERM) && catches(child.pid, SIGINT) && catches(child.pid, SIGHUP);
        if (!ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(ready) << "the program never took the termination signals";
    ::kill(child.pid, signal);
    EXPECT_EQ(waitExit(child, 30), 0) << signalName(signal) << "; output:\n" << fileText(err);
}

INSTANTIATE_TEST_SUITE_P(Signals, IdleSignal, testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const testing::TestParamInfo<int>& param) { return signalName(param.param); });

class ProgramSignal : public testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string generators;
        for (int i = 0; i < kGeneratorCount; ++i)
            generators += "CREATE GENERATOR G_" + std::to_string(10000 + i) + ";\n";
        ScratchOptions options;
        options.sql = generators;
        source = new ScratchDatabase("sigsource", "fatura.fdb", options);
        target = new ScratchDatabase("sigtarget", "fatura.fdb");
    }
    static void TearDownTestSuite() {
        delete target;
        delete source;
    }

    std::vector<std::string> scenarioEnv(const std::string& kind, const std::string& log) const {
        return {"QT_QPA_PLATFORM=offscreen",
                "VISTREL_SCENARIO=" + kind,
                "VISTREL_SCN_HOST=" + source->host(),
                "VISTREL_SCN_USER=" + source->user(),
                "VISTREL_SCN_PASSWORD=" + source->password(),
                "VISTREL_SCN_SOURCE_FOLDER=" + source->folder().string(),
                "VISTREL_SCN_TARGET_FOLDER=" + target->folder().string(),
                "VISTREL_SCN_FILE=fatura.fdb",
                "VISTREL_SCN_LOG=" + log};
    }

    static std::set<std::string> targetGenerators() {
        std::set<std::string> names;
        for (const std::string& row :
             target->queryRows("SELECT RDB$GENERATOR_NAME FROM RDB$GENERATORS WHERE RDB$SYSTEM_FLAG = 0;"))
            names.insert(row);
        return names;
    }

    static ScratchDatabase* source;
    static ScratchDatabase* target;
};

ScratchDatabase* ProgramSignal::source = nullptr;
ScratchDatabase* ProgramSignal::target = nullptr;

TEST_F(ProgramSignal, ConnectedEndsWithStatusZeroAndDetaches) {
    for (int signal : {SIGTERM, SIGINT}) {
        const std::string err = tempPath("connected.err");
        Child child =
            spawn({selfPath(), "--scenario"}, scenarioEnv("connected", tempPath("connected.log")), err);
        ASSERT_EQ(readStatus(child, 60), "connected") << fileText(err);
        ::kill(child.pid, signal);
        EXPECT_EQ(waitExit(child, 30), 0) << signalName(signal) << "; output:\n" << fileText(err);
        EXPECT_EQ(messageCount(fileText(err)), 1) << "only the start-up notice: " << fileText(err);
    }
    // Both sessions detached as the program ended: nothing is left attached to either database
    // (the scratch databases fail the test otherwise when they are dropped).
    EXPECT_TRUE(targetGenerators().empty());
}

TEST_F(ProgramSignal, RunStopsAtItsNextObjectAndKeepsWhatItDid) {
    const std::string err = tempPath("run.err");
    const std::string log = tempPath("run.log");
    Child child = spawn({selfPath(), "--scenario"}, scenarioEnv("run", log), err);
    ASSERT_EQ(readStatus(child, 60), "running") << fileText(err);
    ::kill(child.pid, SIGTERM);
    ASSERT_EQ(waitExit(child, 60), 0) << fileText(err);

    // Every generator the log reports as created is on the target, committed at the end, and
    // nothing else is: the run stopped before the rest.
    std::set<std::string> logged;
    std::istringstream lines(fileText(log));
    const std::string prefix = "Generator Criado; ";
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) == 0) {
            std::string name = line.substr(prefix.size());
            name.erase(name.find_last_not_of(' ') + 1);
            logged.insert(name);
        }
    }
    const std::set<std::string> created = targetGenerators();
    EXPECT_FALSE(logged.empty());
    EXPECT_EQ(created, logged);
    EXPECT_LT(created.size(), static_cast<size_t>(kGeneratorCount)) << "the run did not stop";
    // The run ended silently: after the start-up notice no message, no completion text.
    EXPECT_EQ(messageCount(fileText(err)), 1) << fileText(err);
    EXPECT_EQ(fileText(err).find("Processo concluido"), std::string::npos) << fileText(err);
}

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--scenario") {
        int childArgc = 1;
        return runScenario(childArgc, argv);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
