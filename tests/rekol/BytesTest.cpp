#include "LogCapture.h"
#include "rekol/Crc32.h"
#include "rekol/QvRekolHeader.h"
#include "rekol/QvRekolUtil.h"
#include "rekol/RekolError.h"

#include <gtest/gtest.h>

namespace {

const QString kBadDigit = "[QvRekol] QvRekolUtil => error to convert byte to binary";

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

} // namespace

TEST(RekolBytes, ToByteArrayIsLittleEndianAndExactWidth) {
    EXPECT_EQ(QvRekolUtil::toByteArray(quint16(13)), hex("0d00"));
    EXPECT_EQ(QvRekolUtil::toByteArray(quint32(1)), hex("01000000"));
    EXPECT_EQ(QvRekolUtil::toByteArray(qint32(-2)), hex("feffffff"));
    EXPECT_EQ(QvRekolUtil::toByteArray(qint64(0x0102030405060708)), hex("0807060504030201"));
    EXPECT_EQ(QvRekolUtil::toByteArray(quint8(0xAB)), hex("ab"));
}

TEST(RekolBytes, HexDecodingReadsPairsAndLogsEachBadDigit) {
    struct Case {
        const char* text;
        const char* bytes;
        int badDigits;
    };
    const Case cases[] = {
        {"00ff7F", "00ff7f", 0}, {"abc", "ab", 0}, {"a", "", 0},        {"", "", 0},
        {"g1", "01", 1},         {"zz", "00", 2},  {"0aFF", "0aff", 0},
    };
    for (const Case& c : cases) {
        LogCapture log;
        EXPECT_EQ(rekol::toBinary(QString::fromUtf8(c.text)), hex(c.bytes)) << c.text;
        EXPECT_EQ(log.count(kBadDigit), c.badDigits) << c.text;
    }
    // A multi-byte character counts by its UTF-8 bytes, each a bad digit.
    LogCapture log;
    EXPECT_EQ(rekol::toBinary(QString::fromUtf8("\xC3\xA9")), hex("00"));
    EXPECT_EQ(log.count(kBadDigit), 2);
}

TEST(RekolBytes, TextOperations) {
    EXPECT_EQ(rekol::encode("abc"), QByteArray("\xFC\xFF\xFE"));
    EXPECT_EQ(rekol::encode(QString::fromUtf8("\xC3\xA9")),
              QByteArray("\x5E\x34")); // C3 A9 each XOR 9D
    EXPECT_TRUE(rekol::encode("").isEmpty());
    EXPECT_EQ(rekol::asByteArray(QString::fromUtf8("\xC3\xA9")), QByteArray("\xC3\xA9"));

    EXPECT_EQ(rekol::asCode("0"), '0');
    EXPECT_EQ(rekol::asCode("A"), 'A');
    EXPECT_EQ(rekol::asCode(""), 0);
    EXPECT_EQ(rekol::asCode(QString::fromUtf8("\xE2\x82\xAC")), 0); // wider than a byte

    EXPECT_EQ(rekol::findFirst("server2=x", "="), 7);
    EXPECT_EQ(rekol::findFirst("no equals", "="), -1);
    EXPECT_EQ(rekol::findFirst("server2=x", ""), -1);
    EXPECT_EQ(rekol::findFirst("RESULT=1", "result=1"), -1);
    EXPECT_EQ(rekol::findFirst("ok result=1", "result=1"), 3);
}

TEST(RekolBytes, ParseIntegerAcceptsOnlyPlainDecimals) {
    const std::pair<const char*, std::optional<qint64>> cases[] = {
        {"7", 7},
        {"+12", 12},
        {"-5", -5},
        {"007", 7},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"x7", std::nullopt},
        {"1e3", std::nullopt},
        {"\xD9\xA3", std::nullopt}, // Arabic-Indic three
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(rekol::parseInteger(QString::fromUtf8(text)), expected) << text;
}

TEST(RekolBytes, SplitLinesKeepsLoneCarriageReturns) {
    EXPECT_EQ(rekol::splitLines("a\r\nb\n\n\r\nc"), QStringList({"a", "b", "c"}));
    EXPECT_EQ(rekol::splitLines("a\rb\nc\r"), QStringList({"a\rb", "c\r"}));
    EXPECT_EQ(rekol::splitLines("x\r\r\n"), QStringList({"x\r"}));
    EXPECT_TRUE(rekol::splitLines("\n\r\n\n").isEmpty());
}

TEST(RekolBytes, ErrorCodes) {
    EXPECT_EQ(static_cast<int>(RekolError::empty), 0);
    EXPECT_EQ(static_cast<int>(RekolError::parse), 1);
    EXPECT_EQ(static_cast<int>(RekolError::data_invalid), 2);
    EXPECT_NE(RekolError::data_invalid, RekolError::parse);
}

TEST(RekolPacket, Crc32StandardValuesAndContinuation) {
    const QByteArray digits("123456789");
    EXPECT_EQ(crc32(0, digits), 0xCBF43926u);
    EXPECT_EQ(crc32(crc32(0, digits.left(4)), digits.mid(4)), 0xCBF43926u);
    EXPECT_EQ(crc32(0, QByteArray()), 0u);
    EXPECT_EQ(crc32(0, std::nullopt), 0u);
    EXPECT_EQ(crc32(0x1234, nullptr, 5), 0u);
    EXPECT_EQ(CRC32(digits).hashValue(), 0xCBF43926LL);
    EXPECT_EQ(crcTable[1], 0x77073096u);
    EXPECT_EQ(crcTable[255], 0x2D02EF8Du);
    // Lengths around the 8-byte unrolling agree with a byte-at-a-time run.
    const QByteArray text("The quick brown fox jumps over the lazy dog");
    EXPECT_EQ(crc32(0, text), 0x414FA339u);
    for (qsizetype split = 0; split <= text.size(); ++split)
        EXPECT_EQ(crc32(crc32(0, text.left(split)), text.mid(split)), 0x414FA339u) << split;
}

TEST(RekolPacket, FramesPayloadBehindHeader) {
    const std::optional<QByteArray> packet = QvRekolHeader::frame("hi", 1);
    ASSERT_TRUE(packet);
    QByteArray expected = hex("0f00"
                              "02"
                              "01000000"
                              "0200");
    expected += QvRekolUtil::toByteArray(crc32(0, QByteArray("hi")));
    expected += "hi";
    EXPECT_EQ(*packet, expected);

    const std::optional<QByteArray> empty = QvRekolHeader::frame("", 7);
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, hex("0d00"
                          "02"
                          "07000000"
                          "0200"
                          "00000000"));

    // Multi-byte text is framed by its UTF-8 length.
    EXPECT_EQ(QvRekolHeader::frame(QString::fromUtf8("\xC3\xA9"), 1)->size(), 15);

    QvRekolHeader header;
    header.setSize(0x1234);
    header.setProduct(0xA1B2C3D4);
    QByteArray buffer("12345");
    header.updateHeader(buffer);
    EXPECT_EQ(buffer.size(), 18);
    EXPECT_EQ(buffer.left(9), hex("3412"
                                  "00"
                                  "d4c3b2a1"
                                  "0000"));
    EXPECT_EQ(buffer.mid(13), QByteArray("12345"));
}

TEST(RekolPacket, RefusesWhatCannotBeFramed) {
    EXPECT_TRUE(QvRekolHeader::frame(QString(65522, 'x'), 1));
    EXPECT_EQ(QvRekolHeader::frame(QString(65522, 'x'), 1)->left(2), hex("ffff"));
    EXPECT_FALSE(QvRekolHeader::frame(QString(65523, 'x'), 1));
    EXPECT_TRUE(QvRekolHeader::frame("a", 4294967295LL));
    EXPECT_FALSE(QvRekolHeader::frame("a", 4294967296LL));
    EXPECT_FALSE(QvRekolHeader::frame("a", -1));

    QvRekolHeader header;
    EXPECT_FALSE(header.prepare(QByteArray(65523, 'x')));
    EXPECT_EQ(header.size(), 0);
    EXPECT_EQ(header.version(), 0);
}
