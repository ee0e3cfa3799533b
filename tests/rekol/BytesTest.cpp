#include "base/DecimalText.h"
#include "rekol/Crc32.h"
#include "rekol/QvRekolHeader.h"
#include "rekol/QvRekolUtil.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

// Blanks between hex digits are skipped.
static QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

TEST(RekolBytes, ByteAndTextConversions) {
    EXPECT_EQ(QvRekolUtil::toByteArray(quint16(13)), hex("0d00"));
    EXPECT_EQ(QvRekolUtil::toByteArray(qint64(0x0102030405060708)), hex("0807060504030201"));
    LogCapture log;
    EXPECT_EQ(rekol::toBinary("00ff7F"), hex("00ff7f"));
    EXPECT_EQ(rekol::toBinary("g1"), hex("01"));
    // A multi-byte character counts as its UTF-8 bytes, each a bad digit.
    EXPECT_EQ(rekol::toBinary(QString::fromUtf8("\xC3\xA9")), hex("00"));
    EXPECT_EQ(log.rekolLines(),
              QStringList(3, "[QvRekol] QvRekolUtil => error to convert byte to binary"));
    EXPECT_EQ(rekol::encode("abc"), hex("fcfffe"));
    EXPECT_EQ(rekol::encode(QString::fromUtf8("\xC3\xA9")), hex("5e34")); // C3 A9 each ^ 9D
    EXPECT_EQ(rekol::splitLines("a\r\nb\n\n\r\nc"), QStringList({"a", "b", "c"}));
    EXPECT_EQ(rekol::splitLines("a\rb\nc\r"), QStringList({"a\rb", "c\r"})); // lone CRs stay
}

TEST(DecimalText, AcceptsOnlyPlainDecimals) {
    // clang-format off
    const std::pair<const char*, std::optional<qint64>> cases[] = {
        {"+12", 12}, {"-9223372036854775808", INT64_MIN}, {"9223372036854775808", std::nullopt},
        {"", std::nullopt}, {"-", std::nullopt}, {" 5", std::nullopt}, {"5 ", std::nullopt},
        {"\xD9\xA3", std::nullopt}}; // the last a non-ASCII digit
    // clang-format on
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(DecimalText::parse(QString::fromUtf8(text)), expected) << text;
}

TEST(RekolPacket, Crc32AndFraming) {
    EXPECT_EQ(crc32(0, std::nullopt), 0u);
    EXPECT_EQ(crc32(0x1234, nullptr, 5), 0u);
    // Every split around the 8-byte unrolling gives the standard checksum.
    for (const auto& [text, crc] : {std::pair<QByteArray, quint32>{"123456789", 0xCBF43926u},
                                    {"The quick brown fox jumps over the lazy dog", 0x414FA339u}})
        for (qsizetype split = 0; split <= text.size(); ++split)
            EXPECT_EQ(crc32(crc32(0, text.left(split)), text.mid(split)), crc) << split;

    // Size, version, product, count, CRC, payload.
    QByteArray expected = hex("0f00 02 01000000 0200");
    expected += QvRekolUtil::toByteArray(crc32(0, QByteArray("hi"))) + "hi";
    EXPECT_EQ(QvRekolHeader::frame("hi", 1), expected);
    EXPECT_EQ(QvRekolHeader::frame("", 0xA1B2C3D4), hex("0d00 02 d4c3b2a1 0200 00000000"));
    EXPECT_EQ(QvRekolHeader::frame(QString(65522, 'x'), 1)->left(2), hex("ffff"));
    EXPECT_FALSE(QvRekolHeader::frame(QString(65523, 'x'), 1));
    EXPECT_FALSE(QvRekolHeader::frame(QString(32762, QChar(0xE9)), 1)); // 65524 UTF-8 bytes
    EXPECT_TRUE(QvRekolHeader::frame("a", 4294967295LL));
    EXPECT_FALSE(QvRekolHeader::frame("a", 4294967296LL));
    EXPECT_FALSE(QvRekolHeader::frame("a", -1));
}
