#pragma once
// Reading the fixed version record of a program file.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace vistrel::app {

// The four file-version numbers (major, minor, release, build) of the first version record in
// the file, or nothing when the file cannot be read or holds no complete record.
std::optional<std::array<uint16_t, 4>> readFileVersion(const std::string& path);

// "%d.%d.%d.%d" of the file's version, or "1.0.0" when it has none.
std::string fileVersionText(const std::string& path);

} // namespace vistrel::app
