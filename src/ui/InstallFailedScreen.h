#pragma once
// The install-failed screen, 680 x 436: the "warning" image, the message and
// the reinstall button in one row, centred under the artwork.

#include <QWidget>

class ClickableText;

class InstallFailedScreen : public QWidget {
    Q_OBJECT
public:
    explicit InstallFailedScreen(QWidget* parent = nullptr);

    ClickableText* reinstallButton() const { return m_reinstall; }

Q_SIGNALS:
    void reinstallClicked();

private:
    ClickableText* m_reinstall;
};
