#pragma once
// What the window program answers before it builds any window, so that no Qt platform is needed
// for it: --help, --version (-V), and a system without a display, which it names in one line
// instead of letting the window system abort.
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vistrel::app {

// Looks up an environment variable; nothing when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The exit status when the program ends here (after writing to `out` or `err`), nothing when the
// window is to open. `arguments` leaves out the program name.
std::optional<int> answerBeforeTheWindow(const std::vector<std::string>& arguments,
                                         const EnvironmentLookup& environment, const std::string& programPath,
                                         std::ostream& out, std::ostream& err);

} // namespace vistrel::app
