// Settling what an interrupted install left, from the journal alone.
#include "TestFolders.h"
#include "install/InstallJournal.h"
#include "support/Files.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <functional>
#include <gtest/gtest.h>

namespace {
QString newStagingName() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString journalPath(const TestFolders& folders) {
    return folders.dataDir() + "/Lumadoc/install-journal.json";
}
} // namespace

TEST(InstallJournal, SettlingLeavesAWholeApplicationAndNothingElse) {
    struct Case {
        const char* name;
        // Lays out what a crash left; returns the journal's entries.
        std::function<QJsonObject(const TestFolders&, const QString& staging)> crash;
        const char* expected; // the version of the whole application after settling
    };
    const auto entries = [](const QString& app, const QString& staging, const QString& fresh,
                            const QString& backup, const QString& tmp) {
        return QJsonObject{{"phase", "swapping"},
                           {"app", app},
                           {"staging", staging},
                           {"mount", staging + "/Lumadoc"},
                           {"new", fresh},
                           {"backup", backup},
                           {"part", tmp + "/package.dmg.part"},
                           {"package", tmp + "/package.dmg"}};
    };
    const Case cases[] = {
        {"between the two renames",
         [&](const TestFolders& f, const QString& s) {
             FakeProduct::write(s, productOptions("1.0"));
             QDir().rename(s + "/Lumadoc.app", s + "/Lumadoc.app.bak");
             FakeProduct::write(s + "/temp", productOptions("2.0"));
             return entries(f.apps() + "/Lumadoc.app", s, s + "/temp/Lumadoc.app",
                            s + "/Lumadoc.app.bak", f.root());
         },
         "1.0"},
        {"after the swap",
         [&](const TestFolders& f, const QString& s) {
             FakeProduct::write(f.apps(), productOptions("2.0"));
             FakeProduct::write(s, productOptions("1.0"));
             QDir().rename(s + "/Lumadoc.app", s + "/Lumadoc.app.bak");
             QDir().mkpath(s + "/Lumadoc/Lumadoc.app/Contents");
             return entries(f.apps() + "/Lumadoc.app", s, s + "/temp/Lumadoc.app",
                            s + "/Lumadoc.app.bak", f.root());
         },
         "2.0"},
        {"during the copy beside the applications",
         [&](const TestFolders& f, const QString& s) {
             FakeProduct::write(f.apps(), productOptions("1.0"));
             QDir().mkpath(f.apps() + "/.Lumadoc.app.new-X/Contents");
             QDir().mkpath(s + "/temp");
             return entries(f.apps() + "/Lumadoc.app", s, f.apps() + "/.Lumadoc.app.new-X",
                            f.apps() + "/.Lumadoc.app.bak-X", f.root());
         },
         "1.0"},
        {"between the renames beside the applications",
         [&](const TestFolders& f, const QString& s) {
             FakeProduct::write(f.root() + "/old", productOptions("1.0"));
             QDir().rename(f.root() + "/old/Lumadoc.app", f.apps() + "/.Lumadoc.app.bak-X");
             FakeProduct::write(f.root() + "/new", productOptions("2.0"));
             QDir().rename(f.root() + "/new/Lumadoc.app", f.apps() + "/.Lumadoc.app.new-X");
             QDir().mkpath(s);
             return entries(f.apps() + "/Lumadoc.app", s, f.apps() + "/.Lumadoc.app.new-X",
                            f.apps() + "/.Lumadoc.app.bak-X", f.root());
         },
         "1.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolders folders;
        const QString staging = folders.home() + '/' + newStagingName();
        QDir().mkpath(staging);
        writeFile(folders.root() + "/package.dmg", "image");
        writeFile(folders.root() + "/package.dmg.part", "ima");
        const QJsonObject journal = c.crash(folders, staging);
        writeFile(journalPath(folders), QJsonDocument(journal).toJson());
        const QString expected = folders.root() + "/expected";
        FakeProduct::write(expected, productOptions(c.expected));

        InstallJournal::settle(true);
        EXPECT_EQ(snapshotTree(folders.apps() + "/Lumadoc.app"),
                  snapshotTree(expected + "/Lumadoc.app"));
        EXPECT_EQ(
            QDir(folders.apps()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList({"Lumadoc.app"}));
        EXPECT_TRUE(folders.homeEntries().isEmpty())
            << folders.homeEntries().join(' ').toStdString();
        EXPECT_FALSE(QFileInfo::exists(folders.root() + "/package.dmg"));
        EXPECT_FALSE(QFileInfo::exists(folders.root() + "/package.dmg.part"));
        EXPECT_FALSE(QFileInfo::exists(journalPath(folders)));
    }
}

TEST(InstallJournal, APlantedOrDamagedJournalRemovesNothing) {
    TestFolders folders;
    ASSERT_FALSE(FakeProduct::write(folders.apps(), productOptions("1.0")).isEmpty());
    const QString keep = writeFile(folders.home() + "/Documents/keep.pdf", "%PDF");
    const QString uuidNamed = writeFile(folders.root() + '/' + newStagingName() + "/x", "x");
    QDir().mkpath(QFileInfo(journalPath(folders)).absolutePath());
    const QStringList before = snapshotTree(folders.root()).keys();
    const QStringList journals = {
        QJsonDocument(QJsonObject{{"staging", folders.home()},
                                  {"backup", folders.home() + "/Documents"},
                                  {"new", folders.apps() + "/Lumadoc.app"},
                                  {"part", keep},
                                  {"mount", folders.home() + "/Documents"},
                                  {"package", folders.apps()}})
            .toJson(),
        // A staging-shaped folder outside home, and a path that climbs out.
        QJsonDocument(QJsonObject{{"staging", QFileInfo(uuidNamed).absolutePath()},
                                  {"app", folders.apps() + "/../Lumadoc.app"},
                                  {"backup", folders.home() + "/../Applications/Lumadoc.app"}})
            .toJson(),
        "{ not json",
        "[\"a list\"]",
    };
    for (const QString& journal : journals) {
        SCOPED_TRACE(journal.toStdString());
        writeFile(journalPath(folders), journal.toUtf8());
        InstallJournal::settle(true);
        EXPECT_FALSE(QFileInfo::exists(journalPath(folders)));
        EXPECT_EQ(snapshotTree(folders.root()).keys().join('\n').toStdString(),
                  before.join('\n').toStdString());
    }
}
