// lumadoc-installer --screenshot as a user runs it: a real child process.
#include "app/Screenshots.h"
#include "ShellEnvironment.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(Screenshots, EveryScreenInBothLanguagesAndNothingReported) {
    QTemporaryDir out;
    const qsizetype before = shell::reports().size();
    QProcess installer;
    // Even with data files that name a live server, the stills report nothing.
    installer.setProcessEnvironment(shell::scenario().environment());
    installer.start(LUMADOC_INSTALLER_EXE, {"--screenshot", out.path() + "/docs"});
    ASSERT_TRUE(installer.waitForFinished(60000));
    EXPECT_EQ(installer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(installer.exitCode(), 0) << installer.readAllStandardError().toStdString();

    const QDir docs(out.path() + "/docs");
    EXPECT_EQ(docs.entryList({"*.png"}, QDir::Files).size(), 16);
    for (const QString& language : Screenshots::languages()) {
        for (const Screenshots::Still& still : Screenshots::stills()) {
            const QString name = still.name + '-' + language + ".png";
            const QImage image(docs.filePath(name));
            ASSERT_FALSE(image.isNull()) << name.toStdString();
            EXPECT_EQ(image.size(), QSize(680, still.state.isExpanded ? 492 : 436))
                << name.toStdString();
        }
    }
    EXPECT_NE(QImage(docs.filePath("start-en.png")), QImage(docs.filePath("start-de.png")));
    EXPECT_NE(QImage(docs.filePath("progress-en.png")),
              QImage(docs.filePath("close-confirm-en.png")));

    QTest::qWait(300);
    EXPECT_EQ(shell::reports().size(), before);
}
