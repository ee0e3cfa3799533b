#include "rekol/QvRekolControl.h"
#include "rekol/QvRekolFormat.h"
#include "rekol/TableFormat.h"
#include "support/Files.h"
#include "support/LogCapture.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

// "name:type/width" per field, blank-separated.
static QString fieldsOf(const TableFormat* table) {
    if (!table)
        return "(no table)";
    QStringList out;
    for (const auto& f : table->getFields())
        out << QString("%1:%2/%3").arg(*f->keyName(), *f->keyType()).arg(f->typeSize());
    return out.join(' ');
}

TEST(RekolTable, ParsesDefinitionLinesSkippingMalformedTokens) {
    const struct {
        const char* line;
        const char* fields;
    } cases[] = {
        {"  install:12  ver:int   name:string flags:byte  ",
         "ver:int/4 name:string/0 flags:byte/1"},
        {"t:3:extra id:int:9 a::int64 a:short \tb:bit c:binary",
         "id:int/4 a:int64/8 a:short/2 \tb:bit/0 c:binary/0"},
        {"t:1 a:int b c: :d e:Int f:float g:bit h:int\t i:string\r", "a:int/4 g:bit/0"},
        {"t:-4", ""},
    };
    LogCapture log;
    for (const auto& c : cases) {
        const TableFormat table{QString(c.line)};
        EXPECT_EQ(fieldsOf(&table), c.fields) << c.line;
    }
    const TableFormat noNumber{QString("install:x7 ver:int")};
    EXPECT_EQ(noNumber.getTableName(), "install");
    EXPECT_FALSE(noNumber.getTableIndex());
    EXPECT_EQ(TableFormat{QString("install:12 ver:int")}.getTableIndex(), 12);
    EXPECT_TRUE(log.rekolLines().contains(
        "[QvRekol] TableFormat => skipped 7 malformed field(s) in table t"));
    for (const auto& line : {std::optional<QString>(), std::optional<QString>(":: a:int")}) {
        const TableFormat empty(line);
        EXPECT_FALSE(empty.getTableName());
        EXPECT_TRUE(empty.getFields().empty());
    }
}

TEST(RekolFormatFile, LoadsTheSameTablesWhateverTheLineEnds) {
    QTemporaryDir dir;
    const QByteArray lf = "install:12 ver:int name:string\n\nother:3 a:byte\n"
                          "install:13 ver:int name:string flags:byte\n   \nlast:9 id:int";
    const QByteArray crlf = QByteArray(lf).replace("\n", "\r\n");
    for (const QByteArray& bytes : {lf, crlf, "\xEF\xBB\xBF" + crlf}) {
        const QvRekolFormat format = QvRekolFormat::fromPath(writeFile(dir.filePath("f"), bytes));
        EXPECT_EQ(format.tableDict().size(), 3u);
        EXPECT_EQ(format.getTable("install")->getTableIndex(), 13);
        EXPECT_EQ(fieldsOf(format.getTable("install")), "ver:int/4 name:string/0 flags:byte/1");
        EXPECT_EQ(fieldsOf(format.getTable("last")), "id:int/4");
        EXPECT_FALSE(format.getTable("Install"));
    }
    // A lone CR stays in its line, spoiling the last type name there.
    EXPECT_EQ(fieldsOf(QvRekolFormat::fromText("t:1 a:int b:int\rnext:2").getTable("t")),
              "a:int/4");
}

TEST(RekolControlFile, AnswersFromSections) {
    const QvRekolControl control = QvRekolControl::fromText(
        "[common]\r\nproduct=7\r\nserver2=U\r\nserver3=\r\n[vexa_tools_install]\r\npriority=2\n"
        "[five]\npriority=5\n[bad]\npriority=5 \n");
    LogCapture log;
    EXPECT_EQ(control.getProductId(), 7);
    EXPECT_EQ(control.getServerUrl(QString("vexa_tools_install")), "U");
    EXPECT_EQ(control.getPriority("unknown"), QvRekolControl::DEFAULT_PRIORITY);
    EXPECT_EQ(control.getServerUrl(QString("unknown")), "U");
    EXPECT_EQ(control.getPriority("bad"), 2);
    EXPECT_EQ(control.getPriority("five"), 5);
    EXPECT_EQ(control.getServerUrl(QString("five")), "");
    EXPECT_EQ(control.getServerUrl(3), "");
    EXPECT_TRUE(log.rekolLines().isEmpty());

    // Without server2 every lookup that falls back to it says so.
    const QvRekolControl noServer2 = QvRekolControl::fromText("[common]\nproduct=1\nserver5=F\n");
    EXPECT_EQ(noServer2.getServerUrl(QString("t")) + noServer2.getServerUrl(2), "");
    EXPECT_EQ(noServer2.getServerUrl(5), "F");
    EXPECT_EQ(log.rekolLines(),
              QStringList(2, "[QvRekol] QvRekolControl => ERROR: missing url for server2!!!"));

    // Odd lines: no section, blanks around "=", headers inside values, repeated sections.
    const auto s = QvRekolControl::fromText(
                       "orphan=1\n[common]\nproduct = 7\nurl=a=b\n=5\njust a comment\n"
                       "note=see [x]\nk=v\n[a]b[c]\nq=1\n[rep]\nold=1\n[rep]\nnew=2\n[keep]\n"
                       "first=1\n[keep]\n[empty]\n")
                       .sections();
    using Section = QvRekolControl::Section;
    EXPECT_EQ(s, (QHash<QString, Section>{{"common", {{"product ", " 7"}, {"url", "a=b"}}},
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
    EXPECT_TRUE(
        QvRekolFormat::fromPath(writeFile(dir.filePath("empty"), "\r\n\n")).tableDict().empty());
    EXPECT_TRUE(QvRekolControl::fromPath(dir.filePath("qctrl.dat")).sections().isEmpty());
    EXPECT_TRUE(log.rekolLines().isEmpty());
    const QString good = writeFile(dir.filePath("qctrl.dat"), "[common]\nproduct=3\n");
    EXPECT_EQ(QvRekolControl::fromPath(good).getProductId(), 3);

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
