#include "ui/ClickableText.h"

#include "ui/Accessibility.h"
#include "ui/FocusRing.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

ClickableText::ClickableText(const QString& text, const QFont& font, const QColor& color,
                             QWidget* parent)
    : QLabel(text, parent) {
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, color);
    setPalette(palette);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setContentsMargins(kFocusPadding, 0, kFocusPadding, 0);
    Accessibility::install();
}

void ClickableText::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat())
            Q_EMIT clicked();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void ClickableText::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (hasFocus()) {
        QPainter p(this);
        drawFocusRing(p, rect(), 3, palette().color(QPalette::WindowText));
    }
}

void ClickableText::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pressed = true;
}

void ClickableText::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_pressed || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pressed = false;
    if (rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}
