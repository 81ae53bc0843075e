#include "cp932.h"

#include <QStringEncoder>
#include <algorithm>

namespace telvane {
namespace {

constexpr const char* kCodePageName = "windows-31j";

QByteArrayView BytesOf(std::string_view bytes) {
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool IsAsciiByte(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

// Lead bytes of code page 932's double-byte characters.
bool IsLeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Length in UTF-16 units of the character starting at `index`: a surrogate pair is one character.
qsizetype CharacterLength(QStringView text, qsizetype index) {
    const bool pair = text[index].isHighSurrogate() && index + 1 < text.size() &&
                      text[index + 1].isLowSurrogate();
    return pair ? 2 : 1;
}

// Encodes text without ASCII characters. Each character code page 932 cannot hold becomes
// exactly one '?', whatever the converter substitutes.
void AppendNonAscii(QStringView text, std::string& out) {
    QStringEncoder whole(kCodePageName, QStringConverter::Flag::Stateless);
    const QByteArray bytes = whole.encode(text);
    if (!whole.hasError()) {
        out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return;
    }
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = CharacterLength(text, i);
        // A fresh encoder each time: the error flag is sticky.
        QStringEncoder one(kCodePageName, QStringConverter::Flag::Stateless);
        const QByteArray character = one.encode(text.mid(i, length));
        if (one.hasError()) {
            out += '?';
        } else {
            out.append(character.constData(), static_cast<std::size_t>(character.size()));
        }
        i += length;
    }
}

void AppendCp932(QStringView text, std::string& out) {
    for (qsizetype i = 0; i < text.size();) {
        qsizetype end = i;
        while (end < text.size() && text[end].unicode() < 0x80) {
            ++end;
        }
        for (; i < end; ++i) {
            out += static_cast<char>(text[i].unicode());
        }
        while (end < text.size() && text[end].unicode() >= 0x80) {
            ++end;
        }
        if (end > i) {
            AppendNonAscii(text.sliced(i, end - i), out);
            i = end;
        }
    }
}

// The end of the run of characters starting at `i` that are all ASCII (`ascii`) or all not;
// a double-byte character counts as one, trail byte included.
std::size_t RunEnd(std::string_view bytes, std::size_t i, bool ascii) {
    while (i < bytes.size() && IsAsciiByte(bytes[i]) == ascii) {
        i += !ascii && IsLeadByte(bytes[i]) && i + 1 < bytes.size() ? 2 : 1;
    }
    return std::min(i, bytes.size());
}

}  // namespace

bool Cp932Available() {
    return QStringEncoder(kCodePageName).isValid();
}

bool IsPlainAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), IsAsciiByte);
}

std::string ToCp932(QStringView text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    AppendCp932(text, out);
    return out;
}

QString FromCp932(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        const bool ascii = IsAsciiByte(bytes[i]);
        const std::size_t end = RunEnd(bytes, i, ascii);
        const std::string_view run = bytes.substr(i, end - i);
        if (ascii) {
            out += QLatin1StringView(run.data(), static_cast<qsizetype>(run.size()));
        } else {
            QStringDecoder decoder(kCodePageName, QStringConverter::Flag::Stateless);
            out += decoder.decode(BytesOf(run));
        }
        i = end;
    }
    return out;
}

void ForEachUtf8Piece(std::string_view cp932, const std::function<void(std::string_view)>& sink,
                      std::size_t pieceSize) {
    while (!cp932.empty()) {
        std::size_t end = 0;
        while (end < cp932.size() && end < pieceSize) {
            end += IsLeadByte(cp932[end]) ? 2 : 1;  // never split a double-byte character
        }
        end = std::min(end, cp932.size());
        const std::string_view piece = cp932.substr(0, end);
        if (IsPlainAscii(piece)) {
            sink(piece);  // the same bytes in UTF-8: nearly every beacon line
        } else {
            const QByteArray utf8 = FromCp932(piece).toUtf8();
            sink(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        }
        cp932.remove_prefix(end);
    }
}

bool IsValidUtf8(std::string_view bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                       QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(BytesOf(bytes));  // decoding happens on conversion
    return !decoder.hasError();
}

// A byte order mark inside the text is a character like any other.
Utf8ToCp932::Utf8ToCp932()
    : m_decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom) {}

bool Utf8ToCp932::Add(std::string_view utf8, std::string& out) {
    const QString text = m_decoder.decode(BytesOf(utf8));
    if (m_decoder.hasError()) {
        return false;
    }
    AppendCp932(text, out);
    return true;
}

bool Utf8ToCp932::Finish() {
    // A character left open by the last piece makes the line end that follows it malformed.
    const QString end = m_decoder.decode(QByteArrayView("\n"));
    return !m_decoder.hasError();
}

}  // namespace telvane
