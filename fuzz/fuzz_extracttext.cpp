// Fuzz target: the extractor's line-list rules and identifier quoting on arbitrary bytes.
#include "data/strings.h"
#include "extract/extracttext.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Every line break (CR LF, lone CR, lone LF) written as CR LF.
std::string normaliseBreaks(const std::string& in) {
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\r') {
            out += "\r\n";
            if (i + 1 < in.size() && in[i + 1] == '\n')
                ++i;
        } else if (in[i] == '\n') {
            out += "\r\n";
        } else {
            out += in[i];
        }
    }
    return out;
}

bool endsWithBreak(const std::string& s) {
    return s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Setting a list from a text and reading it back gives the text with CR LF breaks and one
    // break at the end.
    vistrel::data::TStringList list;
    list.SetText(text);
    std::string expected = normaliseBreaks(text);
    if (!expected.empty() && !endsWithBreak(expected))
        expected += "\r\n";
    if (list.Text() != expected)
        std::abort();

    // Re-splitting after appending keeps every character of both parts.
    vistrel::data::TStringList head;
    head.Add("CREATE VIEW \"V\" (");
    vistrel::extract::appendResplit(head, text);
    std::string joined = normaliseBreaks(std::string("CREATE VIEW \"V\" (\r\n") + text);
    if (!endsWithBreak(joined))
        joined += "\r\n";
    if (head.Text() != joined)
        std::abort();

    // A quoted identifier is enclosed in quotes and un-doubling gives the value back.
    const std::string q = vistrel::extract::quoteIdentifier(3, text);
    if (q.size() < 2 || q.front() != '"' || q.back() != '"')
        std::abort();
    std::string undoubled;
    for (size_t i = 1; i + 1 < q.size(); ++i) {
        undoubled += q[i];
        if (q[i] == '"') {
            if (q[i + 1] != '"')
                std::abort();
            ++i;
        }
    }
    if (undoubled != text)
        std::abort();
    (void)vistrel::extract::quoteIdentifier(1, text);
    return 0;
}
