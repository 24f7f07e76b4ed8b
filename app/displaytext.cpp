#include "app/displaytext.h"

#include <array>
#include <cstdint>

namespace vistrel::app {
namespace {

// Windows-1252 for 0x80..0x9F.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t cp1252(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return kCp1252High[byte - 0x80];
    return byte;
}

void appendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Length of the well-formed UTF-8 sequence starting at text[pos] (2 to 4), or 0 when the bytes
// there are not one. Overlong forms, surrogates and code points past U+10FFFF are not
// well-formed.
size_t utf8Sequence(const std::string& text, size_t pos) {
    const auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = at(pos);
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (pos + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        const unsigned char c = at(pos + i);
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

} // namespace

std::string decodeToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t pos = 0;
    while (pos < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[pos]);
        if (byte < 0x80) {
            out += bytes[pos];
            ++pos;
        } else if (const size_t length = utf8Sequence(bytes, pos); length != 0) {
            out.append(bytes, pos, length);
            pos += length;
        } else {
            appendUtf8(out, cp1252(byte));
            ++pos;
        }
    }
    return out;
}

std::string displayUtf8(const std::string& bytes) {
    const std::string text = decodeToUtf8(bytes);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace vistrel::app
