#pragma once
// A text that acts like a link or a borderless button: a left click (press
// and release on the text) emits clicked(). Shows the pointing hand.

#include <QLabel>

class ClickableText : public QLabel {
    Q_OBJECT
public:
    ClickableText(const QString& text, const QFont& font, const QColor& color,
                  QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};
