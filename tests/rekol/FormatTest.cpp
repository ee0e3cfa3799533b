// The telemetry's checksums, packet frames, fields, tables and data files.
#include "base/DecimalText.h"
#include "rekol/Crc32.h"
#include "rekol/QvRekolControl.h"
#include "rekol/QvRekolFormat.h"
#include "rekol/QvRekolHeader.h"
#include "rekol/QvRekolUtil.h"
#include "support/Files.h"
#include "support/LogCapture.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// "name:number", then "name:type/width" per field; "-" for what is absent.
QString fieldsOf(const TableFormat* table) {
    if (!table)
        return "(no table)";
    const auto index = table->getTableIndex();
    QStringList out{table->getTableName().value_or("-") + ':' +
                    (index ? QString::number(*index) : "-")};
    for (const auto& f : table->getFields())
        out << QString("%1:%2/%3").arg(*f->keyName(), *f->keyType()).arg(f->typeSize());
    return out.join(' ');
}

// Blanks between hex digits are skipped.
QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}
} // namespace

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
    EXPECT_EQ(QvRekolHeader::frame("hi", 1), hex("0f00 02 01000000 0200 ac2a93d8") + "hi");
    EXPECT_EQ(QvRekolHeader::frame("", 0xA1B2C3D4), hex("0d00 02 d4c3b2a1 0200 00000000"));
    EXPECT_EQ(QvRekolHeader::frame(QString(65522, 'x'), 1)->left(2), hex("ffff"));
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
        {"0aFF", "02000aff", 0}, {"abc", "0100ab", 0},     {"a", "0000", 0}, {"zz", "010000", 2},
        {"g1", "010001", 1},     {"\xC3\xA9", "010000", 2}}; // a character's UTF-8 bytes, each bad
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
        {"byte", true, true, "refused"},
        {"binary", qint64(10), true, "refused"},
        {"string", QString(32768, QChar(0xE9)), false, "refused"}, // 65536 bytes
        {"binary", QString(2 * 65536, 'a'), false, "refused"},
        {"string", qint64(3), true, ""},
        {"bit", qint64(1), true, ""},
        {"bit", qint64(1), false, ""},
    };
    for (const auto& [type, value, validating, bytes] : cases)
        EXPECT_EQ(written(type, value, validating), bytes) << type;
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

TEST(RekolTable, ParsesDefinitionLinesSkippingMalformedTokens) {
    const struct {
        const char* line; // nullptr: no line at all
        const char* fields;
    } cases[] = {
        {"  install:12  ver:int   name:string flags:byte  ",
         "install:12 ver:int/4 name:string/0 flags:byte/1"},
        {"t:3:extra id:int:9 a::int64 a:short \tb:bit c:binary",
         "t:3 id:int/4 a:int64/8 a:short/2 \tb:bit/0 c:binary/0"},
        {"t:1 a:int b c: :d e:Int f:float g:bit h:int\t i:string\r", "t:1 a:int/4 g:bit/0"},
        {"t:-4", "t:-4"},
        {"install:x7 ver:int", "install:- ver:int/4"},
        {":: a:int", "-:-"},
        {nullptr, "-:-"},
    };
    LogCapture log;
    for (const auto& c : cases) {
        const TableFormat table(c.line ? std::optional<QString>(c.line) : std::nullopt);
        EXPECT_EQ(fieldsOf(&table), c.fields) << c.line;
    }
    EXPECT_TRUE(log.rekolLines().contains(
        "[QvRekol] TableFormat => skipped 7 malformed field(s) in table t"));
}

TEST(RekolFormatFile, LoadsTheSameTablesWhateverTheLineEnds) {
    QTemporaryDir dir;
    const QByteArray lf = "install:12 ver:int name:string\n\nother:3 a:byte\n"
                          "install:13 ver:int name:string flags:byte\n   \nlast:9 id:int";
    const QByteArray crlf = QByteArray(lf).replace("\n", "\r\n");
    for (const QByteArray& bytes : {lf, crlf, "\xEF\xBB\xBF" + crlf}) {
        const QvRekolFormat format = QvRekolFormat::fromPath(writeFile(dir.filePath("f"), bytes));
        EXPECT_EQ(format.tableDict().size(), 3u);
        EXPECT_EQ(fieldsOf(format.getTable("install")),
                  "install:13 ver:int/4 name:string/0 flags:byte/1");
        EXPECT_EQ(fieldsOf(format.getTable("last")), "last:9 id:int/4");
        EXPECT_FALSE(format.getTable("Install"));
    }
    // Lone CRs, the last one too, stay in their line, spoiling the type names there.
    EXPECT_EQ(fieldsOf(QvRekolFormat::fromText("t:1 a:int b:int\rnext:2 c:int\r").getTable("t")),
              "t:1 a:int/4");
}

TEST(RekolControlFile, AnswersFromSections) {
    const QvRekolControl control = QvRekolControl::fromText(
        "[common]\r\nproduct=7\r\nserver2=U\r\nserver3=\r\n[vexa_tools_install]\r\npriority=2\n"
        "[five]\npriority=5\n[bad]\npriority=5 \n");
    LogCapture log;
    EXPECT_EQ(control.getProductId(), 7);
    EXPECT_EQ(QList<qint64>({control.getPriority("unknown"), control.getPriority("bad"),
                             control.getPriority("five")}),
              QList<qint64>({QvRekolControl::DEFAULT_PRIORITY, 2, 5}));
    EXPECT_EQ(QStringList({control.getServerUrl(QString("vexa_tools_install")),
                           control.getServerUrl(QString("unknown")),
                           control.getServerUrl(QString("five")), control.getServerUrl(3)}),
              QStringList({"U", "U", "", ""}));
    EXPECT_TRUE(log.rekolLines().isEmpty());
    // Without server2 every lookup that falls back to it says so.
    const QvRekolControl noServer2 = QvRekolControl::fromText("[common]\nproduct=1\nserver5=F\n");
    EXPECT_EQ(noServer2.getServerUrl(QString("t")) + noServer2.getServerUrl(2), "");
    EXPECT_EQ(log.rekolLines(),
              QStringList(2, "[QvRekol] QvRekolControl => ERROR: missing url for server2!!!"));
    // Odd lines: no section, blanks around "=", headers inside values, repeated sections.
    const auto s = QvRekolControl::fromText(
                       "orphan=1\n[common]\nproduct = 7\nurl=a=b\n=5\njust a comment\n"
                       "note=see [x]\nk=v\n[a]b[c]\nq=1\n[rep]\nold=1\n[rep]\nnew=2\n[keep]\n"
                       "first=1\n[keep]\n[empty]\n")
                       .sections();
    EXPECT_EQ(s, (QHash<QString, QvRekolControl::Section>{
                     {"common", {{"product ", " 7"}, {"url", "a=b"}}},
                     {"x", {{"k", "v"}}},
                     {"a]b[c", {{"q", "1"}}},
                     {"rep", {{"new", "2"}}},
                     {"keep", {{"first", "1"}}}}));
    // A bracket pair across a lone CR is not a header; one before it is.
    EXPECT_EQ(QvRekolControl::fromText("[a\r]\nk=v\n[b]\r[c\nk=v\n").sections().keys(),
              QStringList{"b"});
}

TEST(RekolDataFiles, MissingFilesAreQuietAndUnreadableOnesLogOnce) {
    QTemporaryDir dir;
    LogCapture log;
    EXPECT_TRUE(QvRekolFormat::fromPath(dir.filePath("qfmt.dat")).tableDict().empty());
    EXPECT_TRUE(QvRekolControl::fromPath(dir.filePath("qctrl.dat")).sections().isEmpty());
    EXPECT_TRUE(log.rekolLines().isEmpty());
    // Bytes that are not UTF-8 text, a folder or a FIFO in the file's place
    // (which must not block the reader), and a file too large to be one of ours.
    const QString bad = writeFile(dir.filePath("bad"), "[common]\nproduct=3\nt:1 a:int\n\xC3\x28");
    EXPECT_TRUE(QvRekolFormat::fromPath(bad).tableDict().empty());
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = writeFile(dir.filePath("huge"),
                                   "[common]\nproduct=3\n" + QByteArray(2 * 1024 * 1024, '\n'));
    for (const QString& path : {dir.path(), bad, fifo, huge})
        EXPECT_EQ(QvRekolControl::fromPath(path).getProductId(), 0);
    const QString failed = "[QvRekol] QvRekolControl => ERROR: load %1 failed!!! error:";
    ASSERT_EQ(log.rekolLines().size(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(log.rekolLines()[i].startsWith(failed.arg(i ? "qctrl" : "qfmt")));
}
