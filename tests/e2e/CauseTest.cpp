// The real installer against servers, files, limits and folders that lie: a
// resumed download never splices two files, an extraction never fills the
// disk, and each failure's line names its cause as the system gave it, the log
// holds the failed command's own words, the previous application stays and the
// user's settings keep their bytes.
#include "fakeproduct/FakeProduct.h"
#include "flow/SilentInstall.h"
#include "support/InstallScenario.h"
#include "support/LinuxTools.h"

#include <cstdio>
#include <iostream>
#include <sys/resource.h>

namespace {

// A gzip stream named Lumadoc.app that expands to `bytes` zeros while its
// trailer, which 7-Zip lists, says 1 MiB.
QByteArray gzipBomb(qint64 bytes) {
    QProcess gzip;
    gzip.start("/bin/sh", {"-c", QString("head -c %1 /dev/zero | gzip -1").arg(bytes)});
    gzip.waitForFinished(60000);
    QByteArray stream = gzip.readAllStandardOutput();
    if (stream.size() < 18)
        return {};
    stream[3] = static_cast<char>(stream[3] | 0x08); // FNAME follows the header
    stream.insert(10, QByteArray("Lumadoc.app", 12));
    const quint32 listed = 1024 * 1024;
    for (int i = 0; i < 4; ++i)
        stream[stream.size() - 4 + i] = static_cast<char>((listed >> (8 * i)) & 0xff);
    return stream;
}

} // namespace

TEST(Cause, AResumedDownloadContinuesOnlyTheSameFile) {
    SKIP_WITHOUT_LINUX_TOOLS();
    struct Case {
        const char* rangeReply;  // nullptr: the server keeps to the range asked for
        bool replaced;           // the file on the server changes between the two requests
        const char* noTelemetry; // a variable set to 1 that turns telemetry off, or nullptr
    };
    for (const Case& c : {Case{nullptr, false, "DO_NOT_TRACK"},
                          Case{"ignore-if-range", true, "LUMADOC_NO_TELEMETRY"},
                          Case{"no-validator", false, nullptr}, Case{"wrong-start", false, nullptr},
                          Case{"weak-etag", false, nullptr}}) {
        SCOPED_TRACE(c.rangeReply ? c.rangeReply : "resumed");
        // A weak tag proves nothing about the bytes; the date still does.
        const bool resumes = !c.rangeReply || QString(c.rangeReply) == "weak-etag";
        QDir(installedApp()).removeRecursively();
        QStringList options = {"--fail-first", "1", "--drop-after", "1500000"};
        if (c.rangeReply)
            options << "--range-reply" << c.rangeReply;
        InstallScenario scenario(options);
        const QString dir = scenario.server().packageDir(), held = sandbox::root() + "/held";
        const QStringList images = {"/lumadoc_x86_64.dmg", "/lumadoc_arm64.dmg"};
        QDir(held).removeRecursively();
        QDir().mkpath(held);
        ASSERT_TRUE(scenario.serveProduct("3.3.0", 3 * 1024 * 1024));
        for (const QString& image : images)
            ASSERT_TRUE(QFile::rename(dir + image, held + image));
        ASSERT_TRUE(scenario.serveProduct("3.2.1", 3 * 1024 * 1024));

        bool swapped = !c.replaced;
        const auto swapBeforeTheRetry = [&](QProcess&, const QString&) {
            if (swapped || scenario.server().packageRequests().isEmpty())
                return;
            // Between the cut and the retry, two seconds later.
            for (const QString& image : images)
                std::rename(QFile::encodeName(held + image), QFile::encodeName(dir + image));
            swapped = true;
        };
        QProcessEnvironment env = scenario.environment();
        if (c.noTelemetry)
            env.insert(c.noTelemetry, "1");
        const ProgramRun run = runInstaller(env, {"--silent"}, {{}, swapBeforeTheRetry});
        // The installed tree is the product's, byte for byte.
        EXPECT_TRUE(ended(run, SilentInstall::Installed, "",
                          snapshotTree(scenario.servedApp(c.replaced ? "3.3.0" : "3.2.1"))));
        EXPECT_TRUE(!c.noTelemetry || scenario.telemetryOff(run, QString(c.noTelemetry) + "=1"));
        // A resume asks for the rest, from the first byte the cut kept; one the server
        // did not honour starts from zero after all.
        const QList<QJsonObject> requests = scenario.server().packageRequests();
        ASSERT_GE(requests.size(), 2);
        EXPECT_TRUE(resumes ? run.log.contains("Resuming download at byte") &&
                                  !run.log.contains("from zero")
                            : run.log.contains("starting again from zero"))
            << run.log.toStdString();
        // Retried once, by itself, two seconds after the cut.
        EXPECT_EQ(run.out.count("Downloading Lumadoc again..."), 1) << run.out.toStdString();
        EXPECT_EQ(run.log.count("fnDownload"), 2);
        EXPECT_GE(run.millis, 2000);
        EXPECT_EQ(requests.last()["range"].toString(),
                  resumes ? QString("bytes=%1-").arg(requests.first()["sent"].toInteger()) : "");
    }
}

TEST(Cause, EachFailureNamesItsCauseAndLeavesThePreviousApplication) {
    SKIP_WITHOUT_LINUX_TOOLS();
    const QString root = sandbox::root(), app = installedApp();
    std::vector<std::unique_ptr<Tmpfs>> mounts; // a case's own file systems
    const auto mount = [&](const QString& at, int megabytes = 64) {
        mounts.push_back(std::make_unique<Tmpfs>(at, megabytes));
        return mounts.back()->mounted;
    };
    using SetUp = std::function<bool(InstallScenario&, QProcessEnvironment&)>;
    const auto raw = [](const QByteArray& bytes) -> SetUp {
        return
            [bytes](InstallScenario& s, QProcessEnvironment&) { return s.serveRaw(bytes), true; };
    };
    const auto set = [](const QString& name, const QString& value) -> SetUp {
        return [=](InstallScenario&, QProcessEnvironment& env) {
            return env.insert(name, value), true;
        };
    };
    const auto previousIn = [&](const QString& dir) {
        FakeProduct::Options old;
        old.version = "1.0.0";
        return !FakeProduct::write(dir, old).isEmpty();
    };
    struct Case {
        const char* name;
        QStringList serverOptions;
        SetUp setUp; // after the product is served; false: cannot be made here (needs root)
        int status;
        QString cause;            // a pattern on standard error
        QString logSays = {};     // a pattern on the log: the failed command's own words
        QStringList reports = {}; // all of the run
        std::function<void()> inChild = {};
    };
    // What the swap needs besides the application: a journal and a lock. The user's
    // settings keep their bytes whatever happens, a link is never followed.
    const QString settings = sandbox::dataDir() + "/Lumadoc", ini = settings + "/reg/common.ini";
    const QString lock = settings + "/installer.lock", elsewhere = root + "/elsewhere/lock";
    const QByteArray userSettings = "[product]\nmine=kept\n";
    const auto full = [&](const QString& at) -> SetUp {
        return [&, at](InstallScenario&, QProcessEnvironment&) {
            const bool made = mount(at, 1) && !writeFile(ini, userSettings).isEmpty();
            return fillUp(at), made;
        };
    };
    const auto plant = [](const QString& folder, const QString& link = {}) -> SetUp {
        return [=](InstallScenario&, QProcessEnvironment&) {
            return link.isEmpty() ? QDir().mkpath(folder) : QFile::link(folder, link);
        };
    };
    const QString installInto = "cannot install into " + root;
    const QString log = root + "/chosen/installer.log";
    const QString journalIn = "cannot write the install journal in " + settings + ": ";
    // clang-format off
    const QList<Case> cases = {
        // Cut twice: the retry fails too; the line names the error and the log chosen.
        {"a download cut each time", {"--drop-after", "4096"}, nullptr,
         SilentInstall::DownloadFailed,
         "the download failed: \\S.*; check the network and try again; details: " + log + "\n$",
         "Download failed: ", {"result 100", "showInterface", "installNow", "downloadStart",
                               "result 23", "downloadFail"}},
        {"an empty package", {}, raw({}), SilentInstall::InstallFailed,
         "the download is not a disk image: 0 bytes;"},
        {"a captive portal's page (with a byte-order mark)", {},
         raw("\xEF\xBB\xBF\n<!DOCTYPE html>\n<html><body>Sign in to the hotel network</body></html>"),
         SilentInstall::InstallFailed,
         "the download is not a disk image: it starts with `<!DOCTYPE html`;"},
        {"bytes that are no image", {}, raw(QByteArray(2 << 20, '\x5a')),
         SilentInstall::InstallFailed, "the disk image cannot be opened or holds no Lumadoc.app;",
         {},
         {"result 100", "showInterface", "installNow", "downloadStart", "downloadComplete",
          "installStart", "result 25", "installFail"}},
        {"a disk bomb", {}, raw(gzipBomb(512 << 20)), SilentInstall::InstallFailed,
         "the disk image holds no usable Lumadoc.app \\(it unpacks to more than the \\d+ bytes it "
         "lists\\)",
         // Stopped while it unpacks, long before the disk fills.
         "Extraction stopped: .* \\(\\d{1,8} bytes written\\)"},
        {"a file size limit", {}, nullptr, SilentInstall::DownloadFailed,
         "cannot write \\S*package\\.dmg\\.part: File too large;", {}, {}, [] {
             const rlimit limit{1 << 20, 1 << 20};
             ::setrlimit(RLIMIT_FSIZE, &limit);
         }},
        // A body of no announced length that would fill the disk stops short of it.
        {"a full temporary folder", {"--chunked", "--extra-body", "100000000"},
         [&](InstallScenario&, QProcessEnvironment& env) {
             env.insert("TMPDIR", root + "/small-tmp");
             return mount(root + "/small-tmp", 16);
         }, SilentInstall::DownloadFailed, "not enough disk space in " + root + "/small-tmp;"},
        {"a read-only temporary folder", {}, [&](InstallScenario&, QProcessEnvironment& env) {
             env.insert("TMPDIR", root + "/rotmp");
             return mount(root + "/rotmp") && remountReadOnly(root + "/rotmp");
         }, SilentInstall::DownloadFailed,
         "cannot create " + root + "/rotmp/lumadoc-\\S+: Read-only file system;"},
        // An applications folder or a home the installer cannot use.
        {"a read-only applications folder", {}, [&](InstallScenario&, QProcessEnvironment& env) {
             env.insert("LUMADOC_APPLICATIONS_DIR", root + "/ReadOnly");
             return mount(root + "/ReadOnly") && previousIn(root + "/ReadOnly") &&
                    remountReadOnly(root + "/ReadOnly");
         }, SilentInstall::InstallFailed, installInto + "/ReadOnly: Read-only file system"},
        {"a missing applications folder", {}, set("LUMADOC_APPLICATIONS_DIR", root + "/Missing"),
         SilentInstall::InstallFailed, installInto + "/Missing: No such file or directory"},
        // A file of the user's where Lumadoc goes would be lost with the backup.
        {"a file where Lumadoc.app goes", {}, [&](InstallScenario&, QProcessEnvironment&) {
             return QDir(app).removeRecursively() && !writeFile(app, userSettings).isEmpty();
         }, SilentInstall::InstallFailed, "cannot replace " + app + ": it is a file"},
        {"a file where the applications folder should be", {},
         set("LUMADOC_APPLICATIONS_DIR", writeFile(root + "/AFile", "x")),
         SilentInstall::InstallFailed, installInto + "/AFile: Not a directory"},
        {"Lumadoc.app is a mount point", {}, [&](InstallScenario&, QProcessEnvironment&) {
             QDir(app).removeRecursively();
             return mount(app) && previousIn(root + "/mounted") &&
                    QProcess::execute("cp", {"-a", root + "/mounted/Lumadoc.app/.", app}) == 0;
         }, SilentInstall::InstallFailed, "cannot replace " + app + ": Device or resource busy",
         "mv: cannot move"},
        {"an immutable old application", {},
         [&](InstallScenario&, QProcessEnvironment&) { return setImmutable(app, true); },
         SilentInstall::InstallFailed, "cannot replace " + app + ": Operation not permitted",
         "mv: cannot move"},
        {"a file where the home's applications folder would be made", {},
         [&](InstallScenario&, QProcessEnvironment& env) {
             env.remove("LUMADOC_APPLICATIONS_DIR");
             return !writeFile(sandbox::home() + "/Applications", "x").isEmpty();
         }, SilentInstall::InstallFailed,
         "cannot create the applications folder " + sandbox::home() + "/Applications"},
        {"a read-only home", {}, [&](InstallScenario&, QProcessEnvironment& env) {
             env.insert("HOME", root + "/rohome");
             return mount(root + "/rohome") && remountReadOnly(root + "/rohome");
         }, SilentInstall::InstallFailed, "cannot create the staging folder " + root + "/rohome/"},
        {"the settings file on a full disk", {}, full(settings + "/reg"), SilentInstall::Installed,
         "could not record the installation in " + ini + ": No space left on device",
         "could not record the installation in " + ini + ": No space left on device"},
        // Installed all the same, and said so: the result line does not claim a start.
        {"a product whose program cannot run here", {},
         [](InstallScenario& s, QProcessEnvironment&) {
             const QString image = s.servedApp() + "/../../broken.dmg";
             writeFile(s.servedApp() + "/Contents/MacOS/docreader", "#!/no/such/shell\n");
             return FakeProduct::makeDiskImage(s.servedApp() + "/..", image) &&
                    (s.serveRaw(readFile(image)), true);
         },
         SilentInstall::Installed, "^lumadoc-installer: Lumadoc could not be started; details: ",
         "open An error occurred"},
        {"the journal on a full disk", {}, full(settings), SilentInstall::InstallFailed,
         journalIn + "No space left on device"},
        {"a folder where the journal goes", {}, plant(installJournalPath() + "/x"),
         SilentInstall::InstallFailed, journalIn + "Is a directory"},
        {"a read-only data folder", {}, [&](InstallScenario&, QProcessEnvironment& env) {
             env.insert("XDG_DATA_HOME", root + "/rodata");
             return mount(root + "/rodata") && remountReadOnly(root + "/rodata");
         }, SilentInstall::InstallFailed, "cannot take the installer lock " + root +
             "/rodata/Lumadoc/installer.lock: Read-only file system"},
        {"a folder where the lock goes", {}, plant(lock), SilentInstall::InstallFailed,
         "cannot take the installer lock " + lock + ": Is a directory"},
        {"a dangling link where the lock goes", {}, plant(elsewhere, lock),
         SilentInstall::InstallFailed,
         "cannot take the installer lock " + lock + ": Too many levels of symbolic links"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallScenario scenario(c.serverOptions);
        ASSERT_TRUE(scenario.serveProduct());
        scenario.reinstallPrevious();
        QDir(settings).removeRecursively();
        writeFile(ini, userSettings);
        QProcessEnvironment env = scenario.environment();
        if (c.setUp && !c.setUp(scenario, env)) {
            std::cout << "[ NOTE     ] " << c.name << " not tried here (needs root)\n";
            continue;
        }
        const QString place =
            env.value("LUMADOC_APPLICATIONS_DIR", sandbox::home() + "/Applications") +
            "/Lumadoc.app";
        const Tree before = snapshotTree(place);
        const QByteArray file = QFileInfo(place).isFile() ? readFile(place) : QByteArray();
        const ProgramRun run = runInstaller(env, {"--silent", "--log-file", log}, {c.inChild, {}});
        setImmutable(app, false);
        QDir(installJournalPath()).removeRecursively(); // a folder planted there, not a journal
        const bool installed = c.status == SilentInstall::Installed;
        const char* left =
            before.isEmpty() ? ".*Lumadoc is not installed" : ".*the previous Lumadoc is unchanged";
        EXPECT_TRUE(
            ended(run, c.status, c.cause + (c.status == SilentInstall::InstallFailed ? left : ""),
                  installed ? snapshotTree(scenario.servedApp()) : before, place, place == app));
        EXPECT_TRUE(run.log.contains(QRegularExpression(c.logSays))) << run.log.toStdString();
        EXPECT_TRUE(readFile(ini).startsWith(userSettings)); // the record may follow
        EXPECT_EQ(QFileInfo(place).isFile() ? readFile(place) : QByteArray(), file);
        if (QFileInfo(place).isFile())
            QFile::remove(place);
        EXPECT_FALSE(QFileInfo::exists(elsewhere));
        EXPECT_TRUE(c.reports.isEmpty() || scenario.sent(c.reports));
        mounts.clear();
        QFile::remove(sandbox::home() + "/Applications");
    }
    QDir(settings).removeRecursively(); // the planted lock is no later test's
}
