// vistrel-sync: the processes of the window, run from the command line.
#include "app/cli/run.h"
#include "app/cli/signals.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// The program file, for the version text: the running executable when the system names it.
std::string programFile(const char* argv0) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        return self.string();
    return argv0 != nullptr ? argv0 : "";
}

vistrel::cli::Terminal standardErrorTerminal() {
    vistrel::cli::Terminal terminal;
    terminal.progress = ::isatty(STDERR_FILENO) == 1;
    winsize size{};
    if (terminal.progress && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        terminal.width = size.ws_col;
    return terminal;
}

} // namespace

int main(int argc, char* argv[]) {
    std::ios::sync_with_stdio(false);
    // Taken before the client library is loaded, and again after every attach.
    const vistrel::cli::CommandSignals signals;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return vistrel::cli::runCommand(arguments, vistrel::cli::processEnvironment(), std::cout, std::cerr,
                                    standardErrorTerminal(), programFile(argc > 0 ? argv[0] : nullptr));
}
