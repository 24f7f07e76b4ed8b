#pragma once
// What the command writes for a review before anything touches a production database: the script
// of the statements a run would send (for isql-fb -i), and the plan as a JSON report.
#include "sync/plan.h"

#include <string>
#include <vector>

namespace vistrel::cli {

// The statements in order as an isql script: SET TERM around them with a terminator that none of
// them holds, each statement on its own lines, a COMMIT at the end.
std::string isqlScript(const std::vector<std::string>& statements);

struct ReportHeader {
    std::string source;
    std::string target;
    std::string mode; // "run", "check", "dry-run" or "script"
    bool alter = false;
};

// The report: a JSON object with the header, every record that is not the same on both sides
// (kind, name, relation, action, differs, statements, refusals, outcome) and the counts by action.
std::string jsonReport(const ReportHeader& header, const std::vector<sync::Difference>& records);

// A JSON string literal of UTF-8 text.
std::string jsonString(const std::string& text);

// The outcome of each record after a run: "done" when the plan read after the run finds the object
// the same on both sides, "pending" when it still differs, "left_alone" for an object only in the
// target; the records keep the plan read before the run.
void setOutcomes(std::vector<sync::Difference>& before, const std::vector<sync::Difference>& after);

} // namespace vistrel::cli
