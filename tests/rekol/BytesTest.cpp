#include "LogCapture.h"
#include "rekol/Crc32.h"
#include "rekol/QvRekolHeader.h"
#include "rekol/QvRekolUtil.h"

#include <gtest/gtest.h>

namespace {

const QString kBadDigit = "[QvRekol] QvRekolUtil => error to convert byte to binary";

// Blanks between hex digits are skipped.
QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

} // namespace

TEST(RekolBytes, ToByteArrayIsLittleEndianAndExactWidth) {
    EXPECT_EQ(QvRekolUtil::toByteArray(quint16(13)), hex("0d00"));
    EXPECT_EQ(QvRekolUtil::toByteArray(quint32(1)), hex("01000000"));
    EXPECT_EQ(QvRekolUtil::toByteArray(qint64(0x0102030405060708)), hex("0807060504030201"));
}

TEST(RekolBytes, TextOperations) {
    LogCapture log;
    EXPECT_EQ(rekol::toBinary("00ff7F"), hex("00ff7f"));
    EXPECT_EQ(rekol::toBinary(""), QByteArray());
    EXPECT_EQ(rekol::toBinary("g1"), hex("01"));
    EXPECT_EQ(log.count(kBadDigit), 1);
    // A multi-byte character counts as its UTF-8 bytes, each a bad digit.
    EXPECT_EQ(rekol::toBinary(QString::fromUtf8("\xC3\xA9")), hex("00"));
    EXPECT_EQ(log.count(kBadDigit), 3);

    EXPECT_EQ(rekol::encode("abc"), hex("fcfffe"));
    EXPECT_EQ(rekol::encode(QString::fromUtf8("\xC3\xA9")), hex("5e34")); // C3 A9 each ^ 9D
    EXPECT_TRUE(rekol::encode("").isEmpty());

    EXPECT_EQ(rekol::asCode("a"), 'a');
    EXPECT_EQ(rekol::asCode(""), 0);
    EXPECT_EQ(rekol::asCode(QString::fromUtf8("\xE2\x82\xAC")), 0); // wider than a byte

    EXPECT_EQ(rekol::findFirst("server2=x", "="), 7);
    EXPECT_EQ(rekol::findFirst("no equals", "="), -1);
    EXPECT_EQ(rekol::findFirst("server2=x", ""), -1);
    EXPECT_EQ(rekol::findFirst("RESULT=1", "result=1"), -1);
}

TEST(RekolBytes, ParseIntegerAcceptsOnlyPlainDecimals) {
    const std::pair<const char*, std::optional<qint64>> cases[] = {
        {"7", 7},
        {"+12", 12},
        {"-5", -5},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"x7", std::nullopt},
        {"\xD9\xA3", std::nullopt}, // a non-ASCII digit
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(rekol::parseInteger(QString::fromUtf8(text)), expected) << text;
}

TEST(RekolBytes, SplitLinesKeepsLoneCarriageReturns) {
    EXPECT_EQ(rekol::splitLines("a\r\nb\n\n\r\nc"), QStringList({"a", "b", "c"}));
    EXPECT_EQ(rekol::splitLines("a\rb\nc\r"), QStringList({"a\rb", "c\r"}));
    EXPECT_EQ(rekol::splitLines("x\r\r\n"), QStringList({"x\r"}));
}

TEST(RekolPacket, Crc32StandardValuesAndContinuation) {
    const QByteArray digits("123456789");
    EXPECT_EQ(crc32(0, digits), 0xCBF43926u);
    EXPECT_EQ(crc32(crc32(0, digits.left(4)), digits.mid(4)), 0xCBF43926u);
    EXPECT_EQ(crc32(0, QByteArray()), 0u);
    EXPECT_EQ(crc32(0, std::nullopt), 0u);
    EXPECT_EQ(crc32(0x1234, nullptr, 5), 0u);
    EXPECT_EQ(crcTable[1], 0x77073096u);
    EXPECT_EQ(crcTable[255], 0x2D02EF8Du);
    // Every split around the 8-byte unrolling gives the same checksum.
    const QByteArray text("The quick brown fox jumps over the lazy dog");
    for (qsizetype split = 0; split <= text.size(); ++split)
        EXPECT_EQ(crc32(crc32(0, text.left(split)), text.mid(split)), 0x414FA339u) << split;
}

TEST(RekolPacket, FramesPayloadBehindHeader) {
    QByteArray expected = hex("0f00 02 01000000 0200"); // size, version, product, count
    expected += QvRekolUtil::toByteArray(crc32(0, QByteArray("hi"))) + "hi";
    EXPECT_EQ(QvRekolHeader::frame("hi", 1), expected);
    EXPECT_EQ(QvRekolHeader::frame("", 7), hex("0d00 02 07000000 0200 00000000"));

    QvRekolHeader header;
    header.setProduct(0xA1B2C3D4);
    QByteArray buffer("12345");
    header.updateHeader(buffer);
    EXPECT_EQ(buffer.size(), 18);
    EXPECT_EQ(buffer.mid(3, 4), hex("d4c3b2a1"));
    EXPECT_EQ(buffer.mid(13), QByteArray("12345"));
}

TEST(RekolPacket, RefusesWhatCannotBeFramed) {
    EXPECT_EQ(QvRekolHeader::frame(QString(65522, 'x'), 1)->left(2), hex("ffff"));
    EXPECT_FALSE(QvRekolHeader::frame(QString(65523, 'x'), 1));
    EXPECT_FALSE(QvRekolHeader::frame(QString(32762, QChar(0xE9)), 1)); // 65524 UTF-8 bytes
    EXPECT_TRUE(QvRekolHeader::frame("a", 4294967295LL));
    EXPECT_FALSE(QvRekolHeader::frame("a", 4294967296LL));
    EXPECT_FALSE(QvRekolHeader::frame("a", -1));
}
