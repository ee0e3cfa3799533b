#pragma once
// A text that acts like a link or a borderless button: a left click (press
// and release on the text) emits clicked(). Shows the pointing hand. Reachable
// with Tab; Space, Return or Enter emit clicked(); while focused a rounded ring
// in the text's colour surrounds it (kFocusPadding points each side are kept
// free for it).

#include <QLabel>

class ClickableText : public QLabel {
    Q_OBJECT
public:
    ClickableText(const QString& text, const QFont& font, const QColor& color,
                  QWidget* parent = nullptr);

    // Emits clicked(), as a click does (keyboard, screen readers).
    void click() { Q_EMIT clicked(); }

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_pressed = false;
};
