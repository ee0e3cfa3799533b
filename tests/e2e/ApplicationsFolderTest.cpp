// An applications folder (or a home) the installer cannot use: the install
// stops with the cause as the system gave it, the log holds the failed
// command's own words, and the previous application is untouched.
#include "fakeproduct/FakeProduct.h"
#include "flow/SilentInstall.h"
#include "support/Files.h"
#include "support/InstallScenario.h"
#include "support/LinuxTools.h"
#include "support/ProgramRun.h"
#include "support/Sandbox.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QProcess>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>

TEST(ApplicationsFolder, AnUnusablePlaceIsNamedWithTheSystemsReason) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct("3.2.1"));
    const QString app = installedApp();
    const QString root = sandbox::root();
    const QString log = root + "/installer.log";

    struct Case {
        const char* name;
        // Makes the place unusable and returns the environment's changes; a
        // missing mount skips the case.
        std::function<bool(QProcessEnvironment&, std::vector<std::unique_ptr<Tmpfs>>&)> spoil;
        QString says;      // on standard error
        QString logSays{}; // the failed command's own output, in the log
    };
    const auto mount = [](const QString& at, std::vector<std::unique_ptr<Tmpfs>>& mounts) {
        mounts.push_back(std::make_unique<Tmpfs>(at, 64));
        return mounts.back()->mounted;
    };
    const Case cases[] = {
        {"a read-only applications folder",
         [&](QProcessEnvironment& env, auto& mounts) {
             const QString ro = root + "/ReadOnly";
             env.insert("LUMADOC_APPLICATIONS_DIR", ro);
             if (!mount(ro, mounts))
                 return false;
             FakeProduct::Options old;
             old.version = "1.0.0";
             FakeProduct::write(ro, old);
             return remountReadOnly(ro);
         },
         "cannot install into " + root + "/ReadOnly: Read-only file system"},
        {"a missing applications folder",
         [&](QProcessEnvironment& env, auto&) {
             env.insert("LUMADOC_APPLICATIONS_DIR", root + "/Missing");
             return true;
         },
         "cannot install into " + root + "/Missing: No such file or directory"},
        {"a file where the applications folder should be",
         [&](QProcessEnvironment& env, auto&) {
             env.insert("LUMADOC_APPLICATIONS_DIR", writeFile(root + "/AFile", "x"));
             return true;
         },
         "cannot install into " + root + "/AFile: Not a directory"},
        {"Lumadoc.app is a mount point",
         [&](QProcessEnvironment&, auto& mounts) {
             FakeProduct::Options old;
             old.version = "1.0.0";
             const QString source = FakeProduct::write(root + "/mounted", old);
             QDir(app).removeRecursively();
             return mount(app, mounts) && QProcess::execute("cp", {"-a", source + "/.", app}) == 0;
         },
         "cannot replace " + app + ": Device or resource busy", "mv: cannot move"},
        {"an immutable old application",
         [&](QProcessEnvironment&, auto&) { return setImmutable(app, true); },
         "cannot replace " + app + ": Operation not permitted", "mv: cannot move"},
        {"a file where the home's applications folder would be made",
         [&](QProcessEnvironment& env, auto&) {
             env.remove("LUMADOC_APPLICATIONS_DIR");
             return !writeFile(sandbox::home() + "/Applications", "x").isEmpty();
         },
         "cannot create the applications folder " + sandbox::home() + "/Applications"},
        {"a read-only home",
         [&](QProcessEnvironment& env, auto& mounts) {
             env.insert("HOME", root + "/rohome");
             return mount(root + "/rohome", mounts) && remountReadOnly(root + "/rohome");
         },
         "cannot create the staging folder " + root + "/rohome/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        stopProduct();
        QDir(app).removeRecursively();
        scenario.installPrevious("1.0.0");
        QProcessEnvironment env = scenario.environment();
        std::vector<std::unique_ptr<Tmpfs>> mounts;
        if (!c.spoil(env, mounts)) {
            std::cout << "[ NOTE     ] " << c.name << " not tried here (needs root)\n";
            continue;
        }
        const QString place =
            env.value("LUMADOC_APPLICATIONS_DIR", sandbox::home() + "/Applications") +
            "/Lumadoc.app";
        const auto before = snapshotTree(place);
        const ProgramRun run = runInstaller(env, {"--silent", "--log-file", log});
        setImmutable(app, false);
        EXPECT_EQ(run.status, SilentInstall::InstallFailed) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("the installation failed: " + c.says))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("the previous Lumadoc is unchanged"));
        EXPECT_EQ(snapshotTree(place), before);
        EXPECT_TRUE(run.log.contains(c.logSays)) << run.log.toStdString();
    }
    QFile::remove(sandbox::home() + "/Applications");
}
