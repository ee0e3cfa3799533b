// The installation record: the installer's name, identifiers, recorded keys,
// the installed version, and the identifier maker.
#include "TestFolders.h"
#include "fakeproduct/FakeProduct.h"
#include "install/Installer.h"
#include "install/RegEditer.h"
#include "install/UUIDGenerater.h"
#include "support/Files.h"
#include "support/LogCapture.h"

#include "support/PropertyListBytes.h"
#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {
ReportBlock sentinel() {
    ReportBlock b;
    b.version = "old";
    b.shortCode = "oc";
    b.tid1 = b.tid2 = b.tod1 = b.tod2 = 7;
    return b;
}

QSet<QString> keysOf(const QString& path) {
    QSet<QString> keys;
    for (const QString& line : RegEditer::splitLines(QString::fromUtf8(readFile(path))))
        if (line.contains('='))
            keys << "product/" + line.section('=', 0, 0);
    return keys;
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
        EXPECT_EQ(QStringList({b.version, b.shortCode}).join(' ') +
                      QString(" %1 %2 %3 %4").arg(b.tid1).arg(b.tid2).arg(b.tod1).arg(b.tod2),
                  fields)
            << name;
    }
}

TEST(PackageInfo, IdentifiersComeFromTheFileOrOneNewIdentifier) {
    QTemporaryDir dir;
    const QString path = writeFile(dir.path() + "/common.ini");

    // No "generated" entry: one new identifier for both fields, kept for the process.
    ReportBlock first;
    Installer::getPackageInfo(first, "X_v3.2.1_ab12_101.202.303.404", path);
    EXPECT_TRUE(kHex32.match(first.uuid).hasMatch());
    EXPECT_EQ(first.svrid, first.uuid);
    EXPECT_EQ(Installer::strUUid, first.uuid);
    ReportBlock second;
    Installer::getPackageInfo(second, "", path);
    EXPECT_EQ(second.uuid, first.uuid);
    EXPECT_EQ(first.version, "3.2.1");

    // Recorded once: read back from the file.
    RegEditer::setIniValueWithGroup("product/generated", "1", path);
    RegEditer::setIniValueWithGroup("product/uuid", "u-file", path);
    RegEditer::setIniValueWithGroup("product/svrid", "s-file", path);
    ReportBlock third;
    Installer::getPackageInfo(third, "X", path);
    EXPECT_EQ(third.uuid, "u-file");
    EXPECT_EQ(third.svrid, "s-file");

    // No settings file location: identifiers untouched.
    ReportBlock none = sentinel();
    none.uuid = "keep";
    Installer::getPackageInfo(none, "X", std::nullopt);
    EXPECT_EQ(none.uuid, "keep");
}

TEST(RecordPackageDetail, FreshWritesEightKeysAndTheIdentifierOnceOverwriteOnlyCoverKeys) {
    QTemporaryDir dir;
    const QString path = writeFile(dir.path() + "/common.ini");
    ReportBlock block;
    Installer::applyPackageName("X_v3.2.1_ab12_101.202.303.404", block);
    block.uuid = "U";
    Installer::recordPackageDetail(block, false, path);
    const QSet<QString> eight = {"product/version",       "product/shortCode",  "product/tid1",
                                 "product/tid2",          "product/tod1",       "product/tod2",
                                 "product/cover_install", "product/installtime"};
    EXPECT_EQ(keysOf(path),
              eight + QSet<QString>({"product/generated", "product/uuid", "product/svrid"}));
    EXPECT_EQ(RegEditer::getIniValueWithGroup("product/tod2", "", path), "404");
    EXPECT_EQ(RegEditer::getIniValueWithGroup("product/cover_install", "", path), "0");
    const qint64 t = RegEditer::getIniValueWithGroup("product/installtime", "", path).toLongLong();
    EXPECT_LE(std::abs(t - QDateTime::currentSecsSinceEpoch()), 5);
    // The second reporter's call finds "generated" set and keeps the identifier.
    block.uuid = "other";
    Installer::recordPackageDetail(block, false, path);
    EXPECT_EQ(RegEditer::getIniValueWithGroup("product/uuid", "", path), "U");

    const QString cover = writeFile(dir.path() + "/cover.ini");
    Installer::recordPackageDetail(sentinel(), true, cover);
    EXPECT_EQ(keysOf(cover), QSet<QString>({"product/cover_install", "product/cover_installtime"}));
    EXPECT_EQ(RegEditer::getIniValueWithGroup("product/cover_install", "", cover), "1");
}

TEST(CheckPackageVersion, XmlBinaryAndBrokenPropertyLists) {
    QTemporaryDir dir;
    const QString xmlApp = FakeProduct::write(dir.path() + "/xml", productOptions("3.2.1.4567"));
    ASSERT_FALSE(xmlApp.isEmpty());
    EXPECT_EQ(Installer::checkPackageVersion(xmlApp), 4567);
    EXPECT_EQ(Installer::bundleExecutable(xmlApp), "docreader");

    // An application whose Info.plist holds `content`.
    const auto app = [&](const QString& name, const QByteArray& content) {
        writeFile(dir.path() + '/' + name + "/Contents/Info.plist", content);
        return dir.path() + '/' + name;
    };
    const struct {
        const char* version;
        std::int64_t expected;
    } cases[] = {{"3.2.1", 1}, {"3.2.1.4567", 4567}, {"beta", -1}, {"1..x.12.", 12}, {"", -1}};
    for (const auto& c : cases) {
        const QByteArray bytes = binaryPropertyList(
            {{"CFBundleExecutable", "docreader"}, {"CFBundleShortVersionString", c.version}});
        EXPECT_EQ(Installer::checkPackageVersion(app(QString("bin-") + c.version, bytes)),
                  c.expected)
            << c.version;
    }
    // A number rather than a text, under a key that only contains the name.
    EXPECT_EQ(Installer::checkPackageVersion(
                  app("num", binaryPropertyList({{"XCFBundleShortVersionString", 42}}))),
              42);

    LogCapture log;
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
    const QString material = UUIDGenerater::material(42, "0a1b2c3d-0000-4000-8000-00000000abcd",
                                                     time, "host", std::nullopt);
    EXPECT_EQ(material, "00042"
                        "0A1B2C3D00004000800000000000ABCD"
                        "021030920240705"
                        "04" +
                            UUIDGenerater::md5Hex("host"));
    EXPECT_EQ(UUIDGenerater::material(42, "x", time, "host", 5).right(10), "0000000005");
}
