// The macOS icon's PNG set, drawn by the build-time tool from the SVG art:
// the names and pixel sizes `iconutil -c icns` insists on.
#include "support/ProgramRun.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Iconset, EveryNameAndSizeIconutilExpects) {
    QTemporaryDir dir;
    const QString iconset = dir.filePath("AppIcon.iconset");
    const QString tool = LUMADOC_BIN_DIR "/lumadoc-iconset";
    const ProgramRun run =
        runProgram(tool, {LUMADOC_SOURCE_DIR "/resources/macos/AppIcon.svg", iconset});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    QStringList expected;
    for (const int points : {16, 32, 128, 256, 512}) {
        for (const int scale : {1, 2}) {
            const QString name =
                QString("icon_%1x%1%2.png").arg(points).arg(scale == 2 ? "@2x" : "");
            expected << name;
            const QImage image(iconset + '/' + name);
            SCOPED_TRACE(name.toStdString());
            ASSERT_EQ(image.size(), QSize(points * scale, points * scale));
            // The tile in the middle, the icon grid's margin around it.
            EXPECT_EQ(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255);
            EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        }
    }
    expected.sort();
    EXPECT_EQ(QDir(iconset).entryList(QDir::Files, QDir::Name), expected);

    EXPECT_GT(runProgram(tool, {dir.filePath("missing.svg"), iconset}).status, 0);
}
