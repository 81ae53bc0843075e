#pragma once

// The exchange between the operator's text (Unicode) and the report's code page 932 bytes,
// shared by the dialog program and the command-line converter.

#include <QString>
#include <QStringView>
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

// True when every byte is printable ASCII (space to '~'), which code page 932, UTF-8 and
// Unicode all read alike: such text needs no converter. (The converter swaps a few control
// characters, so those are left to it.)
bool IsPlainAscii(std::string_view bytes);

// True when bytes are well-formed UTF-8 (no overlong forms, surrogates or truncated sequences).
bool IsValidUtf8(std::string_view bytes);

}  // namespace telvane
