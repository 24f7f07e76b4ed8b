#pragma once
// An ordered list of text lines, as used for statement texts, parameter lists and extracted DDL.
#include <functional>
#include <string>
#include <vector>

namespace vistrel::data {

class TStringList {
public:
    TStringList() = default;
    TStringList(const TStringList& other) : m_items(other.m_items) {}
    TStringList& operator=(const TStringList& other);

    // Called before every change; may throw to refuse it.
    std::function<void()> OnChanging;
    // Called after every change.
    std::function<void()> OnChange;

    int Count() const noexcept { return static_cast<int>(m_items.size()); }
    const std::string& operator[](int i) const { return m_items.at(static_cast<size_t>(i)); }
    const std::vector<std::string>& items() const noexcept { return m_items; }

    void Add(const std::string& s);
    void Clear();
    void Delete(int i);
    void Assign(const std::vector<std::string>& items);

    // Every item followed by CR LF; empty list gives empty text.
    std::string Text() const;
    // Clears the list and splits text at CR LF, lone CR and lone LF; a break at the very end makes
    // no empty last item.
    void SetText(const std::string& text);

    // Name=value access. Names compare without regard to ASCII letter case.
    int IndexOfName(const std::string& name) const;
    std::string Values(const std::string& name) const;
    // Replaces the first line of that name by "name=value", or appends one.
    void SetValues(const std::string& name, const std::string& value);

private:
    void changing();
    void changed();
    std::vector<std::string> m_items;
};

// Splits text into lines by the list rules above.
std::vector<std::string> splitLines(const std::string& text);

// Helpers shared by several layers.
std::string trimRight(const std::string& s); // removes trailing characters <= ' '
std::string trimLeft(const std::string& s);  // removes leading characters <= ' '
std::string trim(const std::string& s);
std::string upperAscii(std::string s);
std::string lowerAscii(std::string s);
bool equalsIgnoreCase(const std::string& a, const std::string& b);
// Replaces every occurrence of what (letter case disregarded) by with.
std::string replaceAllIgnoreCase(const std::string& text, const std::string& what, const std::string& with);

} // namespace vistrel::data
