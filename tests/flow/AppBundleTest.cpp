// The installer's name and data folder from its executable's path, against
// bundle-shaped folders on disk.
#include "base/AppBundle.h"
#include "support/Files.h"

#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>

TEST(AppBundle, NameAndResourcesFromTheExecutablesPlace) {
    const std::array<QString, 4> cases[] = {
        // executable, its bundle (empty: not in a bundle), name, resources
        {"/v/Installer.APP/Contents/MacOS/x", "/v/Installer.APP", "Installer",
         "/v/Installer.APP/Contents/Resources"},
        // Not the bundle layout: the executable names itself, its dots included.
        {"/opt/lumadoc/bin/X_v3.2.1_ab12_1.2.3.4", "", "X_v3.2.1_ab12_1.2.3.4",
         "/opt/lumadoc/share/lumadoc-installer"},
        {"/v/X.app/Contents/MacOS/tools/exe", "", "exe",
         "/v/X.app/Contents/MacOS/share/lumadoc-installer"},
        {"/v/X.app/MacOS/exe", "", "exe", "/v/X.app/share/lumadoc-installer"},
        {"/v/Contents/MacOS/exe", "", "exe", "/v/Contents/share/lumadoc-installer"},
        {"/v/.app/Contents/MacOS/exe", "", "exe", "/v/.app/Contents/share/lumadoc-installer"},
        {"/v/X.app.bak/Contents/MacOS/exe", "", "exe",
         "/v/X.app.bak/Contents/share/lumadoc-installer"},
    };
    for (const auto& [executable, bundle, name, resources] : cases)
        EXPECT_EQ(
            (std::array{AppBundle::enclosingBundle(executable),
                        AppBundle::installerName(executable), AppBundle::resourceDir(executable)}),
            (std::array{bundle, name, resources}))
            << executable.toStdString();
    EXPECT_EQ(AppBundle::installerName({}), QString());
}

TEST(AppBundle, ARealBundleIsFoundThroughLinks) {
    QTemporaryDir dir;
    const QString bundle = dir.path() + "/X_v3.2.1_ab12_101.202.303.404 (1).app";
    const QString executable = bundle + "/Contents/MacOS/LumadocInstaller";
    ASSERT_FALSE(writeFile(executable, "#!/bin/sh\n").isEmpty());
    ASSERT_FALSE(writeFile(bundle + "/Contents/Resources/qfmt.dat", "[fmt]\n").isEmpty());

    // Started through a link to the program, or through a linked folder.
    ASSERT_TRUE(QFile::link(executable, dir.path() + "/lumadoc"));
    ASSERT_TRUE(QFile::link(bundle, dir.path() + "/Installer.app"));
    for (const QString& started : {executable, dir.path() + "/lumadoc",
                                   dir.path() + "/Installer.app/Contents/MacOS/LumadocInstaller"}) {
        SCOPED_TRACE(started.toStdString());
        EXPECT_EQ(AppBundle::installerName(started), "X_v3.2.1_ab12_101.202.303.404 (1)");
        EXPECT_TRUE(QFile::exists(AppBundle::resourceDir(started) + "/qfmt.dat"));
    }
    // Outside a bundle too: the data beside the program, not beside a link to it.
    const QString program = dir.path() + "/usr/bin/lumadoc-installer";
    ASSERT_FALSE(writeFile(program, "#!/bin/sh\n").isEmpty());
    ASSERT_FALSE(writeFile(dir.path() + "/usr/share/lumadoc-installer/qfmt.dat").isEmpty());
    ASSERT_TRUE(QFile::link(program, dir.path() + "/bin-link"));
    EXPECT_TRUE(QFile::exists(AppBundle::resourceDir(dir.path() + "/bin-link") + "/qfmt.dat"));
}
