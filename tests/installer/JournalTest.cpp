// Settling what an interrupted install left, from the journal's run alone.
#include "TestFolders.h"
#include "install/InstallJournal.h"
#include "support/Files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <gtest/gtest.h>

namespace {
// Lays out "<path>=<version>" entries as bundles of that version, "<path>" ones
// as empty folders; "{s}" stands for the staging folder, "{a}" for the
// applications folder, "{id}" for the run.
void layOut(const TestFolders& f, const QString& id, const QStringList& entries) {
    for (const QString& entry : entries) {
        const QString path = entry.section('=', 0, 0)
                                 .replace("{s}", f.home() + '/' + id)
                                 .replace("{a}", f.apps())
                                 .replace("{id}", id);
        QDir().mkpath(entry.contains('=') ? QFileInfo(path).path() : path);
        if (entry.contains('=')) {
            FakeProduct::write(f.root() + "/made", productOptions(entry.section('=', 1)));
            QDir().rename(f.root() + "/made/Lumadoc.app", path);
        }
    }
}

void writeJournal(const TestFolders& f, const QString& run, const QStringList& made) {
    const QJsonObject entry{
        {"run", run}, {"phase", "swapping"}, {"made", QJsonArray::fromStringList(made)}};
    writeFile(f.dataDir() + "/Lumadoc/install-journal.json",
              QJsonDocument(QJsonObject{{"runs", QJsonArray{entry}}}).toJson());
}

QString newRunId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
} // namespace

TEST(InstallJournal, SettlingLeavesAWholeApplicationAndNothingElse) {
    const struct {
        const char* name;
        QStringList made, crash; // what the run made; what the crash left
        const char* expected;    // the version of the whole application after settling
    } cases[] = {
        {"between the two renames",
         {"temp", "staging"},
         {"{s}/Lumadoc.app.bak=1.0", "{s}/temp/Lumadoc.app=2.0"},
         "1.0"},
        {"after the swap",
         {"temp", "staging"},
         {"{a}/Lumadoc.app=2.0", "{s}/Lumadoc.app.bak=1.0", "{s}/Lumadoc/Lumadoc.app/Contents"},
         "2.0"},
        {"during the copy beside the applications",
         {"temp", "staging", "beside"},
         {"{a}/Lumadoc.app=1.0", "{a}/.Lumadoc.app.new-{id}/Contents", "{s}/temp"},
         "1.0"},
        {"between the renames beside the applications",
         {"staging", "beside"},
         {"{a}/.Lumadoc.app.bak-{id}=1.0", "{a}/.Lumadoc.app.new-{id}=2.0"},
         "1.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolders folders;
        const QString id = newRunId();
        QDir().mkpath(folders.home() + '/' + id);
        const QString temp = QDir::tempPath() + "/lumadoc-" + id;
        writeFile(temp + "/package.dmg.part", "ima");
        layOut(folders, id, c.crash);
        writeJournal(folders, id, c.made);
        FakeProduct::write(folders.root() + "/expected", productOptions(c.expected));

        InstallJournal::settle(true);
        EXPECT_EQ(snapshotTree(folders.apps() + "/Lumadoc.app"),
                  snapshotTree(folders.root() + "/expected/Lumadoc.app"));
        EXPECT_EQ(
            QDir(folders.apps()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList({"Lumadoc.app"}));
        EXPECT_EQ(folders.homeEntries(), QStringList());
        EXPECT_EQ(QFileInfo::exists(temp), !c.made.contains("temp"));
        EXPECT_FALSE(QFileInfo::exists(folders.dataDir() + "/Lumadoc/install-journal.json"));
        QDir(temp).removeRecursively();
    }
}

TEST(InstallJournal, OnlyTheRunsOwnStagingFolderIsActedOn) {
    const QString id = newRunId();
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
        const QString folder = f.root() + '/' + c.folder;
        layOut(f, id, {"{a}/Lumadoc.app=1.0", folder + "/Lumadoc.app.bak=0.9"});
        const auto app = snapshotTree(f.apps() + "/Lumadoc.app");
        writeFile(folder + "/temp/keep.txt", "mine");
        if (c.link)
            QFile::link(folder, f.home() + '/' + id);
        else
            QDir().mkpath(f.home() + '/' + id);
        const auto before = snapshotTree(folder);
        writeJournal(f, c.run, {"staging"});

        InstallJournal::settle(true);
        EXPECT_EQ(snapshotTree(f.apps() + "/Lumadoc.app"), app);
        if (c.folder == "home/" + id)
            EXPECT_FALSE(QFileInfo::exists(folder));
        else
            EXPECT_EQ(snapshotTree(folder), before);
    }
}
