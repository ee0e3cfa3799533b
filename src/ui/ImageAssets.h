#pragma once
// The installer's artwork, looked up by asset name ("background", "start-btn-hover",
// "checkedbox", ...). Every asset is an SVG compiled into the binary, so it is
// rendered afresh for each size and device pixel ratio and stays crisp on
// high-density screens. Use from the UI thread only.

#include <QPixmap>
#include <QSize>
#include <QStringList>

class ImageAssets {
public:
    // Every asset name the binary carries, sorted.
    static QStringList names();

    static bool has(const QString& name);

    // The artwork's own size in points; an empty size for an unknown or unreadable asset.
    static QSize naturalSize(const QString& name);

    // The asset rendered into `size` points at `dpr` device pixels per point.
    // The result's device-independent size is exactly `size`:
    //   IgnoreAspectRatio           stretched to the box,
    //   KeepAspectRatio             fitted inside, the rest transparent,
    //   KeepAspectRatioByExpanding  filling the box, the overflow cut off;
    // `align` places the artwork in the box for the last two modes.
    // An unknown, unreadable or empty asset gives a null pixmap and one log line
    // per name for the life of the process. Results are cached.
    static QPixmap pixmap(const QString& name, QSize size, qreal dpr,
                          Qt::AspectRatioMode mode = Qt::IgnoreAspectRatio,
                          Qt::Alignment align = Qt::AlignCenter);

    // The asset at its natural size.
    static QPixmap pixmap(const QString& name, qreal dpr);

    // Renders any SVG file the same way, uncached; null (with one log line) when the
    // file is missing or not a valid SVG.
    static QPixmap renderFile(const QString& path, QSize size, qreal dpr,
                              Qt::AspectRatioMode mode = Qt::IgnoreAspectRatio,
                              Qt::Alignment align = Qt::AlignCenter);
};
