#include "app/cli/output.h"

#include "app/displaytext.h"

namespace vistrel::cli {

namespace {

// Moves to the start of the line and erases it.
constexpr char kEraseLine[] = "\r\033[K";

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Each line of the text without the blanks and tabs at its end.
std::string withoutTrailingBlanks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        const std::string line =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const size_t last = line.find_last_not_of(" \t");
        out.append(line, 0, last == std::string::npos ? 0 : last + 1);
        if (end == std::string::npos)
            return out;
        out += '\n';
        start = end + 1;
    }
}

} // namespace

Output::Output(std::ostream& out, std::ostream& err, bool progress, int width)
    : m_out(out), m_err(err), m_progressEnabled(progress), m_width(width < 20 ? 20 : width) {}

Output::~Output() {
    clearProgress();
}

void Output::processEntry(const std::string& bytes) {
    if (m_quiet)
        return;
    write(m_out, app::displayUtf8(bytes));
}

void Output::errorEntry(const std::string& bytes) {
    write(m_err, app::displayUtf8(bytes));
}

void Output::outLine(const std::string& utf8) {
    write(m_out, utf8);
}

void Output::errLine(const std::string& utf8) {
    write(m_err, utf8);
}

void Output::write(std::ostream& stream, const std::string& utf8) {
    eraseProgress();
    stream << withoutTrailingBlanks(utf8) << '\n';
    stream.flush();
    drawProgress();
}

void Output::progress(const std::string& utf8) {
    if (!m_progressEnabled || utf8 == m_progress)
        return;
    m_progress = utf8;
    eraseProgress();
    drawProgress();
}

void Output::clearProgress() {
    eraseProgress();
    m_progress.clear();
}

void Output::eraseProgress() {
    if (!m_progressDrawn)
        return;
    m_err << kEraseLine;
    m_err.flush();
    m_progressDrawn = false;
}

void Output::drawProgress() {
    if (!m_progressEnabled || m_progress.empty())
        return;
    m_err << m_progress;
    m_err.flush();
    m_progressDrawn = true;
}

std::string progressLine(int number, const std::string& processName, int walked, int total,
                         const std::string& current, int width) {
    std::string line = "[" + std::to_string(number) + " " + processName + "] " + std::to_string(walked);
    if (total > 0)
        line += "/" + std::to_string(total);
    if (!current.empty()) {
        // A name arrives padded and may hold line breaks: one line, without the padding.
        std::string name = app::decodeToUtf8(current);
        for (char& c : name)
            if (c == '\r' || c == '\n' || c == '\t')
                c = ' ';
        const size_t end = name.find_last_not_of(' ');
        name = end == std::string::npos ? std::string() : name.substr(0, end + 1);
        line += " " + name;
    }
    // One column less than the terminal, so that the cursor never moves to a new line.
    const int columns = width - 1;
    int count = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (isContinuationByte(line[i]))
            continue;
        if (count == columns)
            return line.substr(0, i);
        ++count;
    }
    return line;
}

} // namespace vistrel::cli
