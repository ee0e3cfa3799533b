// The installation record: the settings file, the installer's name, the
// identifiers, the recorded keys and the installed version.
#include "install/Installer.h"
#include "install/RegEditer.h"
#include "install/UUIDGenerater.h"
#include "support/Files.h"
#include "support/LogCapture.h"

#include <QDataStream>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// The settings file's lines, "[product]" and empty ones aside.
QStringList linesOf(const QString& path) {
    QStringList lines = RegEditer::splitLines(QString::fromUtf8(readFile(path)));
    lines.removeIf([](const QString& line) { return line.isEmpty() || line == "[product]"; });
    return lines;
}

// An application whose Info.plist is `plist`, or the platform tool's binary form of it.
QString appWith(const QTemporaryDir& dir, const QByteArray& plist, bool binary = false) {
    static int made = 0;
    const QString app = dir.filePath(QString::number(++made));
    const QString path = writeFile(app + "/Contents/Info.plist", plist);
#ifdef __APPLE__
    const QStringList convert = {"plutil", "-convert", "binary1", path};
#else
    const QStringList convert = {"plistutil", "-i", path, "-o", path, "-f", "bin"};
#endif
    EXPECT_TRUE(!binary || QProcess::execute(convert[0], convert.mid(1)) == 0);
    return app;
}
QByteArray dict(const QByteArray& entries) {
    return "<?xml version=\"1.0\"?><plist><dict>" + entries + "</dict></plist>";
}

// A binary list of `levels` arrays, each holding `refs` references to the next,
// the last one empty.
QByteArray nestedArrays(quint32 levels, quint8 refs) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.writeRawData("bplist00", 8);
    QList<quint32> offsets;
    for (quint32 i = 0; i <= levels; ++i) {
        offsets << quint32(bytes.size());
        const quint8 n = i < levels ? refs : 0;
        out << quint8(0xA0 | n);
        for (int k = 0; k < n; ++k)
            out << quint32(i + 1);
    }
    const quint32 table = quint32(bytes.size());
    for (const quint32 offset : offsets)
        out << offset;
    out.writeRawData("\0\0\0\0\0\0\4\4", 8);
    out << quint64(levels) + 1 << quint64(0) << quint64(table);
    return bytes;
}

const QRegularExpression kHex32("^[0-9a-f]{32}$");
} // namespace

TEST(PackageName, FieldsFromTheInstallersName) {
    // Version, short code and the four tracking numbers; the block starts as "old oc 7 7 7 7".
    const std::pair<const char*, const char*> cases[] = {
        {"X_v3.2.1_ab12_101.202.303.404", "3.2.1 ab12 101 202 303 404"},
        {"X_v3.2.1_ab12_101.202.303.404 (1)", "3.2.1 ab12 101 202 303 404"},
        {"X_3.2.1_ab12_1.2.3.abc", "3.2.1 ab12 1 2 3 0"},
        {"X_v_s_1.2.3.x (1)", " s 1 2 3 1"},
        {"X_dev2v9_s_-1.+2.3 .4", "9 s -1 2 0 4"},
        {"X_v1_s_1.2.3.4.5_extra", "1 s 1 2 3 4"},
        {"X_v1_s_99999999999999999999.2.3.4", "1 s 0 2 3 4"},
        {"X_v1_s_1.2.3", "1 s 7 7 7 7"}, // three numbers: numbers kept
        {"X_v1_s", "old oc 7 7 7 7"},    // three parts: all kept
        {"___", "  7 7 7 7"},            // empty parts count as parts
        {"", "old oc 7 7 7 7"},
    };
    for (const auto& [name, fields] : cases) {
        ReportBlock b;
        b.version = "old";
        b.shortCode = "oc";
        b.tid1 = b.tid2 = b.tod1 = b.tod2 = 7;
        Installer::applyPackageName(QString::fromUtf8(name), b);
        EXPECT_EQ(QString::asprintf("%s %s %lld %lld %lld %lld", qPrintable(b.version),
                                    qPrintable(b.shortCode), qlonglong(b.tid1), qlonglong(b.tid2),
                                    qlonglong(b.tod1), qlonglong(b.tod2)),
                  fields)
            << name;
    }
}

// Identifiers come from the file once recorded, else one new identifier for
// both fields, kept for the process; a fresh record writes every key and the
// identifier once, an overwrite only the cover keys.
TEST(PackageRecord, IdentifiersAndRecordedKeys) {
    QTemporaryDir dir;
    const QString path = writeFile(dir.path() + "/common.ini");
    ReportBlock first, second, none;
    Installer::getPackageInfo(first, "X_v3.2.1_ab12_101.202.303.404", path);
    EXPECT_TRUE(kHex32.match(first.uuid).hasMatch());
    EXPECT_EQ(first.svrid, first.uuid);
    Installer::getPackageInfo(second, "", path);
    EXPECT_EQ(second.uuid, first.uuid);
    none.uuid = "keep"; // no settings file location: untouched
    Installer::getPackageInfo(none, "X", std::nullopt);
    EXPECT_EQ(none.uuid, "keep");
    first.uuid = "U";
    first.svrid = "S";
    Installer::recordPackageDetail(first, false, path);
    first.uuid = "other"; // the second reporter's call finds "generated" set
    Installer::recordPackageDetail(first, false, path);
    QStringList lines = linesOf(path);
    const qsizetype time = lines.indexOf(QRegularExpression("^installtime=\\d+$"));
    ASSERT_GE(time, 0);
    EXPECT_LE(
        std::abs(lines.takeAt(time).mid(12).toLongLong() - QDateTime::currentSecsSinceEpoch()), 5);
    lines.sort();
    EXPECT_EQ(lines.join(' ').toStdString(),
              "cover_install=0 generated=1 shortCode=ab12 svrid=S tid1=101 "
              "tid2=202 tod1=303 tod2=404 uuid=U version=3.2.1");
    ReportBlock read;
    Installer::getPackageInfo(read, "X", path);
    EXPECT_EQ(read.uuid + read.svrid, "US");
    const QString cover = writeFile(dir.path() + "/cover.ini");
    Installer::recordPackageDetail(ReportBlock(), true, cover);
    EXPECT_EQ(linesOf(cover).filter(QRegularExpression("^cover_install(=1|time=\\d+)$")).size(), 2);
    EXPECT_EQ(linesOf(cover).size(), 2);
}

// A damaged or hostile bundle's list that nests without end, or names one entry
// so often that a reader copying each would never finish, is refused; a deep one
// that a bundle might hold is read.
TEST(CheckPackageVersion, XmlBinaryAndBrokenPropertyLists) {
    QTemporaryDir dir;
    const QByteArray deep = QByteArray("<array>").repeated(100);
    const std::pair<QByteArray, std::int64_t> cases[] = {
        {"<string>3.2.1</string>", 1},
        {"<string>3.2.1.4567</string>", 4567},
        {"<string>beta</string>", -1},
        {"<string>1..x.12.</string>", 12},
        {"<string></string>", -1},
        {"<integer>42</integer>", 42},
        {"<string>3.2.1</string><key>x</key>" + deep + QByteArray(deep).replace('<', "</"), 1}};
    for (const auto& [value, expected] : cases)
        for (const bool binary : {false, true}) // under a key that only contains the name
            EXPECT_EQ(Installer::checkPackageVersion(appWith(
                          dir, dict("<key>XCFBundleShortVersionString</key>" + value), binary)),
                      expected)
                << value.left(40).toStdString() << (binary ? " binary" : " XML");
    LogCapture log;
    EXPECT_EQ(Installer::checkPackageVersion(dir.path() + "/missing"), -1);
    const QByteArray endless = QByteArray("<array>").repeated(100000);
    for (const QByteArray& content :
         {QByteArray("\x01\x02 not a plist"), QByteArray("bplist00\x01"),
          QByteArray("<?xml version=\"1.0\"?><plist><array><string>1</string></array></plist>"),
          "<plist>" + endless + QByteArray(endless).replace('<', "</") + "</plist>",
          nestedArrays(100000, 1), nestedArrays(40, 2)})
        EXPECT_EQ(Installer::checkPackageVersion(appWith(dir, content)), -1)
            << content.left(40).toStdString();
    EXPECT_EQ(log.lines().filter("Failed to read plist file: ").size(), 6);
    EXPECT_EQ(log.lines().count("Failed to cast plist content to dictionary."), 1);
    EXPECT_EQ(log.lines()
                  .filter(QRegularExpression("Failed to read plist file: (nested more "
                                             "than|more than .* entries)"))
                  .size(),
              3);
}

TEST(UUIDGenerater, IdentifiersAndTheirMaterial) {
    QSet<QString> seen;
    for (int i = 0; i < 50; ++i)
        EXPECT_TRUE(kHex32.match(*seen.insert(assembleUUID())).hasMatch());
    EXPECT_EQ(seen.size(), 50);
    EXPECT_EQ(UUIDGenerater::hostPiece("MacBook-Pro.local"),
              UUIDGenerater::md5Hex("Macbook-pro.local"));
    EXPECT_EQ(UUIDGenerater::freeSpacePiece(2147483648LL), "-2147483648");
    const QDateTime time(QDate(2024, 3, 9), QTime(7, 5, 4, 21));
    EXPECT_EQ(UUIDGenerater::material(42, "0a1b2c3d-0000-4000-8000-00000000abcd", time, "host",
                                      std::nullopt),
              "000420A1B2C3D00004000800000000000ABCD02103092024070504" +
                  UUIDGenerater::md5Hex("host"));
    // Only the low 32 bits of the free space count.
    EXPECT_EQ(UUIDGenerater::material(42, "x", time, "host", 4294967301LL).right(10), "0000000005");
}

// A name without exactly one "/", a missing file or one that is not UTF-8
// leaves the file as it was.
TEST(RegEditer, SetterLineRules) {
    const char* invalid = "Invalid format for groupName/key";
    const char* unread = "Failed to read the file";
    const struct {
        const char *name, *before, *key, *value, *after;
        const char* log = "File updated successfully";
    } cases[] = {
        {"empty file", "", "product/version", "2", "\n[product]\nversion=2"},
        {"replace in place", "a\n[product]\nx=1\nversion=1\ny=2\n[other]\nversion=9",
         "product/version", "2", "a\n[product]\nx=1\nversion=2\ny=2\n[other]\nversion=9"},
        {"append before the next group", "[product]\nx=1\n\n[other]\nz=3", "product/version", "2",
         "[product]\nx=1\n\nversion=2\n[other]\nz=3"},
        {"new group at the end", "[other]\na=1\n", "product/a", "v",
         "[other]\na=1\n\n[product]\na=v"},
        {"CRLF gains empty lines", "[product]\r\nx=1\r\n", "product/x", "2",
         "[product]\n\nx=2\n\n"},
        {"key compared exactly", "[product]\nVersion=1\n version=1", "product/version", "2",
         "[product]\nVersion=1\n version=1\nversion=2"},
        {"other newline characters split lines", "[product]\x0bk=1\xe2\x80\xa8z", "product/k", "2",
         "[product]\nk=2\nz"},
        {"value with = and unicode", "", "product/k", "a=b=\xe4\xb8\xad",
         "\n[product]\nk=a=b=\xe4\xb8\xad"},
        {"group alone", "[product]\nk=1", "product", "x", "[product]\nk=1", invalid},
        {"three parts", "[product]\nk=1", "a/b/c", "x", "[product]\nk=1", invalid},
        {"empty third part", "[product]\nk=1", "product/k/", "x", "[product]\nk=1", invalid},
        {"missing file", nullptr, "product/k", "2", "", unread},
        {"not UTF-8", "[product]\nk=\xff\xfe", "product/k", "2", "[product]\nk=\xff\xfe", unread},
    };
    QTemporaryDir dir;
    const QString path = dir.path() + "/common.ini";
    for (const auto& c : cases) {
        QFile::remove(path);
        if (c.before)
            writeFile(path, c.before);
        LogCapture log;
        RegEditer::setIniValueWithGroup(c.key, QString::fromUtf8(c.value), path);
        EXPECT_EQ(readFile(path), QByteArray(c.after)) << c.name;
        EXPECT_EQ(log.lines(), QStringList({c.log})) << c.name;
    }
}

// Grouped lookups take the last match in the group's sections; plain ones the
// first key anywhere, its value up to a second "=".
TEST(RegEditer, GettersReadTheirOwnWay) {
    QTemporaryDir dir;
    const QString path =
        writeFile(dir.path() + "/common.ini",
                  "generated=0\n[product]\nuuid=1\nurl=a=b=c\n[product2]\nonly=p2\n"
                  "[other]\nuuid=2\nonly=other\n[product]\nlate=3");
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"product/uuid", "1"}, {"product/url", "c"}, {"product/only", "def"},
        {"other/only", "other"}, {"product/late", "3"}, {"product/generated", "def"},
        {"missing/uuid", "def"}, {"a/b/c", "def"}, {"product/uuid/", "def"}, {"url", "a"},
        {"uuid", "1"}, {"generated", "0"}, {"only", "p2"}, {"absent", "def"}};
    // clang-format on
    LogCapture log;
    for (const auto& [query, value] : cases)
        EXPECT_EQ(QString(query).contains('/') ? RegEditer::getIniValueWithGroup(query, "def", path)
                                               : RegEditer::getIniValue(query, "def", path),
                  value)
            << query;
    EXPECT_EQ(log.lines().count("Invalid format for groupName/key"), 2);
    EXPECT_EQ(RegEditer::getIniValue("uuid", "def", dir.path() + "/missing.ini"), "def");
}
