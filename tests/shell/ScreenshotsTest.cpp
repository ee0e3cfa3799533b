// lumadoc-installer --screenshot as a user runs it: a real child process.
#include "app/Screenshots.h"
#include "ShellEnvironment.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Runs `lumadoc-installer --screenshot <dir> <extra>` with the shell scenario's
// environment and `lang` as LANG; true when it exits 0.
bool shoot(const QString& dir, const QStringList& extra, const QString& lang) {
    QProcess installer;
    // Even with data files that name a live server, the stills report nothing.
    QProcessEnvironment env = shell::scenario().environment();
    env.insert("LANG", lang);
    env.remove("LC_ALL");
    env.remove("LANGUAGE");
    installer.setProcessEnvironment(env);
    installer.start(LUMADOC_INSTALLER_EXE, QStringList{"--screenshot", dir} + extra);
    if (!installer.waitForFinished(60000))
        return false;
    EXPECT_EQ(installer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(installer.exitCode(), 0) << installer.readAllStandardError().toStdString();
    return installer.exitStatus() == QProcess::NormalExit && installer.exitCode() == 0;
}

} // namespace

TEST(Screenshots, EveryScreenInBothLanguagesAtScaleOneAndTwoAndNothingReported) {
    QTemporaryDir out;
    const qsizetype before = shell::reports().size();
    ASSERT_TRUE(shoot(out.path() + "/docs", {}, "C.UTF-8"));
    ASSERT_TRUE(shoot(out.path() + "/zh", {}, "zh_CN.UTF-8"));
    ASSERT_TRUE(shoot(out.path() + "/x2", {"--scale", "2"}, "C.UTF-8"));

    const QDir docs(out.path() + "/docs");
    EXPECT_EQ(docs.entryList({"*.png"}, QDir::Files).size(), 16);
    for (const QString& language : Screenshots::languages()) {
        for (const Screenshots::Still& still : Screenshots::stills()) {
            const QString name = still.name + '-' + language + ".png";
            SCOPED_TRACE(name.toStdString());
            const QImage image(docs.filePath(name));
            ASSERT_FALSE(image.isNull());
            const QSize size(680, still.state.isExpanded ? 492 : 436);
            EXPECT_EQ(image.size(), size);
            EXPECT_EQ(QImage(out.path() + "/x2/" + name).size(), size * 2);
            // A Chinese locale keeps the English and German texts in the Latin face.
            EXPECT_EQ(QImage(out.path() + "/zh/" + name), image);
        }
    }
    EXPECT_NE(QImage(docs.filePath("start-en.png")), QImage(docs.filePath("start-de.png")));
    EXPECT_NE(QImage(docs.filePath("progress-en.png")),
              QImage(docs.filePath("close-confirm-en.png")));

    QTest::qWait(300);
    EXPECT_EQ(shell::reports().size(), before);
}
