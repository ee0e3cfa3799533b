// The replacement of the application, with real images made by genisoimage
// and extracted by the platform's tool.
#include "TestFolders.h"
#include "fakeproduct/FakeProduct.h"
#include "install/Installer.h"
#include "platform/LinuxCommands.h"
#include "support/Files.h"
#include "support/LogCapture.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {
// An image holding a fake product of the given version; the path to it.
QString makeProductImage(const QString& workDir, const QString& version,
                         const QString& imageName = "package.dmg") {
    const QString src = workDir + "/image-src-" + version;
    if (FakeProduct::write(src, productOptions(version)).isEmpty())
        return {};
    const QString image = workDir + '/' + imageName;
    QDir().mkpath(QFileInfo(image).absolutePath());
    return FakeProduct::makeDiskImage(src, image) ? image : QString();
}

// Fails the move that sets the installed application aside (backup) or the
// one that puts it back (restore).
class MoveFails : public LinuxCommands {
public:
    explicit MoveFails(bool backup)
        : m_backup(backup) {}
    QString move(const QString& src, const QString& dst) const override {
        return (m_backup ? dst : src).endsWith(".bak") ? QStringLiteral("exit 1")
                                                       : LinuxCommands::move(src, dst);
    }

private:
    bool m_backup;
};
} // namespace

TEST(InstallPackage, FreshThenOverwriteInstallPutTheImagesTreeInPlaceAndKeepNoBackup) {
    TestFolders folders;
    const ProductPaths paths(folders.apps());
    for (const char* version : {"2.0", "3.0"}) {
        SCOPED_TRACE(version);
        const QString image = makeProductImage(folders.root(), version);
        ASSERT_FALSE(image.isEmpty());
        LogCapture log;
        Installer installer(image, paths);
        EXPECT_TRUE(installer.installPackage());
        EXPECT_EQ(snapshotTree(paths.app()),
                  snapshotTree(folders.root() + "/image-src-" + version + "/Lumadoc.app"));
        EXPECT_TRUE(QFileInfo(paths.app() + "/Contents/MacOS_SymLink").isSymLink());
        EXPECT_EQ(QDir(folders.apps()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList({"Lumadoc.app"}));
        ASSERT_TRUE(installer.mountPointPath().has_value());
        EXPECT_TRUE(installer.mountPointPath()->startsWith(folders.home() + '/'));
        EXPECT_TRUE(folders.homeEntries().isEmpty())
            << folders.homeEntries().join(' ').toStdString();
        // A file only the previous application had must go with it.
        ASSERT_FALSE(writeFile(paths.app() + "/Contents/only-in-old").isEmpty());
    }
}

TEST(InstallPackage, BadImagesFailAndLeaveThePreviousApplicationUntouched) {
    TestFolders folders;
    const ProductPaths paths(folders.apps());
    ASSERT_FALSE(FakeProduct::write(folders.apps(), productOptions("1.0")).isEmpty());
    const auto before = snapshotTree(paths.app());

    // An image without Lumadoc.app.
    QDir().mkpath(folders.root() + "/other/Something.app/Contents");
    const QString noApp = folders.root() + "/noapp.dmg";
    ASSERT_TRUE(FakeProduct::makeDiskImage(folders.root() + "/other", noApp));
    // A truncated image (the download broke off half way).
    const QByteArray good = readFile(makeProductImage(folders.root(), "2.0"));
    ASSERT_FALSE(good.isEmpty());
    const QString truncated =
        writeFile(folders.root() + "/truncated.dmg", good.left(good.size() / 2));
    // Not an image at all: an error page saved by the downloader.
    const QString page =
        writeFile(folders.root() + "/page.dmg", "<html><body>502 Bad Gateway</body></html>\n");

    for (const QString& image : {noApp, truncated, page, folders.root() + "/missing.dmg"}) {
        EXPECT_FALSE(Installer(image, paths).installPackage()) << image.toStdString();
        EXPECT_EQ(snapshotTree(paths.app()), before) << image.toStdString();
        EXPECT_TRUE(folders.homeEntries().isEmpty()) << image.toStdString();
    }

    // The previous application cannot be set aside: it is never merged into.
    const QString image = folders.root() + "/package.dmg";
    EXPECT_FALSE(Installer(image, paths, MoveFails(true)).installPackage());
    EXPECT_EQ(snapshotTree(paths.app()), before);
    EXPECT_TRUE(folders.homeEntries().isEmpty()) << folders.homeEntries().join(' ').toStdString();

    // Nothing to put in place and the backup cannot go back: it stays, the only copy, and is named.
    LogCapture log;
    EXPECT_FALSE(Installer(noApp, paths, MoveFails(false)).installPackage());
    EXPECT_FALSE(QFileInfo::exists(paths.app()));
    const QStringList staging = folders.homeEntries();
    ASSERT_EQ(staging.size(), 1);
    const QString backup = folders.home() + '/' + staging[0] + "/Lumadoc.app.bak";
    EXPECT_EQ(snapshotTree(backup), before);
    EXPECT_EQ(
        QDir(folders.home() + '/' + staging[0]).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        QStringList({"Lumadoc.app.bak"}));
    EXPECT_FALSE(log.lines().filter(backup).filter("kept").isEmpty());
}

TEST(InstallPackage, HomeAndImagePathsWithQuotesBlanksAndCommandsInstall) {
    TestFolders folders("my home's \"x\" $(touch PWNED) `touch PWNED2`");
    const QString image = makeProductImage(folders.root(), "2.0", "dl dir's $(x)/pack age.dmg");
    ASSERT_FALSE(image.isEmpty());
    const ProductPaths paths(folders.apps());
    ASSERT_FALSE(FakeProduct::write(folders.apps(), productOptions("1.0")).isEmpty());

    EXPECT_TRUE(Installer(image, paths).installPackage());
    EXPECT_EQ(snapshotTree(paths.app()),
              snapshotTree(folders.root() + "/image-src-2.0/Lumadoc.app"));
    EXPECT_TRUE(folders.homeEntries().isEmpty()) << folders.homeEntries().join(' ').toStdString();
    for (const QString& dir : {QDir::currentPath(), folders.root(), folders.home()}) {
        EXPECT_FALSE(QFile::exists(dir + "/PWNED"));
        EXPECT_FALSE(QFile::exists(dir + "/PWNED2"));
    }
}
