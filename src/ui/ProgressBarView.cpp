#include "ui/ProgressBarView.h"

#include "ui/Accessibility.h"
#include "ui/ImageAssets.h"
#include "ui/ScreenColors.h"

#include <QAccessible>
#include <QEasingCurve>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

constexpr int kDurationMs = 500;
constexpr qreal kCorner = 5;

// The platform's ease-in-out timing curve.
QEasingCurve easeInOut() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return curve;
}

} // namespace

ProgressBarView::ProgressBarView(bool showTrack, QWidget* parent)
    : QWidget(parent)
    , m_showTrack(showTrack)
    , m_animation(this, "fillWidth") {
    setFixedSize(kWidth, kHeight);
    Accessibility::install();
    m_animation.setDuration(kDurationMs);
    m_animation.setEasingCurve(easeInOut());
}

qreal ProgressBarView::widthFor(double fraction) {
    if (!std::isfinite(fraction) || fraction <= 0)
        return 0;
    return std::min(fraction, 1.0) * kWidth;
}

void ProgressBarView::setProgress(double fraction, bool animated) {
    const qreal target = widthFor(fraction);
    if (target == m_target && (animated || m_animation.state() != QAbstractAnimation::Running))
        return;
    m_target = target;
    m_animation.stop();
    if (!animated) {
        setFillWidth(target);
        return;
    }
    m_animation.setStartValue(m_fillWidth);
    m_animation.setEndValue(target);
    m_animation.start();
}

void ProgressBarView::finishAnimation() {
    m_animation.stop();
    setFillWidth(m_target);
}

void ProgressBarView::setAccessibleValue(int percent, const QString& text) {
    if (percent == m_accessiblePercent && text == m_accessibleText)
        return;
    m_accessiblePercent = percent;
    m_accessibleText = text;
    QAccessibleValueChangeEvent event(this, percent);
    QAccessible::updateAccessibility(&event);
}

void ProgressBarView::setFillWidth(qreal width) {
    if (width == m_fillWidth)
        return;
    m_fillWidth = width;
    update();
}

void ProgressBarView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_showTrack)
        p.drawPixmap(
            0, 0, ImageAssets::pixmap(QStringLiteral("ProgressBar"), size(), devicePixelRatioF()));
    if (m_fillWidth <= 0)
        return;
    QPainterPath fill;
    fill.addRoundedRect(QRectF(0, 0, m_fillWidth, height()), kCorner, kCorner);
    p.fillPath(fill, ScreenColors::accent());
}
