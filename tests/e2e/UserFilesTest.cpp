// The real installer among the user's files: full disks, planted links,
// damaged or planted journals, documents where its own files belong. The old
// application stays whole, the user's files stay as they were, and a step
// that cannot be done safely stops with the system's reason.
#include "flow/SilentInstall.h"
#include "support/Files.h"
#include "support/InstallScenario.h"
#include "support/LinuxTools.h"
#include "support/ProgramRun.h"
#include "support/Sandbox.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QJsonDocument>
#include <QUuid>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>

namespace {

QString app() {
    return installedApp();
}
QString settingsFolder() {
    return sandbox::dataDir() + "/Lumadoc";
}
QString journal() {
    return settingsFolder() + "/install-journal.json";
}
QString newRunId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
QString defaultLog() {
    return installerLogPath();
}

// A document of the user's: a few MiB of lines, none of them a log's.
QByteArray document() {
    QByteArray text;
    for (int i = 0; text.size() < 6 * 1024 * 1024; ++i)
        text += "paragraph " + QByteArray::number(i) + " of the thesis\n";
    return text;
}

// Everything in home and the applications folder but the installer's own
// settings, state and log folders, one entry a line.
std::string userEntries() {
    QStringList entries;
    for (const QString& root : {sandbox::home(), sandbox::applicationsDir()})
        for (const QString& entry : snapshotTree(root).keys())
            if (!entry.startsWith(".local"))
                entries << entry;
    return entries.join('\n').toStdString();
}

// Puts the previous application back as it was and clears the settings folder.
void resetTo(InstallScenario& scenario, const QMap<QString, QString>& oldTree) {
    stopProduct();
    if (snapshotTree(app()) != oldTree) {
        QDir(app()).removeRecursively();
        scenario.installPrevious("1.0.0");
    }
    QDir(settingsFolder()).removeRecursively();
}

} // namespace

TEST(UserFiles, NoJournalOrLockStopsBeforeTheApplicationAndFullSettingsKeepTheirBytes) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct("3.2.1"));
    const auto newTree = snapshotTree(scenario.servedApp());
    scenario.installPrevious("1.0.0");
    const auto oldTree = snapshotTree(app());
    const QByteArray userSettings = "[product]\nmine=kept\n";
    const QString ini = scenario.settingsPath();
    const QString lock = settingsFolder() + "/installer.lock";
    const QString elsewhere = sandbox::root() + "/elsewhere/lock";

    struct Case {
        const char* name;
        QString mountAt;             // a tmpfs, filled up, when not empty
        std::function<void()> plant; // after the mount
        int status;
        QString says; // on standard error
    };
    const Case cases[] = {
        {"settings file on a full disk", settingsFolder() + "/reg", [] {}, SilentInstall::Installed,
         "could not record the installation in " + ini + ": No space left on device"},
        {"journal on a full disk", settingsFolder(), [] {}, SilentInstall::InstallFailed,
         "cannot write the install journal in " + settingsFolder() + ": No space left on device"},
        {"a folder where the journal goes",
         {},
         [] { QDir().mkpath(journal() + "/x"); },
         SilentInstall::InstallFailed,
         "cannot write the install journal in " + settingsFolder() + ": Is a directory"},
        {"a folder where the lock goes",
         {},
         [&] { QDir().mkpath(lock); },
         SilentInstall::InstallFailed,
         "cannot take the installer lock " + lock + ": Is a directory"},
        {"a dangling link where the lock goes",
         {},
         [&] { QFile::link(elsewhere, lock); },
         SilentInstall::InstallFailed,
         "cannot take the installer lock " + lock + ": Too many levels of symbolic links"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetTo(scenario, oldTree);
        std::unique_ptr<Tmpfs> disk;
        if (!c.mountAt.isEmpty()) {
            disk = std::make_unique<Tmpfs>(c.mountAt, 1);
            if (!disk->mounted) {
                std::cout << "[ NOTE     ] " << c.name << " not tried: cannot mount a tmpfs\n";
                continue;
            }
        }
        ASSERT_FALSE(writeFile(ini, userSettings).isEmpty());
        if (disk)
            fillUp(c.mountAt);
        c.plant();
        const ProgramRun run = runInstaller(scenario.environment());
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
        EXPECT_EQ(snapshotTree(app()), c.status == SilentInstall::Installed ? newTree : oldTree);
        EXPECT_EQ(readFile(ini), userSettings);
        EXPECT_FALSE(QFileInfo::exists(elsewhere));
        if (c.status == SilentInstall::Installed) {
            EXPECT_TRUE(run.log.contains(c.says));
        }
    }
    resetTo(scenario, oldTree);
}

TEST(UserFiles, PlantedLinksDocumentsAndCredentialsAreNeverWrittenThrough) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct("3.2.1"));
    const QString thesis = writeFile(sandbox::home() + "/thesis.txt", document());
    const QString tmp = sandbox::tempDir();
    // Credentials in the addresses never reach the log or the terminal.
    const QString control = scenario.resourceDir() + "/qctrl.dat";
    writeFile(control, readFile(control).replace("://", "://lumadoc:s3cr3t-pw@"));
    QProcessEnvironment env = scenario.environment();
    env.insert("LUMADOC_DOWNLOAD_BASE_URL",
               QString(scenario.server().baseUrl()).replace("://", "://lumadoc:s3cr3t-pw@"));
    struct Case {
        const char* name;
        std::function<void()> plant;
        QStringList arguments;
    };
    const Case cases[] = {
        {"the download's names in the temporary folder are links",
         [&] {
             QFile::link(thesis, tmp + "/package.dmg.part");
             QFile::link(thesis, tmp + "/package.dmg");
         },
         {}},
        {"the log is a link to a document",
         [&] {
             QDir().mkpath(QFileInfo(defaultLog()).absolutePath());
             QFile::link(thesis, defaultLog());
         },
         {}},
        {"--log-file names a document", [] {}, {"--log-file", thesis}},
    };
    const QStringList links = {tmp + "/package.dmg.part", tmp + "/package.dmg", defaultLog()};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.plant();
        const ProgramRun run =
            runInstaller(env, QStringList{"--silent", "--verbose"} + c.arguments);
        EXPECT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
        EXPECT_EQ(readFile(thesis), document());
        for (const QString& link : links) {
            const QFileInfo info(link);
            EXPECT_TRUE(!info.isSymLink() || info.symLinkTarget() == thesis)
                << link.toStdString() << " -> " << info.symLinkTarget().toStdString();
            QFile::remove(link);
        }
        for (const QString& text : {run.log, run.err, run.out})
            EXPECT_FALSE(text.contains("s3cr3t-pw")) << text.toStdString();
        EXPECT_TRUE(run.err.contains("http://***@127.0.0.1:")) << run.err.toStdString();
        stopProduct();
    }
}

TEST(UserFiles, AJournalLeadsOnlyToWhatItsRunMadeAndADamagedOneStrandsNothing) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    const QString oldApp = scenario.installPrevious("1.0.0");
    const auto oldTree = snapshotTree(oldApp);
    QProcessEnvironment down = scenario.environment();
    down.insert("LUMADOC_DOWNLOAD_BASE_URL", "http://127.0.0.1:9");
    const QString documents = sandbox::home() + "/Documents";
    for (const char* name : {"Lumadoc/keep.txt", "Lumadoc.app.bak/keep.txt",
                             "temp/Lumadoc.app/keep.txt", "package.dmg/keep.txt"})
        writeFile(documents + '/' + name, "mine");
    const auto userDocuments = snapshotTree(documents);
    const QString planted = newRunId();
    const QString other = newRunId();
    // A backup such as a crash between the two renames leaves.
    const auto strandBackup = [&](const QString& where) {
        QDir().mkpath(QFileInfo(where).absolutePath());
        QDir().rename(app(), where);
    };

    struct Case {
        const char* name;
        std::function<QByteArray()> plant; // lays out the crash, returns the journal
        bool appBack;                      // the previous application is in place after
    };
    const Case cases[] = {
        {"a run whose folders are links to the user's",
         [&] {
             QFile::link(documents, sandbox::home() + '/' + planted);
             QFile::link(documents, sandbox::tempDir() + "/lumadoc-" + planted);
             // Paths the way an earlier journal named them, too.
             return QJsonDocument::fromVariant(
                        QVariantMap{{"runs", QVariantList{QVariantMap{
                                                 {"run", planted},
                                                 {"phase", "swapping"},
                                                 {"made", QStringList{"temp", "staging"}}}}},
                                    {"staging", sandbox::home() + '/' + planted},
                                    {"mount", sandbox::home() + '/' + planted + "/Lumadoc"},
                                    {"backup", documents + "/Lumadoc.app.bak"},
                                    {"package", documents + "/package.dmg"},
                                    {"app", app()}})
                 .toJson();
         },
         true},
        {"a damaged journal after a crash between the renames",
         [&] {
             strandBackup(sandbox::home() + '/' + other + "/Lumadoc.app.bak");
             return QByteArray("{\"runs\": [{\"run\": \"x");
         },
         true},
        {"a damaged journal and two backups: neither is guessed",
         [&] {
             strandBackup(sandbox::home() + '/' + other + "/Lumadoc.app.bak");
             QDir().mkpath(sandbox::applicationsDir() + "/.Lumadoc.app.bak-" + planted);
             return QByteArray("not json");
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = c.plant();
        ASSERT_FALSE(writeFile(journal(), bytes).isEmpty());
        const std::string homeBefore = userEntries();
        const ProgramRun run = runInstaller(down);
        EXPECT_EQ(run.status, SilentInstall::DownloadFailed) << run.err.toStdString();
        EXPECT_EQ(snapshotTree(documents), userDocuments);
        EXPECT_TRUE(QFileInfo(sandbox::home() + '/' + planted).isSymLink() ||
                    !bytes.contains(planted.toUtf8()));
        if (c.appBack)
            EXPECT_EQ(snapshotTree(app()), oldTree);
        else
            EXPECT_EQ(userEntries(), homeBefore);
        const QStringList aside =
            QDir(settingsFolder()).entryList({"install-journal.json.unreadable-*"});
        EXPECT_EQ(aside.size(), bytes.contains(planted.toUtf8()) ? 0 : 1);
        for (const QString& name : aside) {
            EXPECT_EQ(readFile(settingsFolder() + '/' + name), bytes);
            QFile::remove(settingsFolder() + '/' + name);
        }
        // Back to the start: the application in place, nothing planted.
        QFile::remove(sandbox::home() + '/' + planted);
        QFile::remove(sandbox::tempDir() + "/lumadoc-" + planted);
        QDir(sandbox::applicationsDir() + "/.Lumadoc.app.bak-" + planted).removeRecursively();
        if (!QFileInfo::exists(app()))
            QDir().rename(sandbox::home() + '/' + other + "/Lumadoc.app.bak", app());
        QDir(sandbox::home() + '/' + other).removeRecursively();
    }
}

TEST(UserFiles, ABackupThatCannotBeRemovedKeepsItsRunInTheJournal) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct("3.2.1"));
    scenario.installPrevious("1.0.0");
    const QString locked = writeFile(app() + "/Contents/Resources/locked", "x");
    if (!setImmutable(locked, true))
        GTEST_SKIP() << "cannot make a file immutable here";
    const ProgramRun run = runInstaller(scenario.environment());
    EXPECT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
    EXPECT_EQ(snapshotTree(app()), snapshotTree(scenario.servedApp()));
    const QStringList staging = QDir(sandbox::home()).entryList({"*-*-*-*-*"}, QDir::Dirs);
    ASSERT_EQ(staging.size(), 1);
    const QString backup = sandbox::home() + '/' + staging[0] + "/Lumadoc.app.bak";
    EXPECT_TRUE(run.err.contains("could not remove " + backup + ": Operation not permitted"))
        << run.err.toStdString();
    EXPECT_TRUE(readFile(journal()).contains(staging[0].toUtf8()));

    // Still there at the next start; gone, with its run, once it can go.
    QProcessEnvironment down = scenario.environment();
    down.insert("LUMADOC_DOWNLOAD_BASE_URL", "http://127.0.0.1:9");
    EXPECT_TRUE(runInstaller(down).err.contains("could not remove"));
    EXPECT_TRUE(QFileInfo::exists(journal()));
    setImmutable(backup + "/Contents/Resources/locked", false);
    EXPECT_FALSE(runInstaller(down).err.contains("could not remove"));
    EXPECT_FALSE(QFileInfo::exists(sandbox::home() + '/' + staging[0]));
    EXPECT_FALSE(QFileInfo::exists(journal()));
    stopProduct();
}
