#pragma once
// The same-name guard: the source and the target rows must name the same database file. The
// connection buttons apply it after an attach, every process before it starts.
#include "data/strings.h"

#include <string>

namespace vistrel::sync {

// The guard's warning; the carriage return, with one blank on either side, starts a second line.
inline constexpr char kSameNameGuardMessage[] =
    "Atenção \r É impossivel fazer uma comparação com bancos diferentes, por favor verifique as conexões!";

// Shown when both rows reach one and the same database: nothing is run then.
inline constexpr char kSameDatabaseMessage[] = "Atenção \r É impossivel fazer uma comparação de um banco com "
                                               "ele mesmo, por favor verifique as conexões!";

// Whether the two file names are the same once every character up to the blank is trimmed from
// both ends of each; letter case counts.
inline bool sameDatabaseFileName(const std::string& source, const std::string& target) {
    return data::trim(source) == data::trim(target);
}

// The file name as a row attaches it: without the blanks typed before it, which the server would
// read as part of the name (it drops those after it itself), so that a name the guard lets pass
// also reaches the file.
inline std::string attachedFileName(const std::string& typed) {
    return data::trimLeft(typed);
}

} // namespace vistrel::sync
