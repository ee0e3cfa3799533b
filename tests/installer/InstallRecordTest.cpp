// The installation record: the installer's name, identifiers, recorded keys,
// the installed version, and the identifier maker.
#include "TestFolders.h"
#include "install/Installer.h"
#include "install/RegEditer.h"
#include "install/UUIDGenerater.h"
#include "support/Files.h"
#include "support/LogCapture.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {
ReportBlock sentinel() {
    ReportBlock b;
    b.version = "old";
    b.shortCode = "oc";
    b.tid1 = b.tid2 = b.tod1 = b.tod2 = 7;
    return b;
}

// The settings file's lines, "[product]" aside.
QStringList linesOf(const QString& path) {
    QStringList lines = RegEditer::splitLines(QString::fromUtf8(readFile(path)));
    lines.removeAll("[product]");
    return lines;
}

// An application whose Info.plist holds the dictionary `entries`, as XML or as
// the platform's tool writes it in binary.
QString appWith(const QString& dir, const QString& entries, bool binary) {
    const QString xml = writeFile(dir + "/Info.xml", "<?xml version=\"1.0\"?><plist><dict>" +
                                                         entries.toUtf8() + "</dict></plist>");
    const QString plist = dir + "/app/Contents/Info.plist";
    QDir().mkpath(dir + "/app/Contents");
#ifdef __APPLE__
    const QStringList convert = {"plutil", "-convert", "binary1", "-o", plist, xml};
#else
    const QStringList convert = {"plistutil", "-i", xml, "-o", plist, "-f", "bin"};
#endif
    EXPECT_TRUE(binary ? QProcess::execute(convert[0], convert.mid(1)) == 0
                       : QFile::rename(xml, plist));
    return dir + "/app";
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
        ReportBlock b = sentinel();
        Installer::applyPackageName(QString::fromUtf8(name), b);
        EXPECT_EQ(QString("%1 %2 %3 %4 %5 %6")
                      .arg(b.version, b.shortCode)
                      .arg(b.tid1)
                      .arg(b.tid2)
                      .arg(b.tod1)
                      .arg(b.tod2),
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
    ReportBlock first, second, none = sentinel();
    Installer::getPackageInfo(first, "X_v3.2.1_ab12_101.202.303.404", path);
    EXPECT_TRUE(kHex32.match(first.uuid).hasMatch());
    EXPECT_EQ(first.svrid, first.uuid);
    EXPECT_EQ(Installer::strUUid, first.uuid);
    EXPECT_EQ(first.version, "3.2.1");
    Installer::getPackageInfo(second, "", path);
    EXPECT_EQ(second.uuid, first.uuid);
    none.uuid = "keep"; // no settings file location: untouched
    Installer::getPackageInfo(none, "X", std::nullopt);
    EXPECT_EQ(none.uuid, "keep");

    first.uuid = "U";
    Installer::recordPackageDetail(first, false, path);
    first.uuid = "other"; // the second reporter's call finds "generated" set
    Installer::recordPackageDetail(first, false, path);
    QStringList lines = linesOf(path);
    const QStringList time = lines.filter(QRegularExpression("^installtime=\\d+$"));
    ASSERT_EQ(time.size(), 1);
    EXPECT_LE(std::abs(time[0].mid(12).toLongLong() - QDateTime::currentSecsSinceEpoch()), 5);
    lines.removeAll(time[0]);
    lines.sort();
    EXPECT_EQ(lines.join(' '), "cover_install=0 generated=1 shortCode=ab12 svrid=U tid1=101 "
                               "tid2=202 tod1=303 tod2=404 uuid=U version=3.2.1");
    RegEditer::setIniValueWithGroup("product/svrid", "S", path);
    ReportBlock read;
    Installer::getPackageInfo(read, "X", path);
    EXPECT_EQ(read.uuid + read.svrid, "US");

    const QString cover = writeFile(dir.path() + "/cover.ini");
    Installer::recordPackageDetail(sentinel(), true, cover);
    EXPECT_EQ(linesOf(cover).filter(QRegularExpression("^cover_install(=1|time=\\d+)$")).size(), 2);
    EXPECT_EQ(linesOf(cover).size(), 2);
}

TEST(CheckPackageVersion, XmlBinaryAndBrokenPropertyLists) {
    QTemporaryDir dir;
    const std::pair<const char*, std::int64_t> cases[] = {
        {"<string>3.2.1</string>", 1}, {"<string>3.2.1.4567</string>", 4567},
        {"<string>beta</string>", -1}, {"<string>1..x.12.</string>", 12},
        {"<string></string>", -1},     {"<integer>42</integer>", 42}};
    int n = 0;
    for (const auto& [value, expected] : cases)
        for (const bool binary : {false, true}) // under a key that only contains the name
            EXPECT_EQ(Installer::checkPackageVersion(appWith(
                          dir.filePath(QString::number(++n)),
                          QString("<key>XCFBundleShortVersionString</key>") + value, binary)),
                      expected)
                << value << (binary ? " binary" : " XML");

    LogCapture log;
    const auto app = [&](const QString& name, const QByteArray& content) {
        writeFile(dir.filePath(name + "/Contents/Info.plist"), content);
        return dir.filePath(name);
    };
    EXPECT_EQ(Installer::checkPackageVersion(dir.path() + "/missing"), -1);
    EXPECT_EQ(Installer::checkPackageVersion(app("garbage", "\x01\x02 not a plist")), -1);
    EXPECT_EQ(Installer::checkPackageVersion(app("truncated", "bplist00\x01")), -1);
    EXPECT_EQ(Installer::checkPackageVersion(
                  app("array", "<?xml version=\"1.0\"?><plist><array><string>1</string></array>"
                               "</plist>")),
              -1);
    EXPECT_EQ(log.lines().filter("Failed to read plist file: ").size(), 3);
    EXPECT_EQ(log.lines().count("Failed to cast plist content to dictionary."), 1);
}

TEST(UUIDGenerater, IdentifiersAndTheirMaterial) {
    QSet<QString> seen;
    for (int i = 0; i < 50; ++i)
        seen << assembleUUID();
    EXPECT_EQ(seen.size(), 50);
    for (const QString& id : seen)
        EXPECT_TRUE(kHex32.match(id).hasMatch()) << id.toStdString();

    EXPECT_EQ(UUIDGenerater::hostPiece("MacBook-Pro.local"),
              UUIDGenerater::md5Hex("Macbook-pro.local"));
    EXPECT_EQ(UUIDGenerater::freeSpacePiece(4294967301LL), "0000000005");
    EXPECT_EQ(UUIDGenerater::freeSpacePiece(2147483648LL), "-2147483648");
    const QDateTime time(QDate(2024, 3, 9), QTime(7, 5, 4, 21));
    EXPECT_EQ(UUIDGenerater::material(42, "0a1b2c3d-0000-4000-8000-00000000abcd", time, "host",
                                      std::nullopt),
              "000420A1B2C3D00004000800000000000ABCD02103092024070504" +
                  UUIDGenerater::md5Hex("host"));
    EXPECT_EQ(UUIDGenerater::material(42, "x", time, "host", 5).right(10), "0000000005");
}
