#include "ui/ClickableText.h"

#include <QMouseEvent>

ClickableText::ClickableText(const QString& text, const QFont& font, const QColor& color,
                             QWidget* parent)
    : QLabel(text, parent) {
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, color);
    setPalette(palette);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(text);
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
