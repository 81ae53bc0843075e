#pragma once

#include <string>

namespace telvane {

// Code page 932 case mapping. Only single-byte ASCII letters change case; a double-byte
// character (lead byte 0x81-0x9F or 0xE0-0xFC, then its trail byte) is kept whole, even when
// its trail byte looks like an ASCII letter.
void MakeUpperMb(std::string& text);
void MakeLowerMb(std::string& text);

// True for the first byte of a code page 932 double-byte character.
bool IsLeadByte(unsigned char byte);

}  // namespace telvane
