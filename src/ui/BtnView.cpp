#include "ui/BtnView.h"

#include "ui/Accessibility.h"
#include "ui/FocusRing.h"
#include "ui/ImageAssets.h"
#include "ui/RoundedCorners.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

BtnView::BtnView(const QString& btnName, const QString& text, const QColor& textColor, int width,
                 int height, int borderRadius, const QFont& font, std::function<void()> onPress,
                 QWidget* parent)
    : QWidget(parent)
    , m_onPress(std::move(onPress))
    , m_btnName(btnName)
    , m_text(text)
    , m_textColor(textColor)
    , m_borderRadius(qMax(0, borderRadius)) {
    setFixedSize(qMax(0, width), qMax(0, height));
    setFont(font);
    setFocusPolicy(Qt::TabFocus);
    Accessibility::install();
}

QString BtnView::imageName(ButtonState state) const {
    switch (state) {
    case ButtonState::hovered:
        return m_btnName + QStringLiteral("-hover");
    case ButtonState::pressed:
        return m_btnName + QStringLiteral("-press");
    case ButtonState::normal:
        break;
    }
    return m_btnName + QStringLiteral("-normal");
}

void BtnView::setButtonState(ButtonState state) {
    if (m_buttonState == state)
        return;
    m_buttonState = state;
    update();
}

void BtnView::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0)
        return;
    // Drawn into a layer first so the rounded corners cut image and caption alike, smoothly.
    const qreal dpr = devicePixelRatioF();
    QImage layer(size() * dpr, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(dpr);
    layer.fill(Qt::transparent);
    {
        QPainter p(&layer);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                         QPainter::SmoothPixmapTransform);
        p.drawPixmap(0, 0,
                     ImageAssets::pixmap(imageName(m_buttonState), size(), dpr,
                                         Qt::KeepAspectRatioByExpanding));
        if (!m_text.isEmpty()) {
            // Never elided: a caption wider than the button is a layout fault to see.
            p.setFont(font());
            p.setPen(m_textColor);
            p.drawText(rect(), Qt::AlignCenter | Qt::TextDontClip, m_text);
        }
        if (m_borderRadius > 0)
            eraseOutsideRoundedRect(p, rect(), m_borderRadius);
        if (hasFocus()) {
            // The caption's colour stands out on the button's own artwork.
            const QRectF ring = QRectF(rect()).adjusted(kFocusPadding, kFocusPadding,
                                                        -kFocusPadding, -kFocusPadding);
            drawFocusRing(p, ring, qMax(0, m_borderRadius - kFocusPadding), m_textColor);
        }
    }
    QPainter(this).drawImage(0, 0, layer);
}

void BtnView::enterEvent(QEnterEvent*) {
    if (!m_pressing)
        setButtonState(ButtonState::hovered);
}

void BtnView::leaveEvent(QEvent*) {
    if (!m_pressing)
        setButtonState(ButtonState::normal);
}

void BtnView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pressing = true;
    setButtonState(ButtonState::pressed);
}

void BtnView::mouseMoveEvent(QMouseEvent* event) {
    if (m_pressing)
        setButtonState(ButtonState::pressed);
    else
        event->ignore();
}

void BtnView::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_pressing || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pressing = false;
    setButtonState(ButtonState::normal);
    click();
}

void BtnView::click() {
    QPointer<BtnView> self(this);
    if (m_onPress)
        m_onPress();
    if (self)
        Q_EMIT clicked();
}

void BtnView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat())
            click();
        return;
    case Qt::Key_Space:
        if (!event->isAutoRepeat()) {
            m_keyPressing = true;
            setButtonState(ButtonState::pressed);
        }
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void BtnView::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space || event->isAutoRepeat() || !m_keyPressing) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    m_keyPressing = false;
    setButtonState(ButtonState::normal);
    click();
}

void BtnView::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void BtnView::focusOutEvent(QFocusEvent* event) {
    // Space released elsewhere never fires.
    if (m_keyPressing) {
        m_keyPressing = false;
        setButtonState(ButtonState::normal);
    }
    update();
    QWidget::focusOutEvent(event);
}

void BtnView::hideEvent(QHideEvent*) {
    // A press interrupted by hiding (a screen change) never fires.
    m_pressing = false;
    m_keyPressing = false;
    setButtonState(ButtonState::normal);
}
