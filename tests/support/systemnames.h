#pragma once
// Names as the processes read them from the system tables.
#include <string>
#include <string_view>

namespace vistrel::test {

// A name as a process reads it from a system table: padded with blanks to 93 bytes.
inline std::string padded(std::string_view name) {
    std::string out(name);
    if (out.size() < 93)
        out.append(93 - out.size(), ' ');
    return out;
}

} // namespace vistrel::test
