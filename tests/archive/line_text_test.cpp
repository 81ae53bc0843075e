// The UTF-8 copy of the received lines reads every byte as the code page 932 exchange does:
// ASCII as itself, everything else through the converter.

#include <gtest/gtest.h>

#include <QStringDecoder>
#include <algorithm>

#include "cp932.h"
#include "line_text.h"

namespace telvane::archive {
namespace {

QString ByTheConverter(const std::string& bytes) {
    QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

TEST(LineText, AgreesWithTheConverterForEveryByteAndForJapaneseText) {
    std::vector<std::string> lines = {"", "ZK1 \x83\x65\x83\x58\x83\x67 OK"};
    for (int c = 0; c < 256; ++c) {
        lines.push_back("ZK1 " + std::string(1, static_cast<char>(c)));
    }
    for (const std::string& line : lines) {
        const bool ascii = std::all_of(line.begin(), line.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        const QString expected =
            ascii ? QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()))
                  : ByTheConverter(line);
        std::string utf8;
        Utf8Of(line, utf8);
        EXPECT_EQ(utf8, expected.toStdString()) << line;
        EXPECT_EQ(FromCp932(line), expected) << line;
    }
}

TEST(LineText, TheExchangeEncodesAsciiAsItself) {
    for (char16_t c = 0; c < 0x80; ++c) {
        const QString text = QStringLiteral("ZK1 ") + QChar(c);
        EXPECT_EQ(ToCp932(text), "ZK1 " + std::string(1, static_cast<char>(c))) << int(c);
    }
}

}  // namespace
}  // namespace telvane::archive
