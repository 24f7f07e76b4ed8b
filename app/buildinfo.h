#pragma once
// Reading the fixed version record of a program file, and the version text that the window's
// label and the command's --version show.
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

// What comes before the version numbers in the version text.
inline constexpr char kVersionLabelPrefix[] = "V:";

// The version text of the program file: "V:" and its version ("V:2.0.9.0").
std::string versionLabelText(const std::string& path);

} // namespace vistrel::app
