#pragma once

// The exchange between the operator's text (Unicode) and the report's code page 932 bytes,
// shared by the dialog program and the command-line converter. In code page 932 the bytes
// 0x00-0x7F are their ASCII characters, both ways, on every path: the same character always
// gives the same byte, whatever else is on its line.

#include <QString>
#include <QStringDecoder>
#include <QStringView>
#include <functional>
#include <string>
#include <string_view>

namespace telvane {

// True when the toolkit can convert code page 932 (its ICU support is present).
bool Cp932Available();

// Encodes text as code page 932. A character that code page 932 cannot hold becomes '?'.
std::string ToCp932(QStringView text);

// Decodes code page 932 bytes; bytes that are not code page 932 become the converter's
// substitution character.
QString FromCp932(std::string_view bytes);

// Hands `bytes` as UTF-8 to `sink` in pieces of about `pieceSize` bytes, so that a large report
// never needs a whole second copy of itself.
void ForEachUtf8Piece(std::string_view cp932, const std::function<void(std::string_view)>& sink,
                      std::size_t pieceSize = 1 << 16);

// True when every byte is ASCII, which code page 932 and UTF-8 read alike: such text needs no
// converter.
bool IsPlainAscii(std::string_view bytes);

// True when bytes are well-formed UTF-8 (no overlong forms, surrogates or truncated sequences).
bool IsValidUtf8(std::string_view bytes);

// UTF-8 arriving in pieces (a long line read block by block), encoded to code page 932 as it
// comes; a character split between two pieces is joined.
class Utf8ToCp932 {
public:
    Utf8ToCp932();
    // Appends the code page 932 bytes of `utf8` to `out`; false once the UTF-8 is malformed.
    bool Add(std::string_view utf8, std::string& out);
    // False when the text ended inside a character.
    bool Finish();

private:
    QStringDecoder m_decoder;
};

}  // namespace telvane
