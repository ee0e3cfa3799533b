// lumadoc-installer --screenshot as a user runs it: a real child process.
#include "app/Screenshots.h"
#include "support/InstallScenario.h"
#include "support/ProgramRun.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

// Even with data files that name a live server, the stills report nothing. A Chinese
// locale keeps the English and German texts in the Latin face.
TEST(Screenshots, EveryScreenInBothLanguagesAtScaleOneAndTwoAndNothingReported) {
    QTemporaryDir out;
    InstallScenario scenario;
    for (const auto& [dir, lang, extra] :
         {std::tuple{"docs", "C.UTF-8", QStringList()},
          std::tuple{"zh", "zh_CN.UTF-8", QStringList()},
          std::tuple{"x2", "C.UTF-8", QStringList{"--scale", "2"}}}) {
        QProcessEnvironment env = scenario.environment();
        env.insert("LANG", lang);
        env.remove("LC_ALL");
        env.remove("LANGUAGE");
        const ProgramRun run = runProgram(
            LUMADOC_INSTALLER_EXE, QStringList{"--screenshot", out.filePath(dir)} + extra, env);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("QStandardPaths")) << run.err.toStdString();
    }
    // A place that cannot hold them: a failure that says why.
    const ProgramRun refused =
        runProgram(LUMADOC_INSTALLER_EXE, {"--screenshot", out.filePath("docs/start-en.png")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.endsWith("lumadoc-installer: error: cannot create " +
                                     out.filePath("docs") + "/start-en.png: Not a directory\n"));

    // Stopped half way, as by a logout: its scratch home goes with it.
    QTemporaryDir scratch;
    QProcess stopped;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", scratch.path());
    stopped.setProcessEnvironment(env);
    stopped.start(LUMADOC_INSTALLER_EXE, {"--screenshot", out.filePath("stopped"), "--scale", "4"});
    QByteArray said;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return said.append(stopped.readAllStandardError()).contains("wrote"); }, 60000));
    ::kill(pid_t(stopped.processId()), SIGTERM);
    ASSERT_TRUE(stopped.waitForFinished(60000));
    EXPECT_EQ(stopped.exitCode(), 128 + SIGTERM);
    EXPECT_TRUE(
        QDir(scratch.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));

    const QDir docs(out.filePath("docs"));
    EXPECT_EQ(docs.entryList({"*.png"}, QDir::Files).size(), 16);
    for (const QString& language : Screenshots::languages()) {
        for (const Screenshots::Still& still : Screenshots::stills()) {
            const QString name = still.name + '-' + language + ".png";
            SCOPED_TRACE(name.toStdString());
            const QImage image(docs.filePath(name));
            const QSize size(680, still.state.isExpanded ? 492 : 436);
            EXPECT_EQ(image.size(), size);
            EXPECT_EQ(QImage(out.filePath("x2/" + name)).size(), size * 2);
            EXPECT_EQ(QImage(out.filePath("zh/" + name)), image);
        }
    }
    EXPECT_NE(QImage(docs.filePath("start-en.png")), QImage(docs.filePath("start-de.png")));
    EXPECT_NE(QImage(docs.filePath("progress-en.png")),
              QImage(docs.filePath("close-confirm-en.png")));
    QTest::qWait(300);
    EXPECT_EQ(scenario.server().telemetry().size(), 0);
}
