#include "LogCapture.h"
#include "rekol/BinaryKeyFormat.h"
#include "rekol/BitKeyFormat.h"
#include "rekol/IntegerKeyFormat.h"
#include "rekol/QvRekolUtil.h"
#include "rekol/StringKeyFormat.h"
#include "rekol/TableFormat.h"

#include <gtest/gtest.h>

namespace {

const QString kBadDigit = "[QvRekol] QvRekolUtil => error to convert byte to binary";

QByteArray written(const QString& type, RekolValue value) {
    std::unique_ptr<KeyFormat> field = KeyFormat::create(type);
    field->setKeyValue(std::move(value));
    QByteArray buffer("#"); // writes append, never replace
    field->write(buffer);
    return buffer.mid(1);
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

QByteArray unmask(QByteArray bytes) {
    for (char& c : bytes)
        c = static_cast<char>(static_cast<quint8>(c) ^ rekol::TEXT_MASK);
    return bytes;
}

} // namespace

TEST(RekolFields, TypeNamesAndWidths) {
    const std::pair<const char*, qint64> types[] = {{"int", 4},   {"int64", 8}, {"short", 2},
                                                    {"byte", 1},  {"bit", 0},   {"string", 0},
                                                    {"binary", 0}};
    for (const auto& [name, width] : types) {
        std::unique_ptr<KeyFormat> field = KeyFormat::create(name);
        ASSERT_TRUE(field) << name;
        EXPECT_EQ(field->keyType(), QString(name));
        EXPECT_EQ(field->typeSize(), width) << name;
        EXPECT_FALSE(field->keyName());
        EXPECT_TRUE(std::holds_alternative<std::monostate>(field->keyValue()));
    }
    for (const char* name : {"Int", "int ", "int\r", "", "float"})
        EXPECT_FALSE(KeyFormat::create(name)) << name;
}

TEST(RekolFields, IntegersAtTheirLimitsNeverWrap) {
    struct Case {
        const char* type;
        qint64 value;
        const char* bytes;
    };
    const Case cases[] = {
        {"int", -2, "feffffff"},
        {"int", 2147483647, "ffffff7f"},
        {"int", -2147483648LL, "00000080"},
        {"int", 2147483648LL, "00000000"},
        {"int", -2147483649LL, "00000000"},
        {"short", 65535, "ffff"},
        {"short", -1, "0000"},
        {"short", 65536, "0000"},
        {"byte", 255, "ff"},
        {"byte", 256, "00"},
        {"byte", -1, "00"},
        {"int64", 1, "0100000000000000"},
        {"int64", INT64_MIN, "0000000000000080"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(written(c.type, c.value), hex(c.bytes)) << c.type << " " << c.value;
        // The validating append writes the same bytes.
        std::unique_ptr<KeyFormat> field = KeyFormat::create(c.type);
        field->setKeyValue(c.value);
        QByteArray buffer;
        appendRekolValue(buffer, *field);
        EXPECT_EQ(buffer, hex(c.bytes)) << c.type << " " << c.value;
    }
}

TEST(RekolFields, StringsAreLengthPrefixedAndMasked) {
    const std::pair<RekolValue, QByteArray> cases[] = {
        {QString("abc"), "abc"},
        {qint64(42), "42"},
        {qint64(-7), "-7"},
        {true, "true"},
        {RekolValue{}, ""},
        {QString(""), ""},
        {QString::fromUtf8("d\xC3\xA9j\xC3\xA0"), "d\xC3\xA9j\xC3\xA0"}, // 4 characters, 6 bytes
    };
    for (const auto& [value, utf8] : cases) {
        const QByteArray bytes = written("string", value);
        ASSERT_GE(bytes.size(), 2);
        EXPECT_EQ(bytes.left(2), QvRekolUtil::toByteArray(quint16(utf8.size()))) << utf8.data();
        EXPECT_EQ(unmask(bytes.mid(2)), utf8);
    }
    EXPECT_EQ(written("string", QString("abc")), hex("0300fcfffe"));
}

TEST(RekolFields, BinaryDecodesHexAndLogsBadDigits) {
    const struct {
        const char* text;
        const char* bytes;
        int badDigits;
    } cases[] = {
        {"0aFF", "02000aff", 0}, {"abc", "0100ab", 0}, {"a", "0000", 0},
        {"", "0000", 0},         {"zz", "010000", 2},
    };
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_EQ(written("binary", QString(c.text)), hex(c.bytes)) << c.text;
        EXPECT_EQ(log.count(kBadDigit), c.badDigits) << c.text;
    }
}

TEST(RekolFields, ValidityAndTheValidatingAppend) {
    QByteArray buffer("keep");
    IntKeyFormat noValue;
    EXPECT_FALSE(noValue.isDataValid());
    EXPECT_THROW(appendRekolValue(buffer, noValue), RekolError);
    IntKeyFormat textValue;
    textValue.setKeyValue(QString("5"));
    try {
        appendRekolValue(buffer, textValue);
        ADD_FAILURE() << "a text in an int field was appended";
    } catch (RekolError e) {
        EXPECT_EQ(e, RekolError::data_invalid);
    }
    ByteKeyFormat boolValue;
    boolValue.setKeyValue(true);
    EXPECT_FALSE(boolValue.isDataValid());
    EXPECT_EQ(buffer, QByteArray("keep"));

    // Zero-width fields pass and append nothing.
    StringKeyFormat text;
    EXPECT_TRUE(text.isDataValid());
    text.setKeyValue(qint64(3));
    EXPECT_TRUE(text.isDataValid());
    appendRekolValue(buffer, text);
    BitKeyFormat bit;
    bit.setKeyValue(qint64(1));
    appendRekolValue(buffer, bit);
    bit.write(buffer);
    EXPECT_EQ(buffer, QByteArray("keep"));

    BinaryKeyFormat binary;
    binary.setKeyValue(qint64(10));
    EXPECT_FALSE(binary.isDataValid());
    EXPECT_THROW(appendRekolValue(buffer, binary), RekolError);
    EXPECT_EQ(buffer, QByteArray("keep"));
}

TEST(RekolFields, OversizeTextIsRefusedNotWrapped) {
    QByteArray buffer("keep");
    StringKeyFormat fits;
    fits.setKeyValue(QString(65535, 'x'));
    fits.write(buffer);
    EXPECT_EQ(buffer.size(), 4 + 2 + 65535);
    buffer = "keep";

    // 32768 two-byte characters: 65536 bytes, one past the 16-bit length.
    StringKeyFormat tooLong;
    tooLong.setKeyValue(QString(32768, QChar(0xE9)));
    EXPECT_THROW(tooLong.write(buffer), RekolError);
    BinaryKeyFormat tooLongHex;
    tooLongHex.setKeyValue(QString(2 * 65536, 'a'));
    EXPECT_THROW(tooLongHex.write(buffer), RekolError);
    EXPECT_EQ(buffer, QByteArray("keep"));
}

TEST(RekolFields, TableWritesOneRecordOrNothing) {
    const TableFormat table(QString("t:1 id:int name:string flag:bit raw:binary"));
    QByteArray buffer;
    table.write(buffer, {{"id", qint64(-2)}, {"name", QString("ab")}, {"raw", QString("ff")}});
    EXPECT_EQ(buffer, hex("feffffff"
                          "0200fcff"
                          "0100ff"));
    // The table's own fields are untouched by writing.
    EXPECT_TRUE(std::holds_alternative<std::monostate>(table.getFields()[0]->keyValue()));

    EXPECT_THROW(table.write(buffer, {{"name", QString("ab")}, {"raw", QString("ff")}}),
                 RekolError);
    EXPECT_EQ(buffer.size(), 11);
}
