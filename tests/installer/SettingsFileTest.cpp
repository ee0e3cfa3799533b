// The product settings file: line rules of the editor and its bootstrap.
#include "TestFolders.h"
#include "install/Installer.h"
#include "install/RegEditer.h"
#include "support/Files.h"
#include "support/LogCapture.h"

#include <QDir>
#include <gtest/gtest.h>

TEST(RegEditer, SetterLineRules) {
    const struct {
        const char *name, *before, *key, *value, *after;
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
    };
    QTemporaryDir dir;
    const QString path = dir.path() + "/common.ini";
    for (const auto& c : cases) {
        writeFile(path, c.before);
        LogCapture log;
        RegEditer::setIniValueWithGroup(c.key, QString::fromUtf8(c.value), path);
        EXPECT_EQ(readFile(path), QByteArray(c.after)) << c.name;
        EXPECT_EQ(log.lines(), QStringList({"File updated successfully"})) << c.name;
    }
}

TEST(RegEditer, RefusesMalformedNamesAndMissingOrInvalidFiles) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/common.ini";
    writeFile(path, "[product]\nk=1");
    LogCapture log;
    for (const char* name : {"product", "a/b/c", "product/k/"}) {
        RegEditer::setIniValueWithGroup(name, "x", path);
        EXPECT_EQ(RegEditer::getIniValueWithGroup(name, "def", path), "def") << name;
    }
    EXPECT_EQ(readFile(path), QByteArray("[product]\nk=1"));
    EXPECT_EQ(log.lines().count("Invalid format for groupName/key"), 6);

    log.clear();
    RegEditer::setIniValueWithGroup("product/k", "2", dir.path() + "/missing.ini");
    EXPECT_FALSE(QFile::exists(dir.path() + "/missing.ini"));
    writeFile(path, "[product]\nk=\xff\xfe");
    RegEditer::setIniValueWithGroup("product/k", "2", path);
    EXPECT_EQ(readFile(path), QByteArray("[product]\nk=\xff\xfe"));
    EXPECT_EQ(log.lines(), QStringList({"Failed to read the file", "Failed to read the file"}));
    EXPECT_EQ(RegEditer::getIniValue("k", "def", dir.path() + "/missing.ini"), "def");
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
        {"missing/uuid", "def"}, {"url", "a"}, {"uuid", "1"}, {"generated", "0"}, {"only", "p2"},
        {"absent", "def"}};
    // clang-format on
    for (const auto& [query, value] : cases)
        EXPECT_EQ(QString(query).contains('/') ? RegEditer::getIniValueWithGroup(query, "def", path)
                                               : RegEditer::getIniValue(query, "def", path),
                  value)
            << query;
}

TEST(SettingsFile, EnsureCreatesTheFileOnceAndLeavesNoStagingFolder) {
    TestFolders folders;
    const QString ini = folders.dataDir() + "/Lumadoc/reg/common.ini";
    ASSERT_EQ(Installer::getAppDataLocationPath("Lumadoc"), folders.dataDir() + "/Lumadoc");
    Installer::ensureIniFileExisted();
    EXPECT_TRUE(QFile::exists(ini) && readFile(ini).isEmpty());
    // An existing file is never touched.
    writeFile(ini, "[product]\nk=1");
    Installer::ensureIniFileExisted();
    EXPECT_EQ(readFile(ini), QByteArray("[product]\nk=1"));
    EXPECT_EQ(folders.homeEntries(), QStringList());
}
