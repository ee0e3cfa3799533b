#include "rekol/BinaryKeyFormat.h"
#include "rekol/BitKeyFormat.h"
#include "rekol/IntegerKeyFormat.h"
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
