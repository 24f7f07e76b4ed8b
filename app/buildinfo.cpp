#include "app/buildinfo.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <vector>

namespace vistrel::app {
namespace {

uint32_t littleEndianWord(const unsigned char* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// The record's signature bytes, made at run time: written as one constant, the compiler would
// place the signature in the scanning code itself, and the scan could find the code instead of
// the record.
std::array<unsigned char, 4> signatureBytes() {
    static volatile uint32_t mask = 0x5A5A5A5Au;
    const uint32_t signature = 0xA4B55EE7u ^ mask; // 0xFEEF04BD
    return {static_cast<unsigned char>(signature), static_cast<unsigned char>(signature >> 8),
            static_cast<unsigned char>(signature >> 16), static_cast<unsigned char>(signature >> 24)};
}

} // namespace

std::optional<std::array<uint16_t, 4>> readFileVersion(const std::string& path) {
    constexpr size_t kRecordSize = 12;
    constexpr size_t kChunkSize = size_t{1} << 20;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    const auto signature = signatureBytes();
    const std::boyer_moore_horspool_searcher searcher(signature.begin(), signature.end());
    // The file is read in chunks; the unsearched tail of one chunk (a signature cut in two, or a
    // record not yet complete) stays in the window for the next.
    std::vector<unsigned char> window;
    for (;;) {
        const size_t kept = window.size();
        window.resize(kept + kChunkSize);
        file.read(reinterpret_cast<char*>(window.data() + kept), static_cast<std::streamsize>(kChunkSize));
        if (file.bad())
            return std::nullopt;
        const auto got = static_cast<size_t>(file.gcount());
        window.resize(kept + got);
        const bool atEnd = got < kChunkSize;
        const auto found = std::search(window.begin(), window.end(), searcher);
        if (found != window.end()) {
            if (static_cast<size_t>(window.end() - found) >= kRecordSize) {
                const unsigned char* record = &*found;
                const uint32_t ms = littleEndianWord(record + 4);
                const uint32_t ls = littleEndianWord(record + 8);
                return std::array<uint16_t, 4>{
                    static_cast<uint16_t>(ms >> 16), static_cast<uint16_t>(ms & 0xFFFF),
                    static_cast<uint16_t>(ls >> 16), static_cast<uint16_t>(ls & 0xFFFF)};
            }
            if (atEnd)
                return std::nullopt;
            window.erase(window.begin(), found);
            continue;
        }
        if (atEnd)
            return std::nullopt;
        const size_t keep = std::min(window.size(), signature.size() - 1);
        window.erase(window.begin(), window.end() - static_cast<std::ptrdiff_t>(keep));
    }
}

std::string fileVersionText(const std::string& path) {
    const auto version = readFileVersion(path);
    if (!version)
        return "1.0.0";
    const auto& v = *version;
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
           std::to_string(v[3]);
}

std::string versionLabelText(const std::string& path) {
    return kVersionLabelPrefix + fileVersionText(path);
}

} // namespace vistrel::app
