// The replacement of the application, with real images made by genisoimage
// and extracted by the platform's tool.
#include "TestFolders.h"
#include "fakeproduct/FakeProduct.h"
#include "install/InstallJournal.h"
#include "install/Installer.h"
#include "platform/LinuxCommands.h"
#include "support/Files.h"
#include "support/LinuxTools.h"
#include "support/LogCapture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <filesystem>
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

const QString kRealImage =
    QStringLiteral(LUMADOC_SOURCE_DIR "/tests/data/dmg/lumadoc-hfsplus-gpt.dmg");
const QString kCutImage =
    QStringLiteral(LUMADOC_SOURCE_DIR "/tests/data/dmg/lumadoc-hfsplus-truncated.dmg");

// "path kind mode [link target | sha256 of a file over 4 KiB]" for every entry below root.
QStringList treeListing(const QString& root) {
    namespace fs = std::filesystem;
    QStringList out;
    const fs::path top = QFile::encodeName(root).toStdString();
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
        const fs::file_status st = entry.symlink_status();
        QString line = QFile::decodeName(entry.path().lexically_relative(top).c_str()) + ' ';
        const auto mode = static_cast<unsigned>(st.permissions()) & 0777u;
        if (fs::is_symlink(st)) {
            line += "l " + QFile::decodeName(fs::read_symlink(entry.path()).c_str());
        } else if (fs::is_directory(st)) {
            line += "d " + QString::number(mode, 8);
        } else {
            line += "f " + QString::number(mode, 8);
            const QByteArray bytes = readFile(QFile::decodeName(entry.path().c_str()));
            if (bytes.size() > 4096)
                line += ' ' + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
        }
        out << line;
    }
    out.sort();
    return out;
}

// The bundle in the real image, as its maker describes it.
// clang-format off
const QStringList kRealImageTree = {
    "Contents d 755", "Contents/Frameworks d 755", "Contents/Frameworks/Core.framework d 755",
    "Contents/Frameworks/Core.framework/Core l Versions/Current/Core",
    "Contents/Frameworks/Core.framework/Versions d 755",
    "Contents/Frameworks/Core.framework/Versions/A d 755",
    "Contents/Frameworks/Core.framework/Versions/A/Core f 644 "
    "0068a31884eb221e6f69560c4755ba508c8578566ba4ca5c870087e3be8dc31f",
    "Contents/Frameworks/Core.framework/Versions/Current l A", "Contents/Helpers d 755",
    "Contents/Helpers/lmhelper.app d 755", "Contents/Helpers/lmhelper.app/Contents d 755",
    "Contents/Helpers/lmhelper.app/Contents/MacOS d 755",
    "Contents/Helpers/lmhelper.app/Contents/MacOS/lmhelper f 755", "Contents/Info.plist f 644",
    "Contents/MacOS d 755", "Contents/MacOS/docconverter f 755", "Contents/MacOS/doccore f 755",
    "Contents/MacOS/docreader f 755", "Contents/MacOS/lmconvert f 755",
    "Contents/MacOS/lmguard f 755", "Contents/MacOS/memberui f 755",
    "Contents/MacOS_SymLink l MacOS", "Contents/PkgInfo f 644", "Contents/Resources d 755",
    "Contents/Resources/payload.bin f 644 "
    "cb01ff5c8f50371270ba3e8db1c1f555101a9c52aa6d5a941ba9474377512f59",
};
// clang-format on

// Fails the move that sets the installed application aside, or the one that
// puts the new one in place together with the one that would put the old back.
class MoveFails : public LinuxCommands {
public:
    enum Which { SetAside, PutInPlaceAndBack };
    explicit MoveFails(Which which)
        : m_which(which) {}
    QString move(const QString& src, const QString& dst) const override {
        const bool fails = m_which == SetAside
                               ? dst.endsWith(".bak")
                               : src.endsWith(".bak") || src.endsWith("temp/Lumadoc.app");
        return fails ? QStringLiteral("exit 1") : LinuxCommands::move(src, dst);
    }

private:
    Which m_which;
};
} // namespace

// On macOS this is the test of the real attach, copy, swap and detach.
TEST(InstallPackage, RealHfsImagesInstallTheBundleUnderTheirVolumeFolder) {
    SKIP_WITHOUT_DISK_IMAGE_TOOLS();
    TestFolders folders;
    const ProductPaths paths(folders.apps());
    // Over an installed application (a file only it has must go), then fresh.
#ifdef __linux__
    // Here the installed one comes from an ISO image, as genisoimage writes them.
    const QString iso = makeProductImage(folders.root(), "2.0");
    ASSERT_FALSE(iso.isEmpty());
    ASSERT_TRUE(Installer(iso, paths).installPackage());
    EXPECT_EQ(snapshotTree(paths.app()),
              snapshotTree(folders.root() + "/image-src-2.0/Lumadoc.app"));
#else
    ASSERT_FALSE(FakeProduct::write(folders.apps(), productOptions("2.0")).isEmpty());
#endif
    ASSERT_FALSE(writeFile(paths.app() + "/Contents/only-in-old").isEmpty());
    for (const char* kind : {"overwrite", "fresh"}) {
        SCOPED_TRACE(kind);
        EXPECT_TRUE(Installer(kRealImage, paths).installPackage());
        EXPECT_EQ(treeListing(paths.app()).join(QChar(10)).toStdString(),
                  kRealImageTree.join(QChar(10)).toStdString());
        EXPECT_EQ(Installer::checkPackageVersion(paths.app()), 7);
        EXPECT_EQ(
            QDir(folders.apps()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList({"Lumadoc.app"}));
        EXPECT_TRUE(folders.homeEntries().isEmpty())
            << folders.homeEntries().join(' ').toStdString();
        Installer::removeFolder(paths.app());
    }

    // A download cut short never reaches the installed application.
    ASSERT_FALSE(FakeProduct::write(folders.apps(), productOptions("2.0")).isEmpty());
    const auto before = snapshotTree(paths.app());
    EXPECT_FALSE(Installer(kCutImage, paths).installPackage());
    EXPECT_EQ(snapshotTree(paths.app()), before);
    EXPECT_TRUE(folders.homeEntries().isEmpty());
}

TEST(InstallPackage, BadImagesFailAndLeaveTheApplicationAlone) {
    SKIP_WITHOUT_LINUX_TOOLS();
    TestFolders folders;
    const ProductPaths paths(folders.apps());
    ASSERT_FALSE(FakeProduct::write(folders.apps(), productOptions("1.0")).isEmpty());
    const auto before = snapshotTree(paths.app());

    const auto image = [&](const QString& name, const std::function<void(const QString&)>& shape) {
        const QString src = folders.root() + "/src-" + name;
        QDir().mkpath(src);
        shape(src);
        const QString path = folders.root() + '/' + name + ".dmg";
        return FakeProduct::makeDiskImage(src, path) ? path : QString();
    };
    const QString macos = "/Lumadoc.app/Contents/MacOS/";
    const QByteArray good = readFile(makeProductImage(folders.root(), "2.0"));
    ASSERT_FALSE(good.isEmpty());
    const QString unusable = "the disk image holds no usable";
    const std::pair<QString, QString> images[] = {
        {image("file", [](const QString& src) { writeFile(src + "/Lumadoc.app", "#!/bin/sh\n"); }),
         unusable},
        {image("link",
               [&](const QString& src) {
                   FakeProduct::write(src + "/real", productOptions("2.0"));
                   QFile::link("real/Lumadoc.app", src + "/Lumadoc.app");
               }),
         unusable},
        {image("no-program",
               [&](const QString& src) {
                   FakeProduct::write(src, productOptions("2.0"));
                   QFile::remove(src + macos + "docreader");
               }),
         unusable},
        {image("not-executable",
               [&](const QString& src) {
                   FakeProduct::write(src, productOptions("2.0"));
                   QFile::setPermissions(src + macos + "docreader", QFile::ReadOwner);
               }),
         unusable},
        {image("no-plist",
               [&](const QString& src) {
                   FakeProduct::write(src, productOptions("2.0"));
                   QFile::remove(src + "/Lumadoc.app/Contents/Info.plist");
               }),
         unusable},
        {image("no-app",
               [](const QString& src) { QDir().mkpath(src + "/Something.app/Contents"); }),
         {}},
        // The download broke off half way; an error page saved by the downloader; none.
        {writeFile(folders.root() + "/truncated.dmg", good.left(good.size() / 2)), {}},
        {writeFile(folders.root() + "/page.dmg", "<html><body>502 Bad Gateway</body></html>\n"),
         {}},
        {folders.root() + "/missing.dmg", {}},
    };
    for (const auto& [path, reason] : images) {
        SCOPED_TRACE(path.toStdString());
        ASSERT_FALSE(path.isEmpty());
        Installer installer(path, paths);
        EXPECT_FALSE(installer.installPackage());
        EXPECT_TRUE(installer.failureReason().startsWith(reason))
            << installer.failureReason().toStdString();
        EXPECT_EQ(snapshotTree(paths.app()), before);
        EXPECT_TRUE(folders.homeEntries().isEmpty());
    }
}

TEST(InstallPackage, ApplicationsOnTheirOwnFileSystemSwapThereOrRefuseWithoutRoom) {
    SKIP_WITHOUT_LINUX_TOOLS();
    TestFolders folders;
    Tmpfs roomy(folders.apps(), 64);
    if (!roomy.mounted)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const ProductPaths paths(folders.apps());
    ASSERT_FALSE(FakeProduct::write(folders.apps(), productOptions("1.0")).isEmpty());
    EXPECT_TRUE(Installer(kRealImage, paths).installPackage());
    EXPECT_EQ(treeListing(paths.app()).join(QChar(10)).toStdString(),
              kRealImageTree.join(QChar(10)).toStdString());
    EXPECT_EQ(
        QDir(folders.apps()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList({"Lumadoc.app"}));
    EXPECT_TRUE(folders.homeEntries().isEmpty());

    // Too small for a second copy beside the installed one: refused before anything moves.
    const QString tight = folders.root() + "/Tight";
    Tmpfs small(tight, 1);
    ASSERT_TRUE(small.mounted);
    const ProductPaths tightPaths(tight);
    ASSERT_FALSE(FakeProduct::write(tight, productOptions("1.0")).isEmpty());
    const auto before = snapshotTree(tightPaths.app());
    FakeProduct::Options big = productOptions("2.0");
    big.payloadBytes = 2 * 1024 * 1024;
    ASSERT_FALSE(FakeProduct::write(folders.root() + "/big", big).isEmpty());
    ASSERT_TRUE(FakeProduct::makeDiskImage(folders.root() + "/big", folders.root() + "/big.dmg"));
    Installer installer(folders.root() + "/big.dmg", tightPaths);
    EXPECT_FALSE(installer.installPackage());
    EXPECT_EQ(installer.failureReason(), "not enough disk space in " + tight);
    EXPECT_EQ(snapshotTree(tightPaths.app()), before);
    EXPECT_EQ(QDir(tight).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList({"Lumadoc.app"}));
    EXPECT_TRUE(folders.homeEntries().isEmpty());
}

TEST(InstallPackage, FailedMovesNeverMergeOrLoseThePreviousApplication) {
    SKIP_WITHOUT_LINUX_TOOLS();
    TestFolders folders;
    const ProductPaths paths(folders.apps());
    ASSERT_FALSE(FakeProduct::write(folders.apps(), productOptions("1.0")).isEmpty());
    const auto before = snapshotTree(paths.app());

    // The previous application cannot be set aside: it is never merged into.
    const QString image = makeProductImage(folders.root(), "2.0");
    EXPECT_FALSE(Installer(image, paths, MoveFails(MoveFails::SetAside)).installPackage());
    EXPECT_EQ(snapshotTree(paths.app()), before);
    EXPECT_TRUE(folders.homeEntries().isEmpty()) << folders.homeEntries().join(' ').toStdString();

    // The new one cannot be put in place and the backup cannot go back: it
    // stays, the only copy, is named, and the next start puts it back.
    LogCapture log;
    const MoveFails putInPlaceAndBackFail(MoveFails::PutInPlaceAndBack);
    Installer stuck(image, paths, putInPlaceAndBackFail);
    EXPECT_FALSE(stuck.installPackage());
    EXPECT_FALSE(QFileInfo::exists(paths.app()));
    const QStringList staging = folders.homeEntries();
    ASSERT_EQ(staging.size(), 1);
    const QString backup = folders.home() + '/' + staging[0] + "/Lumadoc.app.bak";
    EXPECT_EQ(snapshotTree(backup), before);
    EXPECT_EQ(
        QDir(folders.home() + '/' + staging[0]).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        QStringList({"Lumadoc.app.bak"}));
    EXPECT_FALSE(log.lines().filter(backup).filter("kept").isEmpty());
    EXPECT_EQ(stuck.failureReason(),
              "the previous Lumadoc could not be put back; it is kept at " + backup);
    InstallJournal::settle(true);
    EXPECT_EQ(snapshotTree(paths.app()), before);
    EXPECT_TRUE(folders.homeEntries().isEmpty()) << folders.homeEntries().join(' ').toStdString();
    EXPECT_FALSE(QFileInfo::exists(InstallJournal::defaultPath()));
}

TEST(InstallPackage, HomeAndImagePathsWithQuotesBlanksAndCommandsInstall) {
    SKIP_WITHOUT_LINUX_TOOLS();
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
