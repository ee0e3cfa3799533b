// Settling what an interrupted install left, from the journal's run alone.
#include "TestFolders.h"
#include "install/InstallJournal.h"
#include "support/Files.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <functional>
#include <gtest/gtest.h>

namespace {
QString journalPath(const TestFolders& folders) {
    return folders.dataDir() + "/Lumadoc/install-journal.json";
}

// Moves the bundle that FakeProduct wrote under `from` to `to`.
void placeApp(const QString& from, const QString& to) {
    QDir().mkpath(QFileInfo(to).absolutePath());
    QDir().rename(from + "/Lumadoc.app", to);
}
} // namespace

TEST(InstallJournal, SettlingLeavesAWholeApplicationAndNothingElse) {
    struct Case {
        const char* name;
        QStringList made;
        // Lays out what a crash left, given the run's staging folder and
        // where the copies beside the applications go (".Lumadoc.app.<x>-<id>").
        std::function<void(const TestFolders&, const QString& staging, const QString& beside)>
            crash;
        const char* expected; // the version of the whole application after settling
    };
    const Case cases[] = {
        {"between the two renames",
         {"temp", "staging"},
         [](const TestFolders& f, const QString& s, const QString&) {
             FakeProduct::write(f.root() + "/old", productOptions("1.0"));
             placeApp(f.root() + "/old", s + "/Lumadoc.app.bak");
             FakeProduct::write(s + "/temp", productOptions("2.0"));
         },
         "1.0"},
        {"after the swap",
         {"temp", "staging"},
         [](const TestFolders& f, const QString& s, const QString&) {
             FakeProduct::write(f.apps(), productOptions("2.0"));
             FakeProduct::write(f.root() + "/old", productOptions("1.0"));
             placeApp(f.root() + "/old", s + "/Lumadoc.app.bak");
             QDir().mkpath(s + "/Lumadoc/Lumadoc.app/Contents");
         },
         "2.0"},
        {"during the copy beside the applications",
         {"temp", "staging", "beside"},
         [](const TestFolders& f, const QString& s, const QString& beside) {
             FakeProduct::write(f.apps(), productOptions("1.0"));
             QDir().mkpath(beside.arg("new") + "/Contents");
             QDir().mkpath(s + "/temp");
         },
         "1.0"},
        {"between the renames beside the applications",
         {"staging", "beside"},
         [](const TestFolders& f, const QString&, const QString& beside) {
             FakeProduct::write(f.root() + "/old", productOptions("1.0"));
             placeApp(f.root() + "/old", beside.arg("bak"));
             FakeProduct::write(f.root() + "/new", productOptions("2.0"));
             placeApp(f.root() + "/new", beside.arg("new"));
         },
         "1.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolders folders;
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        const QString staging = folders.home() + '/' + id;
        QDir().mkpath(staging);
        const QString temp = QDir::tempPath() + "/lumadoc-" + id;
        writeFile(temp + "/package.dmg.part", "ima");
        c.crash(folders, staging, folders.apps() + "/.Lumadoc.app.%1-" + id);
        const QJsonObject run{
            {"run", id}, {"phase", "swapping"}, {"made", QJsonArray::fromStringList(c.made)}};
        writeFile(journalPath(folders),
                  QJsonDocument(QJsonObject{{"runs", QJsonArray{run}}}).toJson());
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
        EXPECT_EQ(QFileInfo::exists(temp), !c.made.contains("temp"));
        EXPECT_FALSE(QFileInfo::exists(journalPath(folders)));
        QDir(temp).removeRecursively();
    }
}

TEST(InstallJournal, OnlyTheRunsOwnStagingFolderIsActedOn) {
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const struct {
        const char* name;
        QString run;    // as the journal names it
        QString folder; // what that leads to, below the test's root
        bool link;      // <home>/<id> is a link to the folder
    } cases[] = {
        {"another name", "Documents", "home/Documents", false},
        {"a path up from home", "../" + id, id, false},
        {"a path through the run's folder", id + "/../../victim", "victim", false},
        {"a link in the run's place", id, "victim", true},
        {"the run's own folder", id, "home/" + id, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolders f;
        FakeProduct::write(f.apps(), productOptions("1.0"));
        const auto app = snapshotTree(f.apps() + "/Lumadoc.app");
        const QString folder = f.root() + '/' + c.folder;
        FakeProduct::write(f.root() + "/old", productOptions("0.9"));
        placeApp(f.root() + "/old", folder + "/Lumadoc.app.bak");
        writeFile(folder + "/temp/keep.txt", "mine");
        if (c.link)
            QFile::link(folder, f.home() + '/' + id);
        else
            QDir().mkpath(f.home() + '/' + id);
        const auto before = snapshotTree(folder);
        const QJsonObject run{
            {"run", c.run}, {"phase", "swapping"}, {"made", QJsonArray{"staging"}}};
        writeFile(journalPath(f), QJsonDocument(QJsonObject{{"runs", QJsonArray{run}}}).toJson());

        InstallJournal::settle(true);
        EXPECT_EQ(snapshotTree(f.apps() + "/Lumadoc.app"), app);
        if (c.folder == "home/" + id)
            EXPECT_FALSE(QFileInfo::exists(folder));
        else
            EXPECT_EQ(snapshotTree(folder), before);
    }
}
