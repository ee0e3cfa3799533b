// The telemetry's bytes: conversions, checksums, packet frames and fields.
#include "base/DecimalText.h"
#include "rekol/BinaryKeyFormat.h"
#include "rekol/BitKeyFormat.h"
#include "rekol/Crc32.h"
#include "rekol/IntegerKeyFormat.h"
#include "rekol/QvRekolHeader.h"
#include "rekol/QvRekolUtil.h"
#include "rekol/StringKeyFormat.h"
#include "rekol/TableFormat.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

namespace {
// The bytes a field of `type` holding `value` appends; "refused" when it throws.
QByteArray written(const QString& type, RekolValue value, bool validating = false) {
    std::unique_ptr<KeyFormat> field = KeyFormat::create(type);
    field->setKeyValue(std::move(value));
    QByteArray buffer("#"); // writes append, never replace
    try {
        validating ? appendRekolValue(buffer, *field) : field->write(buffer);
    } catch (const RekolError&) {
        return buffer == "#" ? "refused" : "refused after writing";
    }
    return buffer.mid(1);
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}
} // namespace

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

TEST(RekolFields, IntegersAtTheirLimitsNeverWrap) {
    // clang-format off
    const std::tuple<const char*, qint64, const char*> cases[] = {
        {"int", -2, "feffffff"}, {"int", 2147483647, "ffffff7f"}, {"int", INT32_MIN, "00000080"},
        {"int", 2147483648LL, "00000000"}, {"int", -2147483649LL, "00000000"},
        {"short", 65535, "ffff"}, {"short", -1, "0000"}, {"short", 65536, "0000"},
        {"byte", 255, "ff"}, {"byte", 256, "00"}, {"byte", -1, "00"},
        {"int64", 1, "0100000000000000"}, {"int64", INT64_MIN, "0000000000000080"}};
    // clang-format on
    for (const auto& [type, value, bytes] : cases) {
        EXPECT_EQ(written(type, value), hex(bytes)) << type << " " << value;
        EXPECT_EQ(written(type, value, true), hex(bytes)) << type << " " << value;
    }
}

TEST(RekolFields, StringsAreLengthPrefixedAndMasked) {
    EXPECT_EQ(written("string", QString("abc")), hex("0300fcfffe"));
    const std::pair<RekolValue, QByteArray> cases[] = {
        {qint64(42), "42"},
        {qint64(-7), "-7"},
        {false, "false"},
        {RekolValue{}, ""},
        {QString::fromUtf8("d\xC3\xA9j\xC3\xA0"), "d\xC3\xA9j\xC3\xA0"}, // 4 characters, 6 bytes
        {QString(65535, 'x'), QByteArray(65535, 'x')},
    };
    for (const auto& [value, utf8] : cases) {
        QByteArray bytes = written("string", value);
        EXPECT_EQ(bytes.left(2), QvRekolUtil::toByteArray(quint16(utf8.size())))
            << utf8.left(9).data();
        for (char& c : bytes)
            c = static_cast<char>(static_cast<quint8>(c) ^ rekol::TEXT_MASK);
        EXPECT_EQ(bytes.mid(2), utf8);
    }
}

TEST(RekolFields, BinaryDecodesHexAndLogsBadDigits) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"0aFF", "02000aff", 0}, {"abc", "0100ab", 0}, {"a", "0000", 0}, {"zz", "010000", 2}};
    for (const auto& [text, bytes, badDigits] : cases) {
        LogCapture log;
        EXPECT_EQ(written("binary", QString(text)), hex(bytes)) << text;
        EXPECT_EQ(
            log.rekolLines().count("[QvRekol] QvRekolUtil => error to convert byte to binary"),
            badDigits);
    }
}

// Wrong values and oversize texts are refused whole; zero-width fields append
// nothing, whatever their value.
TEST(RekolFields, RefusedValuesWriteNothing) {
    const std::tuple<const char*, RekolValue, bool, QByteArray> cases[] = {
        {"int", RekolValue{}, true, "refused"},
        {"int", QString("5"), true, "refused"},
        {"binary", qint64(10), true, "refused"},
        {"string", QString(32768, QChar(0xE9)), false, "refused"}, // 65536 bytes
        {"binary", QString(2 * 65536, 'a'), false, "refused"},
        {"string", qint64(3), true, ""},
        {"bit", qint64(1), true, ""},
        {"bit", qint64(1), false, ""},
    };
    for (const auto& [type, value, validating, bytes] : cases)
        EXPECT_EQ(written(type, value, validating), bytes) << type;
    ByteKeyFormat flag;
    flag.setKeyValue(true);
    EXPECT_FALSE(flag.isDataValid());
}

TEST(RekolFields, TableWritesOneRecordOrNothing) {
    const TableFormat table(QString("t:1 id:int name:string flag:bit raw:binary"));
    QByteArray buffer;
    table.write(buffer, {{"id", qint64(-2)}, {"name", QString("ab")}, {"raw", QString("ff")}});
    EXPECT_EQ(buffer, hex("feffffff 0200fcff 0100ff"));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(table.getFields()[0]->keyValue()));
    // No id: nothing of the record is written.
    EXPECT_THROW(table.write(buffer, {{"name", QString("ab")}}), RekolError);
    EXPECT_EQ(buffer.size(), 11);
}
