#include <gtest/gtest.h>

#include "cp932.h"

namespace telvane {
namespace {

// Every ASCII character is its own byte, both ways, alone or beside a character that needs
// the converter.
TEST(Cp932, AsciiIsItsOwnByteOnEveryPath) {
    for (char16_t c = 0; c < 0x80; ++c) {
        const QString alone(QChar{c});
        const QString mixed = QStringLiteral("日") + QChar{c} + QStringLiteral("本");
        const std::string byte(1, static_cast<char>(c));
        EXPECT_EQ(ToCp932(alone), byte) << int(c);
        EXPECT_EQ(ToCp932(mixed), "\x93\xFA" + byte + "\x96\x7B") << int(c);
        EXPECT_EQ(FromCp932(byte), alone) << int(c);
        EXPECT_EQ(FromCp932("\x93\xFA" + byte + "\x96\x7B"), mixed) << int(c);
    }
}

TEST(Cp932, DoubleByteCharactersKeepTrailBytesThatLookLikeAscii) {
    EXPECT_EQ(FromCp932("\x83\x41\x81\x40Z"), QStringLiteral("ア　Z"));
    EXPECT_EQ(ToCp932(QStringLiteral("ア　Z")), "\x83\x41\x81\x40Z");
    EXPECT_EQ(ToCp932(QStringLiteral("é😀x")), "??x");  // one '?' per character it lacks
}

TEST(Utf8ToCp932, PiecesOfAnySizeGiveTheWholeLinesBytes) {
    const std::string utf8 = "ZK1 日本℃ é😀 \x1A\x7F end";
    std::string whole;
    Utf8ToCp932 once;
    ASSERT_TRUE(once.Add(utf8, whole));
    ASSERT_TRUE(once.Finish());
    EXPECT_EQ(whole, "ZK1 \x93\xFA\x96\x7B\x81\x8E ?? \x1A\x7F end");
    for (std::size_t size = 1; size <= 4; ++size) {
        std::string pieces;
        Utf8ToCp932 converter;
        for (std::size_t at = 0; at < utf8.size(); at += size) {
            ASSERT_TRUE(converter.Add(std::string_view(utf8).substr(at, size), pieces));
        }
        EXPECT_TRUE(converter.Finish());
        EXPECT_EQ(pieces, whole) << "pieces of " << size;
    }
}

TEST(Utf8ToCp932, FindsMalformedTextInAnyPiece) {
    const struct {
        std::string_view first;
        std::string_view second;
        bool addsFine;  // both pieces are accepted
        bool endsFine;  // and the text ends on a whole character
    } cases[] = {
        {"ZK1 \xE6\x97", "\xA5", true, true},    // a character split between pieces
        {"ZK1 \xE6\x97", "", true, false},       // the text ends inside a character
        {"ZK1 ", "\xC0\xAF", false, false},      // an overlong form
        {"ZK1 \xED\xA0\x80", "", false, false},  // a surrogate
        {"\xFF", "abc", false, false},
    };
    for (const auto& c : cases) {
        Utf8ToCp932 converter;
        std::string out;
        const bool added = converter.Add(c.first, out) && converter.Add(c.second, out);
        EXPECT_EQ(added, c.addsFine) << c.first;
        if (added) {
            EXPECT_EQ(converter.Finish(), c.endsFine) << c.first;
        }
    }
}

TEST(ForEachUtf8Piece, NeverSplitsACharacter) {
    const std::string cp932 = "ZK1\t\x93\xFA\x96\x7B\x81\x8E\x83\x41 abc \xB1";
    const QByteArray whole = FromCp932(cp932).toUtf8();
    for (std::size_t size = 1; size <= 5; ++size) {
        std::string joined;
        ForEachUtf8Piece(
            cp932,
            [&](std::string_view piece) {
                EXPECT_TRUE(IsValidUtf8(piece));
                joined += piece;
            },
            size);
        EXPECT_EQ(joined, whole.toStdString()) << "pieces of " << size;
    }
}

}  // namespace
}  // namespace telvane
