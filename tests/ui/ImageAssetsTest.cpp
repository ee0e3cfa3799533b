#include "ui/ImageAssets.h"
#include "support/Files.h"
#include "support/LogCapture.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// Every image the window names, at its layout size, drawn at one device pixel per pixel.
TEST(ImageAssets, EveryNamedImageShipsAtItsLayoutSizeAndRendersCrisp) {
    QMap<QString, QSize> art{
        {"background", {680, 532}}, {"ProgressBar", {360, 6}}, {"error", {16, 16}},
        {"warning", {20, 20}},      {"checkedbox", {14, 14}},  {"uncheckbox", {14, 14}},
        {"dragUp", {12, 12}},       {"dragDown", {12, 12}},    {"ExitAlert", {304, 236}},
    };
    const std::pair<const char*, QSize> buttons[] = {{"download-btn", {200, 60}},
                                                     {"start-btn", {200, 60}},
                                                     {"close-btn", {24, 24}},
                                                     {"cancel-btn", {110, 28}},
                                                     {"agree-btn", {110, 28}}};
    for (const auto& [button, size] : buttons)
        for (const char* state : {"-normal", "-hover", "-press"})
            art.insert(button + QString(state), size);
    EXPECT_EQ(ImageAssets::names(), art.keys());
    for (auto it = art.cbegin(); it != art.cend(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        EXPECT_EQ(ImageAssets::naturalSize(it.key()), it.value());
        for (qreal dpr : {1.0, 2.0}) {
            const QPixmap pixmap = ImageAssets::pixmap(it.key(), dpr);
            EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(it.value()));
            EXPECT_EQ(pixmap.size(), it.value() * dpr);
            QImage blank(pixmap.size(), QImage::Format_ARGB32_Premultiplied);
            blank.fill(Qt::transparent);
            blank.setDevicePixelRatio(dpr);
            EXPECT_NE(pixmap.toImage().convertToFormat(blank.format()), blank) << "drew nothing";
        }
    }
}

// A 20 x 10 picture (red, then blue half) filling a square shows its middle, or its left
// end when asked. A missing or broken image draws nothing and is logged once, not per paint.
TEST(ImageAssets, RenderFilePlacesTheArtworkAndMissingOrBrokenImagesLogOnce) {
    QTemporaryDir dir;
    LogCapture log;
    const QString path = writeFile(
        dir.filePath("halves.svg"),
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="20" height="10" viewBox="0 0 20 10">
<rect width="10" height="10" fill="#FF0000"/><rect x="10" width="10" height="10" fill="#0000FF"/></svg>)");
    const auto fill = [&](Qt::Alignment align) {
        const QImage image =
            ImageAssets::renderFile(path, {10, 10}, 1, Qt::KeepAspectRatioByExpanding, align)
                .toImage();
        return QList<QColor>({image.pixelColor(1, 5), image.pixelColor(8, 5)});
    };
    EXPECT_EQ(fill(Qt::AlignCenter), QList<QColor>({Qt::red, Qt::blue}));
    EXPECT_EQ(fill(Qt::AlignLeft), QList<QColor>({Qt::red, Qt::red}));

    EXPECT_TRUE(ImageAssets::pixmap("no-such-art", {10, 10}, 1).isNull());
    EXPECT_TRUE(ImageAssets::pixmap("no-such-art", {20, 20}, 2).isNull());
    EXPECT_FALSE(ImageAssets::has("../art/background"));
    EXPECT_TRUE(ImageAssets::pixmap("../art/background", {10, 10}, 1).isNull());
    const QString broken = writeFile(dir.filePath("broken.svg"),
                                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" h");
    EXPECT_TRUE(ImageAssets::renderFile(broken, {10, 10}, 1).isNull());
    EXPECT_TRUE(ImageAssets::renderFile(dir.filePath("absent.svg"), {10, 10}, 1).isNull());
    ASSERT_EQ(log.lines().size(), 4) << log.lines().join('\n').toStdString();
    EXPECT_TRUE(log.lines()[0].contains("no-such-art"));
    EXPECT_TRUE(log.lines()[2].contains(broken));
}
