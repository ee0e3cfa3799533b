#pragma once
// Makes everything outside a rounded rectangle transparent again, for widgets
// drawn into an image with rounded corners.

#include <QPainter>
#include <QPainterPath>

inline void eraseOutsideRoundedRect(QPainter& p, const QRect& rect, qreal radius) {
    QPainterPath outside;
    outside.addRect(rect);
    QPainterPath inside;
    inside.addRoundedRect(QRectF(rect), radius, radius);
    p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    p.fillPath(outside.subtracted(inside), Qt::black);
}
