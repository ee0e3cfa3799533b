#include "ui/ImageAssets.h"
#include "support/Files.h"
#include "support/LogCapture.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Every image the window names, with the size it is laid out at.
const QMap<QString, QSize>& expectedArt() {
    static const QMap<QString, QSize> art = [] {
        QMap<QString, QSize> m{
            {"background", {680, 532}}, {"ProgressBar", {360, 6}}, {"error", {16, 16}},
            {"warning", {20, 20}},      {"checkedbox", {14, 14}},  {"uncheckbox", {14, 14}},
            {"dragUp", {12, 12}},       {"dragDown", {12, 12}},    {"ExitAlert", {304, 236}},
        };
        const QMap<QString, QSize> buttons{{"download-btn", {200, 60}},
                                           {"start-btn", {200, 60}},
                                           {"close-btn", {24, 24}},
                                           {"cancel-btn", {110, 28}},
                                           {"agree-btn", {110, 28}}};
        for (auto it = buttons.cbegin(); it != buttons.cend(); ++it)
            for (const char* state : {"-normal", "-hover", "-press"})
                m.insert(it.key() + state, it.value());
        return m;
    }();
    return art;
}

TEST(ImageAssets, EveryNamedImageShipsAtItsLayoutSizeAndRendersCrisp) {
    QStringList expected = expectedArt().keys();
    expected.sort();
    EXPECT_EQ(ImageAssets::names(), expected);
    for (auto it = expectedArt().cbegin(); it != expectedArt().cend(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        EXPECT_TRUE(ImageAssets::has(it.key()));
        EXPECT_EQ(ImageAssets::naturalSize(it.key()), it.value());
        for (qreal dpr : {1.0, 2.0}) {
            const QPixmap pixmap = ImageAssets::pixmap(it.key(), dpr);
            ASSERT_FALSE(pixmap.isNull());
            EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(it.value()));
            EXPECT_EQ(pixmap.size(), it.value() * dpr) << "one device pixel per pixel";
            QImage blank(pixmap.size(), QImage::Format_ARGB32_Premultiplied);
            blank.fill(Qt::transparent);
            blank.setDevicePixelRatio(dpr);
            EXPECT_NE(pixmap.toImage().convertToFormat(blank.format()), blank) << "drew nothing";
        }
    }
}

TEST(ImageAssets, ScalingModesPlaceTheArtwork) {
    // 20 x 10: red left half, blue right half.
    QTemporaryDir dir;
    const QString path = writeFile(
        dir.filePath("halves.svg"),
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="20" height="10" viewBox="0 0 20 10">
<rect width="10" height="10" fill="#FF0000"/><rect x="10" width="10" height="10" fill="#0000FF"/></svg>)");
    const QColor red(Qt::red), blue(Qt::blue);
    const auto at = [](const QPixmap& p, int x, int y) { return p.toImage().pixelColor(x, y); };

    const QPixmap fill = ImageAssets::renderFile(path, {10, 10}, 1, Qt::KeepAspectRatioByExpanding);
    EXPECT_EQ(fill.size(), QSize(10, 10));
    EXPECT_EQ(at(fill, 1, 5), red);
    EXPECT_EQ(at(fill, 8, 5), blue); // centred: the middle of the artwork
    const QPixmap fillLeft =
        ImageAssets::renderFile(path, {10, 10}, 1, Qt::KeepAspectRatioByExpanding, Qt::AlignLeft);
    EXPECT_EQ(at(fillLeft, 8, 5), red);
}

TEST(ImageAssets, MissingOrBrokenImagesGiveNullAndOneLine) {
    LogCapture log;
    EXPECT_TRUE(ImageAssets::pixmap(QStringLiteral("no-such-art"), {10, 10}, 1).isNull());
    EXPECT_TRUE(ImageAssets::pixmap(QStringLiteral("no-such-art"), {20, 20}, 2).isNull());
    EXPECT_EQ(log.lines().size(), 1) << "a repainting widget must not flood the log";
    EXPECT_TRUE(log.lines().value(0).contains("no-such-art"));
    EXPECT_FALSE(ImageAssets::has(QStringLiteral("../art/background")));
    EXPECT_TRUE(ImageAssets::pixmap(QStringLiteral("../art/background"), {10, 10}, 1).isNull());

    QTemporaryDir dir;
    const QString broken =
        writeFile(dir.filePath("broken.svg"),
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=");
    log.clear();
    EXPECT_TRUE(ImageAssets::renderFile(broken, {10, 10}, 1).isNull());
    EXPECT_TRUE(ImageAssets::renderFile(dir.filePath("absent.svg"), {10, 10}, 1).isNull());
    ASSERT_EQ(log.lines().size(), 2);
    EXPECT_TRUE(log.lines()[0].contains(broken));
}

} // namespace
