// The executable's fixed version record: the signature 0xFEEF04BD followed by the file version as
// two 32-bit words, most significant first (major and minor in the first, release and build in
// the second), each stored little-endian. GetBuildInfo finds it by scanning the program file.
// The numbers come from the build's project version.
#include <cstdint>

namespace {

constexpr uint32_t kFileVersionMS = (uint32_t{VISTREL_VERSION_MAJOR} << 16) | VISTREL_VERSION_MINOR;
constexpr uint32_t kFileVersionLS = (uint32_t{VISTREL_VERSION_PATCH} << 16) | VISTREL_VERSION_TWEAK;

constexpr unsigned char byteOf(uint32_t word, int index) {
    return static_cast<unsigned char>((word >> (8 * index)) & 0xFF);
}

#define VISTREL_WORD_BYTES(word) byteOf(word, 0), byteOf(word, 1), byteOf(word, 2), byteOf(word, 3)

__attribute__((used)) const unsigned char kVersionRecord[12] = {
    VISTREL_WORD_BYTES(0xFEEF04BDu),
    VISTREL_WORD_BYTES(kFileVersionMS),
    VISTREL_WORD_BYTES(kFileVersionLS),
};

#undef VISTREL_WORD_BYTES

} // namespace
