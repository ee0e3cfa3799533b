// lumadoc-iconset SVG DIR: draws SVG into DIR as the PNG set of a macOS icon
// (DIR named "<name>.iconset" is what `iconutil -c icns` turns into <name>.icns).

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: lumadoc-iconset SVG DIR\n", stderr);
        return 2;
    }
    // No display needed, nor wanted, at build time.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    const QString dir = QString::fromLocal8Bit(argv[2]);
    if (!svg.isValid() || !QDir().mkpath(dir)) {
        std::fprintf(stderr, "lumadoc-iconset: cannot read %s or create %s\n", argv[1], argv[2]);
        return 1;
    }
    // Each point size once at 1x and once at 2x, the names iconutil expects.
    for (const int points : {16, 32, 128, 256, 512}) {
        for (const int scale : {1, 2}) {
            const int pixels = points * scale;
            QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            svg.render(&painter, QRectF(0, 0, pixels, pixels));
            painter.end();
            const QString name = QStringLiteral("icon_%1x%1%2.png")
                                     .arg(points)
                                     .arg(scale == 2 ? QStringLiteral("@2x") : QString());
            if (!image.save(QDir(dir).filePath(name), "PNG")) {
                std::fprintf(stderr, "lumadoc-iconset: cannot write %s\n", qPrintable(name));
                return 1;
            }
        }
    }
    return 0;
}
