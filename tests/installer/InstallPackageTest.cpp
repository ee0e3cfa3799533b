// Staging folders, disk images and the replacement of the application, with
// real images made by genisoimage and extracted by the platform's tool.
#include "TestFolders.h"
#include "install/Installer.h"
#include "platform/LinuxCommands.h"
#include "fakeproduct/FakeProduct.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
// An image holding a fake product of the given version; the path to it.
QString makeProductImage(const QString& workDir, const QString& version,
                         const QString& imageName = "package.dmg") {
    const QString src = workDir + "/image-src-" + version;
    FakeProduct::Options options;
    options.version = version;
    if (FakeProduct::write(src, options).isEmpty())
        return {};
    const QString image = workDir + '/' + imageName;
    QDir().mkpath(QFileInfo(image).absolutePath());
    return FakeProduct::makeDiskImage(src, image) ? image : QString();
}

QStringList uuidFolders(const QStringList& entries) {
    static const QRegularExpression uuid(
        "^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    QStringList out;
    for (const QString& e : entries)
        if (uuid.match(e).hasMatch())
            out << e;
    return out;
}

// Fails the move that puts the backup back: the restore cannot happen.
class RestoreFails : public LinuxCommands {
public:
    QString move(const QString& src, const QString& dst) const override {
        return src.endsWith(".bak") ? QStringLiteral("exit 1") : LinuxCommands::move(src, dst);
    }
};

// Fails the move that sets the installed application aside.
class BackupFails : public LinuxCommands {
public:
    QString move(const QString& src, const QString& dst) const override {
        return dst.endsWith(".bak") ? QStringLiteral("exit 1") : LinuxCommands::move(src, dst);
    }
};
} // namespace

TEST(StagingFolders, RandomPathsAndFolderHelpersLog) {
    TestFolders folders;
    const QString a = Installer::generateRandomPath();
    const QString b = Installer::generateRandomPath();
    EXPECT_NE(a, b);
    for (const QString& p : {a, b}) {
        EXPECT_EQ(QFileInfo(p).absolutePath(), folders.home());
        EXPECT_EQ(uuidFolders({QFileInfo(p).fileName()}).size(), 1) << p.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(a));

    LogCapture log;
    Installer::checkAndCreateFolder(a + "/x/y");
    EXPECT_TRUE(QFileInfo(a + "/x/y").isDir());
    QFile(a + "/x/y/keep").open(QIODevice::WriteOnly);
    Installer::checkAndCreateFolder(a + "/x/y");
    EXPECT_TRUE(QFileInfo::exists(a + "/x/y/keep"));
    Installer::removeFolder(a);
    EXPECT_FALSE(QFileInfo::exists(a));
    Installer::removeFolder(a);
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("文件夹已创建：") + a + "/x/y",
                                        QStringLiteral("文件夹已存在：") + a + "/x/y",
                                        QStringLiteral("文件夹已删除：") + a,
                                        QStringLiteral("文件夹不存在：") + a}));
}

TEST(DiskImage, AttachAndDetachJudgedByTheTool) {
    TestFolders folders;
    LogCapture log;
    const QString image = makeProductImage(folders.root(), "1.0");
    ASSERT_FALSE(image.isEmpty());
    const QString mount = folders.root() + "/mount point";
    ASSERT_TRUE(Installer::mountDMG(image, mount));
    EXPECT_TRUE(QFileInfo(mount + "/Lumadoc.app/Contents/MacOS/docreader").isExecutable());
    EXPECT_TRUE(Installer::demountDMG(mount));
    EXPECT_FALSE(QFileInfo::exists(mount));
    // Nothing attached any more.
    EXPECT_FALSE(Installer::demountDMG(mount));

    EXPECT_TRUE(log.lines().contains("Mount command executed successfully"));
    EXPECT_TRUE(log.lines().contains("demountDMG An error occurred"));
}

TEST(InstallPackage, FreshInstallPutsTheImagesTreeInPlace) {
    TestFolders folders;
    const QString image = makeProductImage(folders.root(), "2.0");
    ASSERT_FALSE(image.isEmpty());
    const ProductPaths paths(folders.apps());

    LogCapture log;
    Installer installer(image, paths);
    EXPECT_TRUE(installer.installPackage());

    EXPECT_EQ(snapshotTree(paths.app()),
              snapshotTree(folders.root() + "/image-src-2.0/Lumadoc.app"));
    EXPECT_TRUE(QFileInfo(paths.app() + "/Contents/MacOS_SymLink").isSymLink());
    EXPECT_EQ(log.lines().count("mvFile An error occurred"), 1); // the backup of nothing
    ASSERT_TRUE(installer.mountPointPath().has_value());
    EXPECT_TRUE(installer.mountPointPath()->startsWith(folders.home() + '/'));
    EXPECT_TRUE(folders.homeEntries().isEmpty()) << folders.homeEntries().join(' ').toStdString();
}

TEST(InstallPackage, OverwriteReplacesTheWholeApplicationAndKeepsNoBackup) {
    TestFolders folders;
    const QString image = makeProductImage(folders.root(), "2.0");
    ASSERT_FALSE(image.isEmpty());
    const ProductPaths paths(folders.apps());
    ASSERT_FALSE(FakeProduct::write(folders.apps(), withVersion("1.0")).isEmpty());
    QFile stray(paths.app() + "/Contents/only-in-old");
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.close();

    LogCapture log;
    EXPECT_TRUE(Installer(image, paths).installPackage());
    EXPECT_EQ(snapshotTree(paths.app()),
              snapshotTree(folders.root() + "/image-src-2.0/Lumadoc.app"));
    EXPECT_EQ(Installer::checkPackageVersion(paths.app()), 0);
    EXPECT_FALSE(log.lines().contains("mvFile An error occurred"));
    EXPECT_EQ(QDir(folders.apps()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"Lumadoc.app"}));
    EXPECT_TRUE(folders.homeEntries().isEmpty()) << folders.homeEntries().join(' ').toStdString();
}

TEST(InstallPackage, BadImagesFailAndLeaveThePreviousApplicationUntouched) {
    TestFolders folders;
    const ProductPaths paths(folders.apps());
    ASSERT_FALSE(FakeProduct::write(folders.apps(), withVersion("1.0")).isEmpty());
    const auto before = snapshotTree(paths.app());

    // An image without Lumadoc.app.
    const QString otherSrc = folders.root() + "/other";
    QDir().mkpath(otherSrc + "/Something.app/Contents");
    const QString noApp = folders.root() + "/noapp.dmg";
    ASSERT_TRUE(FakeProduct::makeDiskImage(otherSrc, noApp));
    // A truncated image (the download broke off half way).
    const QString good = makeProductImage(folders.root(), "2.0");
    ASSERT_FALSE(good.isEmpty());
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = goodFile.readAll();
    const QString truncated = folders.root() + "/truncated.dmg";
    QFile t(truncated);
    ASSERT_TRUE(t.open(QIODevice::WriteOnly));
    t.write(bytes.left(bytes.size() / 2));
    t.close();
    // Not an image at all: an error page saved by the downloader.
    const QString page = folders.root() + "/page.dmg";
    QFile p(page);
    ASSERT_TRUE(p.open(QIODevice::WriteOnly));
    p.write("<html><body>502 Bad Gateway</body></html>\n");
    p.close();

    for (const QString& image : {noApp, truncated, page, folders.root() + "/missing.dmg"}) {
        EXPECT_FALSE(Installer(image, paths).installPackage()) << image.toStdString();
        EXPECT_EQ(snapshotTree(paths.app()), before) << image.toStdString();
        EXPECT_TRUE(folders.homeEntries().isEmpty()) << image.toStdString();
    }
}

TEST(InstallPackage, HomeAndImagePathsWithQuotesBlanksAndCommandsInstall) {
    TestFolders folders("my home's \"x\" $(touch PWNED) `touch PWNED2`");
    const QString image = makeProductImage(folders.root(), "2.0", "dl dir's $(x)/pack age.dmg");
    ASSERT_FALSE(image.isEmpty());
    const ProductPaths paths(folders.apps());
    ASSERT_FALSE(FakeProduct::write(folders.apps(), withVersion("1.0")).isEmpty());

    EXPECT_TRUE(Installer(image, paths).installPackage());
    EXPECT_EQ(snapshotTree(paths.app()),
              snapshotTree(folders.root() + "/image-src-2.0/Lumadoc.app"));
    EXPECT_TRUE(folders.homeEntries().isEmpty()) << folders.homeEntries().join(' ').toStdString();
    for (const QString& dir : {QDir::currentPath(), folders.root(), folders.home()}) {
        EXPECT_FALSE(QFile::exists(dir + "/PWNED"));
        EXPECT_FALSE(QFile::exists(dir + "/PWNED2"));
    }
}

TEST(InstallPackage, FailedRestoreKeepsTheOnlyCopyOfThePreviousApplication) {
    TestFolders folders;
    const ProductPaths paths(folders.apps());
    ASSERT_FALSE(FakeProduct::write(folders.apps(), withVersion("1.0")).isEmpty());
    const auto before = snapshotTree(paths.app());
    const RestoreFails commands;
    LogCapture log;
    // An image without the application: the put-in-place move fails.
    const QString otherSrc = folders.root() + "/other";
    QDir().mkpath(otherSrc + "/Other.app");
    const QString noApp = folders.root() + "/noapp.dmg";
    ASSERT_TRUE(FakeProduct::makeDiskImage(otherSrc, noApp));

    EXPECT_FALSE(Installer(noApp, paths, commands).installPackage());
    EXPECT_FALSE(QFileInfo::exists(paths.app()));
    const QStringList staging = uuidFolders(folders.homeEntries());
    ASSERT_EQ(staging.size(), 1);
    const QString backup = folders.home() + '/' + staging[0] + "/Lumadoc.app.bak";
    EXPECT_EQ(snapshotTree(backup), before);
    EXPECT_EQ(
        QDir(folders.home() + '/' + staging[0]).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        QStringList({"Lumadoc.app.bak"}));
    EXPECT_FALSE(log.lines().filter(backup).filter("kept").isEmpty());
}

TEST(InstallPackage, ApplicationThatCannotBeSetAsideIsNeverMergedInto) {
    TestFolders folders;
    const QString image = makeProductImage(folders.root(), "2.0");
    ASSERT_FALSE(image.isEmpty());
    const ProductPaths paths(folders.apps());
    ASSERT_FALSE(FakeProduct::write(folders.apps(), withVersion("1.0")).isEmpty());
    const auto before = snapshotTree(paths.app());
    const BackupFails commands;

    EXPECT_FALSE(Installer(image, paths, commands).installPackage());
    EXPECT_EQ(snapshotTree(paths.app()), before);
    EXPECT_TRUE(folders.homeEntries().isEmpty()) << folders.homeEntries().join(' ').toStdString();
}
