// The replacement of the application from real images, and the settling of
// what an interrupted install left, from the journal's run alone.
#include "base/Config.h"
#include "fakeproduct/FakeProduct.h"
#include "install/InstallJournal.h"
#include "install/Installer.h"
#include "platform/LinuxCommands.h"
#include "support/Files.h"
#include "support/LinuxTools.h"
#include "support/LogCapture.h"
#include "support/Sandbox.h"
#include "support/TreeSnapshot.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

namespace {
QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                               QDir::System);
}

// HOME (and XDG_DATA_HOME) and the applications folder point into a fresh
// temporary folder until destruction.
struct TestFolders {
    QTemporaryDir dir;
    const QString root = dir.path(), home, apps = root + "/Applications";
    QList<std::pair<const char*, QByteArray>> saved;

    explicit TestFolders(const QString& homeName = QStringLiteral("home"))
        : home(root + '/' + homeName) {
        QDir().mkpath(home);
        QDir().mkpath(apps);
        // What the journal settles is rebuilt from the configured applications folder.
        for (const auto& [name, value] : {std::pair<const char*, QString>{"HOME", home},
                                          {"XDG_DATA_HOME", home + "/.local/share"},
                                          {"LUMADOC_APPLICATIONS_DIR", apps}}) {
            saved.append({name, qgetenv(name)});
            qputenv(name, QFile::encodeName(value));
        }
        Config::reload();
    }
    ~TestFolders() {
        for (const auto& [name, value] : saved)
            qputenv(name, value);
        Config::reload();
        // Trees copied from images may hold read-only folders.
        QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            QFile::setPermissions(it.next(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString dataDir() const { return sandbox::dataDirUnder(home); }
    // The home folder but its settings folders (".local", or ".qttest" on macOS),
    // where staging folders would show.
    QStringList homeEntries() const {
        QStringList found = entries(home);
        found.removeAll(QDir(home).relativeFilePath(dataDir()).section('/', 0, 0));
        return found;
    }
};

// An image of a fake product 2.0, first spoilt by a shell line run in its folder
// when given; the path to it, empty on failure.
QString makeProductImage(const QString& workDir, const QString& imageName = "package.dmg",
                         qint64 payloadBytes = 0, const char* spoil = nullptr) {
    const QString src = workDir + "/image-src-" + imageName;
    const QString image = workDir + '/' + imageName;
    const bool made =
        !FakeProduct::write(src, {"2.0", {}, payloadBytes}).isEmpty() &&
        (!spoil ||
         QProcess::execute("/bin/sh", {"-c", QString("cd \"$0\" && ") + spoil, src}) == 0) &&
        FakeProduct::makeDiskImage(src, image);
    return made ? image : QString();
}

const QString kImages = QStringLiteral(LUMADOC_SOURCE_DIR "/tests/data/dmg/lumadoc-hfsplus-");

// The listing's digest of the real image's bundle (programs, a framework's
// relative links, the helper, a 256 KiB payload).
const QByteArray kRealImageDigest =
    "d06fcf3fae799f2f7e4340b064499e7184d4d60d19dcf3baea86d7e88f788784";

// Lays out "<path>=<version>" entries as bundles of that version, "<path>" ones
// as empty folders; "{s}" stands for the staging folder, "{a}" for the
// applications folder, "{id}" for the run.
void layOut(const TestFolders& f, const QString& id, const QStringList& entries) {
    for (const QString& entry : entries) {
        const QString path = entry.section('=', 0, 0)
                                 .replace("{s}", f.home + '/' + id)
                                 .replace("{a}", f.apps)
                                 .replace("{id}", id);
        QDir().mkpath(entry.contains('=') ? QFileInfo(path).path() : path);
        if (entry.contains('=')) {
            FakeProduct::write(f.root + "/made", {entry.section('=', 1), {}});
            QDir().rename(f.root + "/made/Lumadoc.app", path);
        }
    }
}

void writeJournal(const TestFolders& f, const QString& run, const QStringList& made) {
    const QJsonObject entry{
        {"run", run}, {"phase", "swapping"}, {"made", QJsonArray::fromStringList(made)}};
    writeFile(f.dataDir() + "/Lumadoc/install-journal.json",
              QJsonDocument(QJsonObject{{"runs", QJsonArray{entry}}}).toJson());
}

// Fails every move whose "<src> -> <dst>" matches `pattern`.
struct MoveFails : LinuxCommands {
    QRegularExpression pattern;
    explicit MoveFails(const QString& p)
        : pattern(p) {}
    QString move(const QString& src, const QString& dst) const override {
        return pattern.match(src + " -> " + dst).hasMatch() ? QStringLiteral("exit 1")
                                                            : LinuxCommands::move(src, dst);
    }
};
} // namespace

// On macOS this is the test of the real attach, copy, swap and detach. The
// home's and the image's names run commands wherever a line leaves them unquoted.
TEST(InstallPackage, RealHfsImagesInstallTheBundleUnderTheirVolumeFolder) {
    SKIP_WITHOUT_DISK_IMAGE_TOOLS();
    TestFolders folders("my home's \"x\" $(touch PWNED) `touch PWNED2`");
    const ProductPaths paths(folders.apps);
    const QString image =
        writeFile(folders.root + "/dl dir's $(x)/pack age.dmg", readFile(kImages + "gpt.dmg"));
    ASSERT_FALSE(image.isEmpty());
    // Over an installed application (a file only it has must go), then fresh.
    ASSERT_FALSE(FakeProduct::write(folders.apps, {"2.0", {}}).isEmpty());
    ASSERT_FALSE(writeFile(paths.app() + "/Contents/only-in-old").isEmpty());
    for (const char* kind : {"overwrite", "fresh"}) {
        SCOPED_TRACE(kind);
        EXPECT_TRUE(Installer(image, paths).installPackage());
        QString listing;
        const Tree tree = snapshotTree(paths.app());
        for (auto it = tree.cbegin(); it != tree.cend(); ++it)
            listing += it.key() + ' ' + it.value() + '\n';
        EXPECT_EQ(QCryptographicHash::hash(listing.toUtf8(), QCryptographicHash::Sha256).toHex(),
                  kRealImageDigest)
            << listing.toStdString();
        EXPECT_EQ(entries(folders.apps), QStringList({"Lumadoc.app"}));
        EXPECT_EQ(folders.homeEntries(), QStringList());
        Installer::removeFolder(paths.app());
    }
    for (const QString& dir : {QDir::currentPath(), folders.root, folders.home})
        EXPECT_EQ(QDir(dir).entryList({"PWNED*"}), QStringList());
}

TEST(InstallPackage, BadImagesFailAndLeaveTheApplicationAlone) {
    SKIP_WITHOUT_LINUX_TOOLS();
    TestFolders folders;
    const ProductPaths paths(folders.apps);
    ASSERT_FALSE(FakeProduct::write(folders.apps, {"1.0", {}}).isEmpty());
    const auto before = snapshotTree(paths.app());
    const QByteArray good = readFile(makeProductImage(folders.root));
    ASSERT_FALSE(good.isEmpty());
    const QString unusable = "the disk image holds no usable",
                  none = "the disk image cannot be opened or holds no Lumadoc.app";
    // An image of a product spoilt by a shell line, or a file that is no image.
    const std::tuple<QString, const char*, QString> images[] = {
        {"link", "mkdir real && mv Lumadoc.app real/ && ln -s real/Lumadoc.app .", unusable},
        {"no-program", "rm Lumadoc.app/Contents/MacOS/docreader", unusable},
        {"not-executable", "chmod 400 Lumadoc.app/Contents/MacOS/docreader", unusable},
        {"no-plist", "rm Lumadoc.app/Contents/Info.plist", unusable},
        // A program named by a number, not a text: no Mac would start it.
        {"number-program",
         "cd Lumadoc.app/Contents && cp MacOS/docreader MacOS/1 && "
         "sed -i 's|<string>docreader</string>|<integer>1</integer>|' Info.plist",
         unusable},
        {"no-app", "rm -r Lumadoc.app && mkdir -p Something.app/Contents", none},
        // Downloads that broke off half way; an error page saved by the downloader; none.
        {writeFile(folders.root + "/truncated.dmg", good.left(good.size() / 2)), nullptr, none},
        {kImages + "truncated.dmg", nullptr, none},
        {writeFile(folders.root + "/page.dmg", "<html><body>502 Bad Gateway</body></html>\n"),
         nullptr,
         {}},
        {folders.root + "/missing.dmg", nullptr, none},
    };
    for (auto [path, spoil, reason] : images) {
        SCOPED_TRACE(path.toStdString());
        if (spoil)
            path = makeProductImage(folders.root, path + ".dmg", 0, spoil);
        ASSERT_FALSE(path.isEmpty());
        Installer installer(path, paths);
        EXPECT_FALSE(installer.installPackage());
        EXPECT_TRUE(installer.failureReason().startsWith(reason))
            << installer.failureReason().toStdString();
        EXPECT_EQ(snapshotTree(paths.app()), before);
        EXPECT_EQ(folders.homeEntries(), QStringList());
    }
}

// Without room for a second copy beside the installed one, refused before anything moves.
TEST(InstallPackage, ApplicationsOnTheirOwnFileSystemSwapThereOrRefuseWithoutRoom) {
    SKIP_WITHOUT_LINUX_TOOLS();
    for (const int megabytes : {64, 1}) {
        SCOPED_TRACE(megabytes);
        TestFolders folders;
        const Tmpfs own(folders.apps, megabytes);
        if (!own.mounted)
            GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
        const ProductPaths paths(folders.apps);
        ASSERT_FALSE(FakeProduct::write(folders.apps, {"1.0", {}}).isEmpty());
        const auto before = snapshotTree(paths.app());
        Installer installer(makeProductImage(folders.root, "big.dmg", 2 << 20), paths);
        const bool room = megabytes > 1;
        EXPECT_EQ(installer.installPackage(), room);
        EXPECT_EQ(installer.failureReason(),
                  room ? "" : "not enough disk space in " + folders.apps);
        EXPECT_EQ(snapshotTree(paths.app()),
                  room ? snapshotTree(folders.root + "/image-src-big.dmg/Lumadoc.app") : before);
        EXPECT_EQ(entries(folders.apps), QStringList({"Lumadoc.app"}));
        EXPECT_EQ(folders.homeEntries(), QStringList());
    }
}

TEST(InstallPackage, FailedMovesNeverMergeOrLoseThePreviousApplication) {
    SKIP_WITHOUT_LINUX_TOOLS();
    TestFolders folders;
    const ProductPaths paths(folders.apps);
    ASSERT_FALSE(FakeProduct::write(folders.apps, {"1.0", {}}).isEmpty());
    const auto before = snapshotTree(paths.app());
    // The previous application cannot be set aside: it is never merged into.
    const QString image = makeProductImage(folders.root);
    EXPECT_FALSE(Installer(image, paths, MoveFails("\\.bak$")).installPackage());
    EXPECT_EQ(snapshotTree(paths.app()), before);
    EXPECT_EQ(folders.homeEntries(), QStringList());
    // The new one cannot be put in place and the backup cannot go back: it
    // stays, the only copy, is named, and the next start puts it back.
    LogCapture log;
    const MoveFails putInPlaceAndBackFail("(\\.bak|temp/Lumadoc\\.app) -> ");
    Installer stuck(image, paths, putInPlaceAndBackFail);
    EXPECT_FALSE(stuck.installPackage());
    EXPECT_FALSE(QFileInfo::exists(paths.app()));
    const QStringList staging = folders.homeEntries();
    ASSERT_EQ(staging.size(), 1);
    const QString backup = folders.home + '/' + staging[0] + "/Lumadoc.app.bak";
    EXPECT_EQ(entries(folders.home + '/' + staging[0]), QStringList({"Lumadoc.app.bak"}));
    EXPECT_FALSE(log.lines().filter(backup).filter("kept").isEmpty());
    EXPECT_EQ(stuck.failureReason(),
              "the previous Lumadoc could not be put back; it is kept at " + backup);
    InstallJournal::settle(true);
    EXPECT_EQ(snapshotTree(paths.app()), before);
    EXPECT_EQ(folders.homeEntries(), QStringList());
    EXPECT_FALSE(QFileInfo::exists(InstallJournal::defaultPath()));
}

TEST(InstallJournal, SettlingLeavesAWholeApplicationAndNothingElse) {
    // What the run made, what the crash left, the whole application's version after settling.
    const std::tuple<const char*, QStringList, QStringList, const char*> cases[] = {
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
    for (const auto& [name, made, crash, expected] : cases) {
        SCOPED_TRACE(name);
        TestFolders folders;
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        QDir().mkpath(folders.home + '/' + id);
        const QString temp = QDir::tempPath() + "/lumadoc-" + id;
        writeFile(temp + "/package.dmg.part", "ima");
        layOut(folders, id, crash);
        writeJournal(folders, id, made);
        FakeProduct::write(folders.root + "/expected", {expected, {}});
        InstallJournal::settle(true);
        EXPECT_EQ(snapshotTree(folders.apps + "/Lumadoc.app"),
                  snapshotTree(folders.root + "/expected/Lumadoc.app"));
        EXPECT_EQ(entries(folders.apps), QStringList({"Lumadoc.app"}));
        EXPECT_EQ(folders.homeEntries(), QStringList());
        EXPECT_EQ(QFileInfo::exists(temp), !made.contains("temp"));
        EXPECT_FALSE(QFileInfo::exists(folders.dataDir() + "/Lumadoc/install-journal.json"));
    }
}

TEST(InstallJournal, OnlyTheRunsOwnStagingFolderIsActedOn) {
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    // The run as the journal names it, the folder that leads to (below the test's
    // root), and whether <home>/<id> is a link to that folder.
    const std::tuple<const char*, QString, QString, bool> cases[] = {
        {"another name", "Documents", "home/Documents", false},
        {"a path up from home", "../" + id, id, false},
        {"a path through the run's folder", id + "/../../victim", "victim", false},
        {"a link in the run's place", id, "victim", true},
    };
    for (const auto& [name, run, path, link] : cases) {
        SCOPED_TRACE(name);
        TestFolders f;
        const QString folder = f.root + '/' + path;
        layOut(f, id, {"{a}/Lumadoc.app=1.0", folder + "/Lumadoc.app.bak=0.9"});
        const auto app = snapshotTree(f.apps + "/Lumadoc.app");
        writeFile(folder + "/temp/keep.txt", "mine");
        if (link)
            QFile::link(folder, f.home + '/' + id);
        else
            QDir().mkpath(f.home + '/' + id);
        const auto before = snapshotTree(folder);
        writeJournal(f, run, {"staging"});
        InstallJournal::settle(true);
        EXPECT_EQ(snapshotTree(f.apps + "/Lumadoc.app"), app);
        EXPECT_EQ(snapshotTree(folder), before);
    }
}
