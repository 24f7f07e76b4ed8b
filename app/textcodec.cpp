#include "app/textcodec.h"

#include <array>
#include <cstdint>

namespace vistrel::app {
namespace {

// Windows-1252 for 0x80..0x9F; the five bytes the code page leaves undefined map to the C1
// control of the same value, as the system's own conversion does.
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

// Length of the well-formed UTF-8 sequence starting at text[pos] (2 to 4), or 0 when the bytes
// there are not one. Overlong forms, surrogates and code points past U+10FFFF are not
// well-formed.
size_t utf8Sequence(const std::string& text, size_t pos, char32_t& codePoint) {
    const auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = at(pos);
    size_t length = 0;
    char32_t value = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
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
        value = (value << 6) | (c & 0x3F);
    }
    codePoint = value;
    return length;
}

} // namespace

QString decodeText(const std::string& bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    size_t pos = 0;
    while (pos < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[pos]);
        if (byte < 0x80) {
            out.append(QChar(byte));
            ++pos;
            continue;
        }
        char32_t codePoint = 0;
        if (const size_t length = utf8Sequence(bytes, pos, codePoint); length != 0) {
            const char32_t one[1] = {codePoint};
            out.append(QString::fromUcs4(one, 1));
            pos += length;
        } else {
            out.append(QChar(cp1252(byte)));
            ++pos;
        }
    }
    return out;
}

QString displayText(const std::string& bytes) {
    QString text = decodeText(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

std::string toBytes(const QString& text) {
    return text.toStdString();
}

} // namespace vistrel::app
