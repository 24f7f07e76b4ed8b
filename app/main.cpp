// Program block VISTREL: creates the main window and runs the event loop until it closes.
#include "app/program.h"
#include "app/startup.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

int main(int argc, char* argv[]) {
    // --help, --version and a missing display are answered before any window system is loaded.
    std::error_code error;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", error).string();
    const auto environment = [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    if (const std::optional<int> status =
            vistrel::app::answerBeforeTheWindow(std::vector<std::string>(argv + 1, argv + argc), environment,
                                                error ? std::string(argv[0]) : self, std::cout, std::cerr))
        return *status;
    return vistrel::app::runProgram(argc, argv);
}
