#pragma once
// isql-fb as the yardstick: the source's DDL extracted with `isql-fb -x`, cut into its sections
// and applied section by section onto a fresh empty database, each section timed.
#include <array>
#include <string>
#include <vector>

namespace vistrel::bench {

// One section of the extracted script, ready to run on its own: it starts with the statement
// terminator and AUTODDL setting in force where it stood and ends with a COMMIT.
struct IsqlSection {
    int process = 0; // the process that handles these objects (1 to 7); 0: other
    std::string header;
    std::string script;
};

// Cuts the output of `isql-fb -x` at its section header comments.
std::vector<IsqlSection> splitExtractedScript(const std::string& extracted);

// Seconds spent per process (index 1 to 7; 0 collects sections of no process) applying the
// sections in order onto the database named by `connection`, one isql-fb run per section.
// Throws when a section fails.
std::array<double, 8> applySections(const std::vector<IsqlSection>& sections, const std::string& connection);

} // namespace vistrel::bench
