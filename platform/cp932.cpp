#include "cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace telvane {
namespace {

constexpr const char* kCodePageName = "windows-31j";

QByteArrayView BytesOf(std::string_view bytes) {
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Length in UTF-16 units of the character starting at `index`: a surrogate pair is one character.
qsizetype CharacterLength(QStringView text, qsizetype index) {
    const bool pair = text[index].isHighSurrogate() && index + 1 < text.size() &&
                      text[index + 1].isLowSurrogate();
    return pair ? 2 : 1;
}

// Slow path for text that holds characters code page 932 lacks: encodes character by character
// so that each one it cannot hold becomes exactly one '?', whatever the converter substitutes.
std::string ToCp932ByCharacter(QStringView text) {
    std::string out;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = CharacterLength(text, i);
        // A fresh encoder each time: the error flag is sticky.
        QStringEncoder encoder(kCodePageName, QStringConverter::Flag::Stateless);
        const QByteArray bytes = encoder.encode(text.mid(i, length));
        if (encoder.hasError()) {
            out += '?';
        } else {
            out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        }
        i += length;
    }
    return out;
}

}  // namespace

bool Cp932Available() {
    return QStringEncoder(kCodePageName).isValid();
}

bool IsPlainAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

std::string ToCp932(QStringView text) {
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u' ' && c <= u'~'; })) {
        return QStringView(text).toLatin1().toStdString();
    }
    QStringEncoder encoder(kCodePageName, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError()) {
        return ToCp932ByCharacter(text);
    }
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString FromCp932(std::string_view bytes) {
    if (IsPlainAscii(bytes)) {
        return QString::fromLatin1(BytesOf(bytes));
    }
    QStringDecoder decoder(kCodePageName, QStringConverter::Flag::Stateless);
    return decoder.decode(BytesOf(bytes));
}

bool IsValidUtf8(std::string_view bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                       QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(BytesOf(bytes));  // decoding happens on conversion
    return !decoder.hasError();
}

}  // namespace telvane
