#pragma once
// An image button with three looks and an optional caption. The look is the
// asset `btnName` + "-normal", "-hover" or "-press", filling the button, under
// the caption centred in `font` and `textColor`, clipped to rounded corners.
//
// Press rule: a left-button press shows the pressed look; when it ends,
// wherever the pointer is then, the look returns to normal and the button fires
// (onPress, then clicked()). The normal look stays after a press until the
// pointer leaves and enters again.
//
// Keyboard: reachable with Tab (never focused by a click); Return or Enter fires at
// once, Space shows the pressed look and fires when released. While focused, a
// ring in the caption's colour is drawn inside the button.

#include <QColor>
#include <QFont>
#include <QWidget>
#include <functional>

enum class ButtonState { normal, hovered, pressed };

class BtnView : public QWidget {
    Q_OBJECT
public:
    // The button is fixed at width x height points. `onPress` may be empty. Neither
    // onPress nor a slot on clicked() may delete the button directly; use deleteLater().
    BtnView(const QString& btnName, const QString& text, const QColor& textColor, int width,
            int height, int borderRadius, const QFont& font, std::function<void()> onPress = {},
            QWidget* parent = nullptr);

    ButtonState buttonState() const { return m_buttonState; }
    QString btnName() const { return m_btnName; }
    QString text() const { return m_text; }
    QColor textColor() const { return m_textColor; }
    int borderRadius() const { return m_borderRadius; }

    // The asset drawn for a state.
    QString imageName(ButtonState state) const;

    // Fires as a finished press does (keyboard, screen readers).
    void click();

    QSize sizeHint() const override { return size(); }

Q_SIGNALS:
    // A press ended (inside or outside the button).
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setButtonState(ButtonState state);

    std::function<void()> m_onPress;
    ButtonState m_buttonState = ButtonState::normal;
    QString m_btnName;
    QString m_text;
    QColor m_textColor;
    int m_borderRadius;
    bool m_pressing = false;
    bool m_keyPressing = false; // Space is down
};
