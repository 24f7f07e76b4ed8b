#include "bench/isqlapply.h"

#include "tests/support/testserver.h"

#include <chrono>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace vistrel::bench {

namespace {

// Section header comments that isql-fb -x writes, and the process that handles those objects.
struct Header {
    std::string_view start;
    int process;
};
constexpr Header kHeaders[] = {
    {"/*  Generators or sequences */", 1},
    {"/*  Exceptions */", 2},
    {"/* Domain definitions */", 3},
    {"/* Domain constraints */", 3},
    {"/* Table: ", 4},
    {"/* View: ", 4},
    {"/* Stored procedures headers */", 5},
    {"/* Stored procedures bodies */", 5},
    {"/* Triggers only will work for SQL triggers */", 6},
    {"/*  Index definitions for all user tables */", 7},
};

bool startsWith(std::string_view line, std::string_view prefix) {
    return line.substr(0, prefix.size()) == prefix;
}

// "SET TERM ^ ;" written with the terminator in force: the new terminator, or empty.
std::string newTerminator(std::string_view line, const std::string& current) {
    if (!startsWith(line, "SET TERM "))
        return {};
    std::string_view rest = line.substr(9);
    const size_t blank = rest.find(' ');
    if (blank == std::string_view::npos)
        return {};
    std::string_view tail = rest.substr(blank);
    while (!tail.empty() && (tail.back() == ' ' || tail.back() == '\r'))
        tail.remove_suffix(1);
    while (!tail.empty() && tail.front() == ' ')
        tail.remove_prefix(1);
    if (tail != current)
        return {};
    return std::string(rest.substr(0, blank));
}

} // namespace

std::vector<IsqlSection> splitExtractedScript(const std::string& extracted) {
    std::vector<IsqlSection> sections;
    std::string terminator = ";";
    bool autoddl = true;
    IsqlSection current{0, "(preamble)", {}};

    auto finish = [&]() {
        if (current.process != 0 || !current.script.empty()) {
            current.script += "COMMIT WORK" + terminator + "\n";
            sections.push_back(current);
        }
    };

    std::istringstream in(extracted);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        int process = -1;
        for (const Header& h : kHeaders)
            if (startsWith(line, h.start))
                process = h.process;
        // Table and view sections follow one another under a header each: one section per kind.
        const bool sameKind =
            process == current.process && (startsWith(line, "/* Table: ") || startsWith(line, "/* View: "));
        if (process >= 0 && !sameKind) {
            finish();
            current = IsqlSection{process, line, {}};
            if (terminator != ";")
                current.script += "SET TERM " + terminator + " ;\n";
            if (!autoddl)
                current.script += "SET AUTODDL OFF" + terminator + "\n";
        }
        if (const std::string t = newTerminator(line, terminator); !t.empty())
            terminator = t;
        if (startsWith(line, "SET AUTODDL OFF"))
            autoddl = false;
        if (startsWith(line, "SET AUTODDL ON"))
            autoddl = true;
        current.script += line + "\n";
    }
    finish();
    // The preamble (dialect, the commented CREATE DATABASE) carries nothing to apply.
    std::vector<IsqlSection> out;
    for (IsqlSection& s : sections)
        if (s.process != 0)
            out.push_back(std::move(s));
    return out;
}

std::array<double, 8> applySections(const std::vector<IsqlSection>& sections, const std::string& connection) {
    std::array<double, 8> seconds{};
    const test::TestServer& server = test::TestServer::instance();
    for (const IsqlSection& s : sections) {
        const auto start = std::chrono::steady_clock::now();
        server.isqlChecked(connection, s.script);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        seconds[static_cast<size_t>(s.process)] += took.count();
    }
    return seconds;
}

} // namespace vistrel::bench
