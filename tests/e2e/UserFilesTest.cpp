// The real installer among the user's files: full disks, planted links,
// damaged or planted journals, documents where its own files belong. The old
// application stays whole, the user's files stay as they were, and a step
// that cannot be done safely stops with the system's reason.
#include "flow/SilentInstall.h"
#include "support/InstallScenario.h"
#include "support/LinuxTools.h"

#include <QUuid>
#include <unistd.h>

namespace {

QString newRunId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// A document of the user's: a few MiB of lines, none of them a log's.
QByteArray document() {
    QByteArray text;
    for (int i = 0; text.size() < 6 * 1024 * 1024; ++i)
        text += "paragraph " + QByteArray::number(i) + " of the thesis\n";
    return text;
}

// Everything in home and the applications folder but the installer's own
// settings, state and log folders.
QStringList userEntries() {
    QStringList entries;
    for (const QString& root : {sandbox::home(), sandbox::applicationsDir()})
        entries += snapshotTree(root).keys().filter(QRegularExpression("^(?!\\.local)"));
    return entries;
}

} // namespace

TEST(UserFiles, PlantedLinksDocumentsAndCredentialsAreNeverWrittenThrough) {
    SKIP_WITHOUT_LINUX_TOOLS();
    // Nothing listens where the reports go: that changes nothing but the log.
    InstallScenario scenario({}, "http://127.0.0.1:9/rekol/report");
    ASSERT_TRUE(scenario.serveProduct("3.2.1"));
    const QString thesis = writeFile(sandbox::home() + "/thesis.txt", document());
    // Small: a document over the settings file's size cap is refused for its size alone.
    const QByteArray mine = "[product]\nmine=1\n";
    const QString notes = writeFile(sandbox::home() + "/notes.ini", mine);
    const QString tmp = sandbox::tempDir();
    // Credentials in the addresses never reach the log or the terminal.
    const QString control = scenario.resourceDir() + "/qctrl.dat";
    writeFile(control, readFile(control).replace("://", "://lumadoc:s3cr3t-pw@"));
    QProcessEnvironment env = scenario.environment();
    env.insert("LUMADOC_DOWNLOAD_BASE_URL",
               QString(scenario.server().baseUrl()).replace("://", "://lumadoc:s3cr3t-pw@"));
    struct Case {
        const char* name;
        QStringList links; // made to lead to `target`
        QString target;
        QStringList arguments = {};
        QString says = {}; // on standard error
    };
    const QString settings = sandbox::dataDir() + "/Lumadoc/reg/common.ini";
    const Case cases[] = {
        {"the download's names in the temporary folder are links",
         {tmp + "/package.dmg.part", tmp + "/package.dmg"},
         thesis},
        {"the log is a link to a document", {installerLogPath()}, thesis},
        {"--log-file names a document", {}, thesis, {"--log-file", thesis}},
        {"the settings file is a link to a document",
         {settings},
         notes,
         {},
         "could not record the installation in " + settings + ": it is a link"},
    };
    const QStringList links = {tmp + "/package.dmg.part", tmp + "/package.dmg", installerLogPath(),
                               settings};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& link : c.links) {
            QDir().mkpath(QFileInfo(link).absolutePath());
            QFile::link(c.target, link);
        }
        const ProgramRun run =
            runInstaller(env, QStringList{"--silent", "--verbose"} + c.arguments);
        EXPECT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
        EXPECT_EQ(readFile(thesis), document());
        EXPECT_EQ(readFile(notes), mine);
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
        for (const QString& link : links) {
            const QFileInfo info(link);
            EXPECT_TRUE(!info.isSymLink() || info.symLinkTarget() == thesis ||
                        info.symLinkTarget() == notes)
                << link.toStdString() << " -> " << info.symLinkTarget().toStdString();
            QFile::remove(link);
        }
        for (const QString& text : {run.log, run.err, run.out})
            EXPECT_FALSE(text.contains("s3cr3t-pw")) << text.toStdString();
        EXPECT_TRUE(run.err.contains("http://***@127.0.0.1:")) << run.err.toStdString();
        stopProduct();
    }
    // The document, and the reports kept for the dead server, are no later test's.
    QFile::remove(thesis);
    QFile::remove(notes);
    QDir(sandbox::home() + "/Documents").removeRecursively();
}

TEST(UserFiles, AJournalLeadsOnlyToWhatItsRunMadeAndADamagedOneStrandsNothing) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    const Tree oldTree = scenario.reinstallPrevious();
    const QString documents = sandbox::home() + "/Documents";
    for (const char* name : {"Lumadoc/keep.txt", "Lumadoc.app.bak/keep.txt",
                             "temp/Lumadoc.app/keep.txt", "package.dmg/keep.txt"})
        writeFile(documents + '/' + name, "mine");
    const auto userDocuments = snapshotTree(documents);
    const QString planted = newRunId();
    const QString other = sandbox::home() + '/' + newRunId(), stranded = other + "/Lumadoc.app.bak";
    const QString foreignFolder = sandbox::tempDir() + "/lumadoc-" + planted;
    // A backup such as a crash between the two renames leaves.
    const auto strandBackup = [&] {
        return QDir().mkpath(other) && QDir().rename(installedApp(), stranded);
    };

    struct Case {
        const char* name;
        std::function<QByteArray()> plant; // lays out the crash, returns the journal
        bool appBack;                      // the previous application is in place after
    };
    const Case cases[] = {
        {"a run whose folders are a link to the user's and another user's folder",
         [&] {
             QFile::link(documents, sandbox::home() + '/' + planted);
             // The temporary folder is shared: a folder of that name may be someone else's.
             const QByteArray theirs = QFile::encodeName(foreignFolder);
             writeFile(foreignFolder + "/keep.txt", "theirs");
             if (::chown(theirs + "/keep.txt", 65534, 65534) != 0 ||
                 ::chown(theirs, 65534, 65534) != 0) { // not root: a link stands in
                 QDir(foreignFolder).removeRecursively();
                 QFile::link(documents, foreignFolder);
             }
             // Paths the way an earlier journal named them, too.
             return QString(R"({
                 "runs": [{"run": "%1", "phase": "swapping", "made": ["temp", "staging"]}],
                 "staging": "%2", "mount": "%2/Lumadoc", "backup": "%3/Lumadoc.app.bak",
                 "package": "%3/package.dmg", "app": "%4"})")
                 .arg(planted, sandbox::home() + '/' + planted, documents, installedApp())
                 .toUtf8();
         },
         true},
        {"a damaged journal after a crash between the renames",
         [&] {
             strandBackup();
             return QByteArray("{\"runs\": [{\"run\": \"x");
         },
         true},
        {"a damaged journal and two backups: neither is guessed",
         [&] {
             strandBackup();
             QDir().mkpath(sandbox::applicationsDir() + "/.Lumadoc.app.bak-" + planted);
             return QByteArray("not json");
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = c.plant();
        ASSERT_FALSE(writeFile(installJournalPath(), bytes).isEmpty());
        const QStringList homeBefore = userEntries();
        const ProgramRun run = runInstaller(scenario.offline());
        EXPECT_EQ(run.status, SilentInstall::DownloadFailed) << run.err.toStdString();
        EXPECT_EQ(snapshotTree(documents), userDocuments);
        EXPECT_TRUE((QFileInfo(sandbox::home() + '/' + planted).isSymLink() &&
                     QFileInfo::exists(foreignFolder)) ||
                    !bytes.contains(planted.toUtf8()));
        EXPECT_TRUE(c.appBack ? snapshotTree(installedApp()) == oldTree
                              : userEntries() == homeBefore);
        const QString folder = QFileInfo(installJournalPath()).path();
        const QStringList aside = QDir(folder).entryList({"install-journal.json.unreadable-*"});
        EXPECT_EQ(aside.size(), bytes.contains(planted.toUtf8()) ? 0 : 1);
        for (const QString& name : aside) {
            EXPECT_EQ(readFile(folder + '/' + name), bytes);
            QFile::remove(folder + '/' + name);
        }
        // Back to the start: the application in place, nothing planted.
        QFile::remove(sandbox::home() + '/' + planted);
        if (!QFile::remove(foreignFolder)) // a link goes, not what it leads to
            QDir(foreignFolder).removeRecursively();
        QDir(sandbox::applicationsDir() + "/.Lumadoc.app.bak-" + planted).removeRecursively();
        if (!QFileInfo::exists(installedApp()))
            QDir().rename(stranded, installedApp());
        QDir(other).removeRecursively();
    }
    QDir(documents).removeRecursively();
}

TEST(UserFiles, ABackupThatCannotBeRemovedOrPutBackKeepsItsRunInTheJournal) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct("3.2.1"));
    scenario.installPrevious("1.0.0");
    const QString locked = writeFile(installedApp() + "/Contents/Resources/locked", "x");
    if (!setImmutable(locked, true))
        GTEST_SKIP() << "cannot make a file immutable here";
    const ProgramRun run = runInstaller(scenario.environment());
    EXPECT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
    EXPECT_EQ(snapshotTree(installedApp()), snapshotTree(scenario.servedApp()));
    stopProduct();
    const QStringList staging = QDir(sandbox::home()).entryList({"*-*-*-*-*"}, QDir::Dirs);
    ASSERT_EQ(staging.size(), 1);
    const QString backup = sandbox::home() + '/' + staging[0] + "/Lumadoc.app.bak";
    EXPECT_TRUE(run.err.contains("could not remove " + backup + ": Operation not permitted"))
        << run.err.toStdString();
    EXPECT_TRUE(readFile(installJournalPath()).contains(staging[0].toUtf8()));

    // Still there at the next start; gone, with its run, once it can go.
    EXPECT_TRUE(runInstaller(scenario.offline()).err.contains("could not remove"));
    EXPECT_TRUE(QFileInfo::exists(installJournalPath()));
    setImmutable(backup + "/Contents/Resources/locked", false);
    EXPECT_TRUE(ended(runInstaller(scenario.offline()), SilentInstall::DownloadFailed,
                      "(?s)^(?!.*could not remove)", snapshotTree(scenario.servedApp())));

    // A crash between the renames, and the applications folder locked at the next start:
    // the backup stays, with its run, until it can go back.
    const QString id = newRunId(), stranded = sandbox::home() + '/' + id + "/Lumadoc.app.bak";
    ASSERT_TRUE(QDir().mkpath(sandbox::home() + '/' + id) &&
                QDir().rename(installedApp(), stranded));
    writeFile(installJournalPath(), "{\"runs\": [{\"run\": \"" + id.toUtf8() +
                                        "\", \"phase\": \"swapping\", \"made\": [\"staging\"]}]}");
    ASSERT_TRUE(setImmutable(sandbox::applicationsDir(), true));
    runInstaller(scenario.offline());
    setImmutable(sandbox::applicationsDir(), false);
    EXPECT_EQ(snapshotTree(stranded), snapshotTree(scenario.servedApp()));
    EXPECT_TRUE(readFile(installJournalPath()).contains(id.toUtf8()));
    EXPECT_TRUE(ended(runInstaller(scenario.offline()), SilentInstall::DownloadFailed, "",
                      snapshotTree(scenario.servedApp())));
}
