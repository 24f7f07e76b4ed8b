#include "data/strings.h"

#include <algorithm>
#include <cctype>

namespace vistrel::data {

TStringList& TStringList::operator=(const TStringList& other) {
    if (this != &other) {
        changing();
        m_items = other.m_items;
        changed();
    }
    return *this;
}

void TStringList::changing() {
    if (OnChanging)
        OnChanging();
}

void TStringList::changed() {
    if (OnChange)
        OnChange();
}

void TStringList::Add(const std::string& s) {
    changing();
    m_items.push_back(s);
    changed();
}

void TStringList::Clear() {
    changing();
    m_items.clear();
    changed();
}

void TStringList::Delete(int i) {
    changing();
    m_items.erase(m_items.begin() + i);
    changed();
}

void TStringList::Assign(const std::vector<std::string>& items) {
    changing();
    m_items = items;
    changed();
}

std::string TStringList::Text() const {
    std::string out;
    for (const auto& s : m_items) {
        out += s;
        out += "\r\n";
    }
    return out;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            out.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < n && text[i + 1] == '\n')
                ++i;
            ++i;
            continue;
        }
        cur += c;
        ++i;
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

void TStringList::SetText(const std::string& text) {
    Assign(splitLines(text));
}

int TStringList::IndexOfName(const std::string& name) const {
    for (size_t i = 0; i < m_items.size(); ++i) {
        auto eq = m_items[i].find('=');
        if (eq == std::string::npos)
            continue;
        if (equalsIgnoreCase(m_items[i].substr(0, eq), name))
            return static_cast<int>(i);
    }
    return -1;
}

std::string TStringList::Values(const std::string& name) const {
    int i = IndexOfName(name);
    if (i < 0)
        return {};
    const auto& line = m_items[static_cast<size_t>(i)];
    return line.substr(line.find('=') + 1);
}

void TStringList::SetValues(const std::string& name, const std::string& value) {
    int i = IndexOfName(name);
    changing();
    if (i < 0)
        m_items.push_back(name + "=" + value);
    else
        m_items[static_cast<size_t>(i)] = name + "=" + value;
    changed();
}

std::string trimRight(const std::string& s) {
    size_t end = s.size();
    while (end > 0 && static_cast<unsigned char>(s[end - 1]) <= ' ')
        --end;
    return s.substr(0, end);
}

std::string trimLeft(const std::string& s) {
    size_t b = 0;
    while (b < s.size() && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    return s.substr(b);
}

std::string trim(const std::string& s) {
    return trimLeft(trimRight(s));
}

std::string upperAscii(std::string s) {
    for (auto& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string lowerAscii(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
    return upperAscii(a) == upperAscii(b);
}

std::string replaceAllIgnoreCase(const std::string& text, const std::string& what, const std::string& with) {
    if (what.empty())
        return text;
    const std::string upText = upperAscii(text);
    const std::string upWhat = upperAscii(what);
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t hit = upText.find(upWhat, pos);
        if (hit == std::string::npos)
            break;
        out.append(text, pos, hit - pos);
        out += with;
        pos = hit + what.size();
    }
    out.append(text, pos, std::string::npos);
    return out;
}

} // namespace vistrel::data
