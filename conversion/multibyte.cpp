#include "multibyte.h"

namespace telvane {
namespace {

bool IsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Shifts the ASCII letters in [first, last] by `delta`, stepping over double-byte characters.
void ShiftAsciiLetters(std::string& text, char first, char last, int delta) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char byte = text[i];
        if (IsLeadByte(static_cast<unsigned char>(byte))) {
            ++i;  // the trail byte belongs to this character
        } else if (byte >= first && byte <= last) {
            text[i] = static_cast<char>(byte + delta);
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
