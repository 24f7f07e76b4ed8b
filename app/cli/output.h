#pragma once
// Where the command writes: the process log's entries on standard output, the error log's and
// every message about the run on standard error, each entry as the window shows it (UTF-8, one
// line per line of the entry). With a terminal on standard error, one progress line stands below
// the output and is redrawn in place; redirected, no progress is written at all.
#include <ostream>
#include <string>

namespace vistrel::cli {

class Output {
public:
    // `progress`: standard error is a terminal of `width` columns.
    Output(std::ostream& out, std::ostream& err, bool progress, int width = 80);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Quiet (-q): the process log's entries and the messages are left out; the error log, the
    // command's own lines and the summary stay.
    void setQuiet(bool quiet) noexcept { m_quiet = quiet; }

    // One entry, as the window shows it (its bytes decoded for display, its line breaks kept).
    // Every line goes out without its trailing blanks (catalogue names arrive padded).
    void processEntry(const std::string& bytes);
    void errorEntry(const std::string& bytes);
    // A line of the command's own (UTF-8 already).
    void outLine(const std::string& utf8);
    void errLine(const std::string& utf8);

    // Replaces the progress line; nothing happens without a terminal.
    void progress(const std::string& utf8);
    // Removes the progress line.
    void clearProgress();
    bool progressShown() const noexcept { return m_progressEnabled; }
    int width() const noexcept { return m_width; }

private:
    void write(std::ostream& stream, const std::string& utf8);
    void eraseProgress();
    void drawProgress();

    std::ostream& m_out;
    std::ostream& m_err;
    bool m_progressEnabled;
    int m_width;
    std::string m_progress;
    bool m_progressDrawn = false;
    bool m_quiet = false;
};

// The progress line's text: "[N name] walked[/total] current", cut to `width` columns (counted
// as UTF-8 characters) so that it never wraps.
std::string progressLine(int number, const std::string& processName, int walked, int total,
                         const std::string& current, int width);

} // namespace vistrel::cli
