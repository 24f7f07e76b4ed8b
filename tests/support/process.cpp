#include "tests/support/process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <stdexcept>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vistrel::test {
namespace {

// A temporary file that is removed when the owner goes away.
class TempFile {
public:
    explicit TempFile(const std::string& contents) {
        std::string pattern = (std::filesystem::temp_directory_path() / "vistrel-proc-XXXXXX").string();
        int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            throw std::runtime_error("cannot create a temporary file: " + std::string(std::strerror(errno)));
        }
        m_path = pattern;
        std::size_t done = 0;
        while (done < contents.size()) {
            ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                int saved = errno;
                ::close(fd);
                std::filesystem::remove(m_path);
                throw std::runtime_error("cannot write a temporary file: " +
                                         std::string(std::strerror(saved)));
            }
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return m_path; }
    std::string read() const {
        std::ifstream in(m_path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::string m_path;
};

// posix_spawn file actions with guaranteed release.
class FileActions {
public:
    FileActions() { ::posix_spawn_file_actions_init(&m_actions); }
    ~FileActions() { ::posix_spawn_file_actions_destroy(&m_actions); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;

    void open(int fd, const std::string& path, int flags) {
        int rc = ::posix_spawn_file_actions_addopen(&m_actions, fd, path.c_str(), flags, 0600);
        if (rc != 0) {
            throw std::runtime_error("posix_spawn_file_actions_addopen: " + std::string(std::strerror(rc)));
        }
    }
    posix_spawn_file_actions_t* get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

} // namespace

namespace {

std::vector<char*> argumentVector(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    return args;
}

// The caller's environment, less the names that the extra entries set, and the extra entries.
std::vector<char*> environmentVector(const std::vector<std::string>& extraEnvironment) {
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string_view entry(*e);
        bool replaced = false;
        for (const std::string& extra : extraEnvironment) {
            std::string_view name = std::string_view(extra).substr(0, extra.find('=') + 1);
            if (entry.starts_with(name)) {
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            env.push_back(*e);
        }
    }
    for (const std::string& e : extraEnvironment) {
        env.push_back(const_cast<char*>(e.c_str()));
    }
    env.push_back(nullptr);
    return env;
}

// Standard input, output and error go through files: no pipe can fill up and block the child,
// and an early exit of the child cannot raise SIGPIPE here.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
            const TempFile& in, const TempFile& out, const TempFile& err) {
    if (argv.empty()) {
        throw std::invalid_argument("runProcess: empty command");
    }
    FileActions actions;
    actions.open(STDIN_FILENO, in.path(), O_RDONLY);
    actions.open(STDOUT_FILENO, out.path(), O_WRONLY | O_TRUNC);
    actions.open(STDERR_FILENO, err.path(), O_WRONLY | O_TRUNC);
    std::vector<char*> args = argumentVector(argv);
    std::vector<char*> env = environmentVector(extraEnvironment);
    pid_t pid = 0;
    int rc = ::posix_spawnp(&pid, argv[0].c_str(), actions.get(), nullptr, args.data(), env.data());
    if (rc != 0) {
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    }
    return pid;
}

int waitFor(pid_t pid, int options, bool* ended) {
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, options);
        if (r == pid) {
            *ended = true;
            return status;
        }
        if (r == 0) {
            *ended = false;
            return 0;
        }
        if (errno != EINTR) {
            throw std::runtime_error("waitpid: " + std::string(std::strerror(errno)));
        }
    }
}

ProcessResult resultOf(int status, const TempFile& out, const TempFile& err) {
    ProcessResult result;
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitCode = 128 + WTERMSIG(status);
        result.endedBySignal = WTERMSIG(status);
    }
    result.out = out.read();
    result.err = err.read();
    return result;
}

} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input,
                         const std::vector<std::string>& extraEnvironment) {
    TempFile in(input);
    TempFile out("");
    TempFile err("");
    const pid_t pid = spawn(argv, extraEnvironment, in, out, err);
    bool ended = false;
    const int status = waitFor(pid, 0, &ended);
    return resultOf(status, out, err);
}

struct RunningProcess::Files {
    TempFile in{""};
    TempFile out{""};
    TempFile err{""};
};

RunningProcess::RunningProcess(const std::vector<std::string>& argv,
                               const std::vector<std::string>& extraEnvironment)
    : m_files(new Files) {
    try {
        m_pid = spawn(argv, extraEnvironment, m_files->in, m_files->out, m_files->err);
    } catch (...) {
        delete m_files;
        throw;
    }
}

RunningProcess::~RunningProcess() {
    if (!m_waited) {
        ::kill(m_pid, SIGKILL);
        bool ended = false;
        try {
            waitFor(m_pid, 0, &ended);
        } catch (...) {
        }
    }
    delete m_files;
}

bool RunningProcess::ended() {
    if (m_waited) {
        return true;
    }
    bool ended = false;
    m_status = waitFor(m_pid, WNOHANG, &ended);
    m_waited = ended;
    return ended;
}

bool RunningProcess::signal(int number) {
    return !ended() && ::kill(m_pid, number) == 0;
}

ProcessResult RunningProcess::wait() {
    if (!m_waited) {
        bool ended = false;
        m_status = waitFor(m_pid, 0, &ended);
        m_waited = true;
    }
    return resultOf(m_status, m_files->out, m_files->err);
}

std::string RunningProcess::outSoFar() const {
    return m_files->out.read();
}

} // namespace vistrel::test
