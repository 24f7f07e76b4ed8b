#pragma once
// What the tests read from a database's system tables after a process ran, through isql
// (ScratchDatabase), never through the data layer under test.
#include "tests/support/scratchdatabase.h"

#include <string>
#include <string_view>
#include <vector>

namespace vistrel::test {

// The text as an SQL string literal's content: apostrophes doubled.
inline std::string literalText(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

// The relation's column names, trimmed, in position order.
inline std::vector<std::string> columnNames(const ScratchDatabase& db, const std::string& relation) {
    return db.queryRows("select trim(rdb$field_name) from rdb$relation_fields where rdb$relation_name = '" +
                        literalText(relation) + "' order by rdb$field_position");
}

// How many relations (tables and views) of that name the database holds: "0" or "1".
inline std::string relationCount(const ScratchDatabase& db, const std::string& name) {
    return db.queryValue("select count(*) from rdb$relations where rdb$relation_name = '" +
                         literalText(name) + "'");
}

} // namespace vistrel::test
