// lumadoc-iconset SVG DIR: draws SVG into DIR as the PNG set of a macOS icon
// (DIR named "<name>.iconset" is what `iconutil -c icns` turns into <name>.icns).
// lumadoc-iconset --hicolor SVG DIR: the sizes a Linux desktop's hicolor theme
// takes, as DIR/<n>x<n>.png.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

bool draw(QSvgRenderer& svg, int pixels, const QString& path) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter, QRectF(0, 0, pixels, pixels));
    painter.end();
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "lumadoc-iconset: cannot write %s\n", qPrintable(path));
    return false;
}

// (pixels, file name) of every picture of the set.
std::vector<std::pair<int, QString>> pictures(bool hicolor) {
    std::vector<std::pair<int, QString>> out;
    if (hicolor) {
        for (const int pixels : {48, 64, 128, 256})
            out.emplace_back(pixels, QStringLiteral("%1x%1.png").arg(pixels));
        return out;
    }
    // Each point size once at 1x and once at 2x, the names iconutil expects.
    for (const int points : {16, 32, 128, 256, 512})
        for (const int scale : {1, 2})
            out.emplace_back(points * scale,
                             QStringLiteral("icon_%1x%1%2.png")
                                 .arg(points)
                                 .arg(scale == 2 ? QStringLiteral("@2x") : QString()));
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const bool hicolor = argc == 4 && QByteArray(argv[1]) == "--hicolor";
    if (argc != 3 && !hicolor) {
        std::fputs("usage: lumadoc-iconset [--hicolor] SVG DIR\n", stderr);
        return 2;
    }
    const char* svgPath = argv[argc - 2];
    const char* dirPath = argv[argc - 1];
    // No display needed, nor wanted, at build time.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSvgRenderer svg(QString::fromLocal8Bit(svgPath));
    const QDir dir(QString::fromLocal8Bit(dirPath));
    if (!svg.isValid() || !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "lumadoc-iconset: cannot read %s or create %s\n", svgPath, dirPath);
        return 1;
    }
    for (const auto& [pixels, name] : pictures(hicolor))
        if (!draw(svg, pixels, dir.filePath(name)))
            return 1;
    return 0;
}
