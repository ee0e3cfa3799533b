#pragma once
// An alert inside the window: a dimmed backdrop over the whole parent that
// takes every click, and a centred card with a title and one default button.
// It never blocks the caller: show() returns at once, and pressing the button
// (or Return, Enter, Escape) emits dismissed(). The owner hides the alert.
// While shown, the keyboard focus stays on its button.

#include <QWidget>

class BtnView;
class QLabel;

class AlertView : public QWidget {
    Q_OBJECT
public:
    AlertView(const QString& title, const QString& buttonText, QWidget* parent);

    QString title() const;
    BtnView* button() const { return m_button; }

Q_SIGNALS:
    void dismissed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void place();

    QRect cardRect() const;

    QLabel* m_title;
    BtnView* m_button;
};
