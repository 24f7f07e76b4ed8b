#include "tests/support/process.h"

#include <cerrno>
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

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input,
                         const std::vector<std::string>& extraEnvironment) {
    if (argv.empty()) {
        throw std::invalid_argument("runProcess: empty command");
    }
    // Standard input, output and error go through files: no pipe can fill up and block the
    // child, and an early exit of the child cannot raise SIGPIPE here.
    TempFile in(input);
    TempFile out("");
    TempFile err("");

    FileActions actions;
    actions.open(STDIN_FILENO, in.path(), O_RDONLY);
    actions.open(STDOUT_FILENO, out.path(), O_WRONLY | O_TRUNC);
    actions.open(STDERR_FILENO, err.path(), O_WRONLY | O_TRUNC);

    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    // The caller's environment, less the names that the extra entries set.
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

    pid_t pid = 0;
    int rc = ::posix_spawnp(&pid, argv[0].c_str(), actions.get(), nullptr, args.data(), env.data());
    if (rc != 0) {
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("waitpid for " + argv[0] + ": " + std::strerror(errno));
        }
    }

    ProcessResult result;
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitCode = 128 + WTERMSIG(status);
    }
    result.out = out.read();
    result.err = err.read();
    return result;
}

} // namespace vistrel::test
