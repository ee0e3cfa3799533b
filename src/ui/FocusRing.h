#pragma once
// The keyboard focus ring of the screens' controls: a rounded outline in the
// control's own accent colour, drawn inside the control's bounds so it never
// needs room from the layout. Controls that draw text right to their edges
// keep kFocusPadding points free on each side for it.

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QRectF>

inline constexpr int kFocusPadding = 3;
inline constexpr qreal kFocusRingWidth = 1.5;

inline void drawFocusRing(QPainter& p, const QRectF& rect, qreal radius, const QColor& color) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(color, kFocusRingWidth));
    const qreal half = kFocusRingWidth / 2;
    p.drawRoundedRect(rect.adjusted(half, half, -half, -half), radius, radius);
    p.restore();
}
