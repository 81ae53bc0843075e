#include "multibyte.h"

namespace telvane {
bool IsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

namespace {

// Shifts the ASCII letters in [first, last] by `delta`, stepping over double-byte characters.
void ShiftAsciiLetters(std::string& text, char first, char last, int delta) {
    char* const bytes = text.data();
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        const char byte = bytes[i];
        if (IsLeadByte(static_cast<unsigned char>(byte))) {
            ++i;  // the trail byte belongs to this character
        } else if (byte >= first && byte <= last) {
            bytes[i] = static_cast<char>(byte + delta);
        }
    }
}

}  // namespace

void MakeUpperMb(std::string& text) {
    ShiftAsciiLetters(text, 'a', 'z', 'A' - 'a');
}

void MakeLowerMb(std::string& text) {
    ShiftAsciiLetters(text, 'A', 'Z', 'a' - 'A');
}

}  // namespace telvane
