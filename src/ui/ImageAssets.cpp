#include "ui/ImageAssets.h"

#include "ui/SystemFont.h"

#include "base/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPainter>
#include <QPixmapCache>
#include <QRegularExpression>
#include <QSet>
#include <QSvgRenderer>
#include <QtMath>

namespace {

constexpr char kArtRoot[] = ":/art";

QString assetPath(const QString& name) {
    return QStringLiteral("%1/%2.svg").arg(kArtRoot, name);
}

// Asset names are plain words; anything else never reaches the resource system.
bool isPlainName(const QString& name) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_-]+$"));
    return plain.match(name).hasMatch();
}

// Names already reported as missing or broken, so a widget repainting does not flood the log.
QSet<QString>& reportedFailures() {
    static QSet<QString> names;
    return names;
}

QRectF placed(QSizeF art, QSize box, Qt::AspectRatioMode mode, Qt::Alignment align) {
    const QSizeF scaled = art.scaled(QSizeF(box), mode);
    qreal x = (box.width() - scaled.width()) / 2;
    qreal y = (box.height() - scaled.height()) / 2;
    if (align & Qt::AlignLeft)
        x = 0;
    else if (align & Qt::AlignRight)
        x = box.width() - scaled.width();
    if (align & Qt::AlignTop)
        y = 0;
    else if (align & Qt::AlignBottom)
        y = box.height() - scaled.height();
    return QRectF(QPointF(x, y), scaled);
}

QPixmap render(QSvgRenderer& renderer, QSize size, qreal dpr, Qt::AspectRatioMode mode,
               Qt::Alignment align) {
    if (size.isEmpty() || dpr <= 0)
        return {};
    const QSize pixels(qCeil(size.width() * dpr), qCeil(size.height() * dpr));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(dpr);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.setClipRect(QRect(QPoint(0, 0), size));
    const QSizeF art = renderer.viewBoxF().size();
    renderer.render(&painter, mode == Qt::IgnoreAspectRatio ? QRectF(QPointF(0, 0), QSizeF(size))
                                                            : placed(art, size, mode, align));
    painter.end();
    return QPixmap::fromImage(std::move(image));
}

bool loadRenderer(QSvgRenderer& renderer, const QString& path, const QString& what) {
    if (!QFileInfo::exists(path)) {
        logLine(lcUi(), QStringLiteral("Image %1 not found").arg(what));
        return false;
    }
    QFile file(path);
    QByteArray svg = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    // The artwork's words are Latin: drawn in the Latin face, whatever the locale.
    if (const QString latin = SystemFont::latinFamily(); !latin.isEmpty())
        svg.replace("font-family=\"sans-serif\"", "font-family=\"" + latin.toUtf8() + '"');
    // QSvgRenderer reports parse errors through Qt's message handler; the line below is ours.
    if (!renderer.load(svg) || !renderer.isValid() || renderer.viewBoxF().isEmpty()) {
        logLine(lcUi(), QStringLiteral("Image %1 is not a usable SVG").arg(what));
        return false;
    }
    return true;
}

} // namespace

QStringList ImageAssets::names() {
    QStringList result;
    const QStringList files = QDir(kArtRoot).entryList({QStringLiteral("*.svg")}, QDir::Files);
    for (const QString& file : files)
        result << QFileInfo(file).completeBaseName();
    result.sort();
    return result;
}

bool ImageAssets::has(const QString& name) {
    return isPlainName(name) && QFileInfo::exists(assetPath(name));
}

QSize ImageAssets::naturalSize(const QString& name) {
    static QHash<QString, QSize> sizes;
    if (const auto it = sizes.constFind(name); it != sizes.cend())
        return *it;
    QSize size;
    if (has(name)) {
        QSvgRenderer renderer(assetPath(name));
        if (renderer.isValid())
            size = renderer.viewBoxF().size().toSize();
    }
    sizes.insert(name, size);
    return size;
}

QPixmap ImageAssets::pixmap(const QString& name, QSize size, qreal dpr, Qt::AspectRatioMode mode,
                            Qt::Alignment align) {
    if (reportedFailures().contains(name))
        return {};
    const QString key = QStringLiteral("lumadoc-art:%1:%2x%3@%4:%5:%6")
                            .arg(name)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(dpr)
                            .arg(int(mode))
                            .arg(int(align));
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;

    QSvgRenderer renderer;
    const bool ok = isPlainName(name) && loadRenderer(renderer, assetPath(name),
                                                      QStringLiteral("asset \"%1\"").arg(name));
    if (!ok) {
        if (!isPlainName(name))
            logLine(lcUi(), QStringLiteral("Image asset name \"%1\" is not valid").arg(name));
        reportedFailures().insert(name);
        return {};
    }
    const QPixmap result = render(renderer, size, dpr, mode, align);
    if (!result.isNull())
        QPixmapCache::insert(key, result);
    return result;
}

QPixmap ImageAssets::pixmap(const QString& name, qreal dpr) {
    return pixmap(name, naturalSize(name), dpr);
}

QPixmap ImageAssets::renderFile(const QString& path, QSize size, qreal dpr,
                                Qt::AspectRatioMode mode, Qt::Alignment align) {
    QSvgRenderer renderer;
    if (!loadRenderer(renderer, path, path))
        return {};
    return render(renderer, size, dpr, mode, align);
}
