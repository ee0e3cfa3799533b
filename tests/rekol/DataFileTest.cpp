#include "LogCapture.h"
#include "rekol/QvRekolControl.h"
#include "rekol/QvRekolFormat.h"
#include "rekol/TableFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct FieldSpec {
    QString name;
    QString type;
    qint64 width;
    bool operator==(const FieldSpec&) const = default;
};

std::vector<FieldSpec> fieldsOf(const TableFormat& table) {
    std::vector<FieldSpec> out;
    for (const auto& f : table.getFields())
        out.push_back({f->keyName().value_or("?"), f->keyType().value_or("?"), f->typeSize()});
    return out;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

} // namespace

TEST(RekolTable, ParsesDefinitionLines) {
    const std::vector<FieldSpec> three = {
        {"ver", "int", 4}, {"name", "string", 0}, {"flags", "byte", 1}};
    for (const char* line : {"install:12 ver:int name:string flags:byte",
                             "  install:12  ver:int   name:string flags:byte  "}) {
        const TableFormat table{QString(line)};
        EXPECT_EQ(table.getTableName(), "install");
        EXPECT_EQ(table.getTableIndex(), 12);
        EXPECT_EQ(fieldsOf(table), three) << line;
    }
    const TableFormat noNumber{QString("install:x7 ver:int name:string flags:byte")};
    EXPECT_EQ(noNumber.getTableName(), "install");
    EXPECT_FALSE(noNumber.getTableIndex());
    EXPECT_EQ(fieldsOf(noNumber), three);

    const TableFormat extraParts{QString("t:3:extra id:int:9 a::int64 a:short")};
    EXPECT_EQ(extraParts.getTableIndex(), 3);
    EXPECT_EQ(fieldsOf(extraParts),
              (std::vector<FieldSpec>{{"id", "int", 4}, {"a", "int64", 8}, {"a", "short", 2}}));

    const TableFormat tab{QString("t:1 \tid:int")};
    EXPECT_EQ(fieldsOf(tab), (std::vector<FieldSpec>{{"\tid", "int", 4}}));
    EXPECT_TRUE(TableFormat{QString("t:-4")}.getFields().empty());
    EXPECT_EQ(TableFormat{QString("t:-4")}.getTableIndex(), -4);
}

TEST(RekolTable, SkipsMalformedTokensAndGoesOn) {
    LogCapture log;
    const TableFormat table{QString("t:1 a:int b c: :d e:Int f:float g:bit h:int\t i:string\r")};
    EXPECT_EQ(fieldsOf(table), (std::vector<FieldSpec>{{"a", "int", 4}, {"g", "bit", 0}}));
    EXPECT_EQ(log.lines(),
              QStringList{"[QvRekol] TableFormat => skipped 7 malformed field(s) in table t"});

    for (const std::optional<QString>& line :
         {std::optional<QString>(), std::optional<QString>(""), std::optional<QString>("   ")}) {
        const TableFormat empty(line);
        EXPECT_FALSE(empty.getTableName());
        EXPECT_TRUE(empty.getFields().empty());
    }
    const TableFormat colons{QString(":: a:int")};
    EXPECT_FALSE(colons.getTableName());
    EXPECT_TRUE(colons.getFields().empty());
}

TEST(RekolFormatFile, LoadsTablesFromFile) {
    QTemporaryDir dir;
    const QByteArray lf = "install:12 ver:int name:string\n"
                          "\n"
                          "other:3 a:byte\n"
                          "install:13 ver:int name:string flags:byte\n"
                          "   \n"
                          "last:9 id:int";
    QByteArray crlf = lf;
    crlf.replace("\n", "\r\n");
    LogCapture log;
    for (const QByteArray& bytes : {lf, crlf, QByteArray("\xEF\xBB\xBF") + crlf}) {
        const QvRekolFormat format = QvRekolFormat::fromPath(writeFile(dir, "qfmt.dat", bytes));
        ASSERT_EQ(format.tableDict().size(), 3u);
        const TableFormat* install = format.getTable("install");
        ASSERT_TRUE(install);
        EXPECT_EQ(install->getTableIndex(), 13);
        EXPECT_EQ(fieldsOf(*install),
                  (std::vector<FieldSpec>{
                      {"ver", "int", 4}, {"name", "string", 0}, {"flags", "byte", 1}}));
        EXPECT_EQ(fieldsOf(*format.getTable("last")), (std::vector<FieldSpec>{{"id", "int", 4}}));
        EXPECT_FALSE(format.getTable("Install"));
        EXPECT_FALSE(format.getTable("install "));
    }
    // A lone CR stays in the line: the last type name is then unknown.
    EXPECT_EQ(QvRekolFormat::fromText("t:1 a:int b:int\rnext:2").getTable("t")->getFields().size(),
              1u);
    EXPECT_EQ(log.lines(),
              QStringList{"[QvRekol] TableFormat => skipped 1 malformed field(s) in table t"});
}

TEST(RekolFormatFile, MissingOrUnreadableFile) {
    QTemporaryDir dir;
    LogCapture log;
    EXPECT_TRUE(QvRekolFormat::fromPath(dir.filePath("qfmt.dat")).tableDict().empty());
    EXPECT_TRUE(QvRekolFormat::fromPath(writeFile(dir, "empty", "\r\n\n")).tableDict().empty());
    EXPECT_TRUE(log.lines().isEmpty());

    const QString bad = writeFile(dir, "bad", "t:1 a:int\n\xFF\xFE\xFD");
    EXPECT_TRUE(QvRekolFormat::fromPath(bad).tableDict().empty());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(
        log.lines()[0].startsWith("[QvRekol] QvRekolControl => ERROR: load qfmt failed!!! error:"));
}

TEST(RekolControlFile, AnswersFromSections) {
    const QvRekolControl control = QvRekolControl::fromText("[common]\r\n"
                                                            "product=7\r\n"
                                                            "server2=U\r\n"
                                                            "server3=\r\n"
                                                            "[vexa_tools_install]\r\n"
                                                            "priority=2\r\n"
                                                            "[five]\n"
                                                            "priority=5\n"
                                                            "[bad]\n"
                                                            "priority=5 \n");
    LogCapture log;
    EXPECT_EQ(control.getProductId(), 7);
    EXPECT_EQ(control.getPriority("vexa_tools_install"), 2);
    EXPECT_EQ(control.getServerUrl(QString("vexa_tools_install")), "U");
    EXPECT_EQ(control.getPriority("unknown"), QvRekolControl::DEFAULT_PRIORITY);
    EXPECT_EQ(control.getServerUrl(QString("unknown")), "U");
    EXPECT_EQ(control.getPriority("bad"), 2);
    EXPECT_EQ(control.getPriority("five"), 5);
    EXPECT_EQ(control.getServerUrl(QString("five")), "");
    EXPECT_EQ(control.getServerUrl(3), "");
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(RekolControlFile, OddLines) {
    const QvRekolControl control = QvRekolControl::fromText("orphan=1\n"
                                                            "[common]\n"
                                                            "product = 7\n"
                                                            "url=a=b\n"
                                                            "=5\n"
                                                            "just a comment\n"
                                                            "note=see [x]\n"
                                                            "k=v\n"
                                                            "[a]b[c]\n"
                                                            "q=1\n"
                                                            "[rep]\n"
                                                            "old=1\n"
                                                            "[rep]\n"
                                                            "new=2\n"
                                                            "[keep]\n"
                                                            "first=1\n"
                                                            "[keep]\n"
                                                            "[empty]\n");
    const auto& s = control.sections();
    EXPECT_EQ(control.getProductId(), 0);
    EXPECT_EQ(s["common"], (QvRekolControl::Section{{"product ", " 7"}, {"url", "a=b"}}));
    EXPECT_EQ(s["x"], (QvRekolControl::Section{{"k", "v"}}));
    EXPECT_EQ(s["a]b[c"], (QvRekolControl::Section{{"q", "1"}}));
    EXPECT_EQ(s["rep"], (QvRekolControl::Section{{"new", "2"}}));
    EXPECT_EQ(s["keep"], (QvRekolControl::Section{{"first", "1"}}));
    EXPECT_FALSE(s.contains("empty"));
    EXPECT_EQ(s.size(), 5);

    // A bracket pair across a lone CR is not a header; one before it is.
    const QvRekolControl cr = QvRekolControl::fromText("[a\r]\nk=v\n[b]\r[c\nk=v\n");
    EXPECT_EQ(cr.sections().keys(), QStringList{"b"});
}

TEST(RekolControlFile, MissingServer2IsLoggedOnEveryLookup) {
    const QvRekolControl control = QvRekolControl::fromText("[common]\nproduct=1\nserver5=F\n");
    LogCapture log;
    EXPECT_EQ(control.getServerUrl(QString("t")), "");
    EXPECT_EQ(control.getServerUrl(2), "");
    EXPECT_EQ(control.getServerUrl(5), "F");
    EXPECT_EQ(log.lines(), QStringList(2, "[QvRekol] QvRekolControl => ERROR: missing url for "
                                          "server2!!!"));
}

TEST(RekolControlFile, MissingOrUnreadableFile) {
    QTemporaryDir dir;
    LogCapture log;
    const QvRekolControl missing = QvRekolControl::fromPath(dir.filePath("qctrl.dat"));
    EXPECT_TRUE(missing.sections().isEmpty());
    EXPECT_TRUE(log.lines().isEmpty());

    const QString good = writeFile(dir, "qctrl.dat", "[common]\nproduct=3\n");
    EXPECT_EQ(QvRekolControl::fromPath(good).getProductId(), 3);

    // A folder in the file's place, and bytes that are not UTF-8 text.
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    const QString binary = writeFile(dir, "binary", "[common]\nproduct=3\n\xC3\x28");
    for (const QString& path : {dir.filePath("folder"), binary}) {
        EXPECT_EQ(QvRekolControl::fromPath(path).getProductId(), 0);
    }
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 2);
    for (const QString& line : lines)
        EXPECT_TRUE(
            line.startsWith("[QvRekol] QvRekolControl => ERROR: load qctrl failed!!! error:"))
            << line.toStdString();
}
