#pragma once
// The content of the close-confirmation panel, 304 x 236 points: the question
// whether to close while the download runs, and two buttons. The left one
// ("Still close") asks to close the installer, the right one ("Continue") to
// keep it running; each only emits its signal, the panel's owner acts on it.
// Texts are looked up when the view is built. Corners outside the 10-point
// radius stay unpainted, so a translucent window shows them transparent.
// Keyboard: "Continue" has the focus first, Tab moves between the buttons, and
// Escape means "Continue".

#include <QWidget>

class BtnView;
class QLabel;

class ExitAlertWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 304;
    static constexpr int kHeight = 236;

    explicit ExitAlertWindow(QWidget* parent = nullptr);

    BtnView* confirmButton() const { return m_confirm; }
    BtnView* cancelButton() const { return m_cancel; }
    QString message() const;

Q_SIGNALS:
    // "Still close" was pressed: close the installer.
    void confirmClose();
    // "Continue" was pressed: close the panel, keep installing.
    void cancelClose();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_message;
    BtnView* m_confirm;
    BtnView* m_cancel;
};
