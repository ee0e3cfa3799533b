#pragma once
// The download-failed screen, 680 x 436: the blue part of the bar where the
// download stopped, then the "error" image, the message, the retry button and
// the feedback link in one row. A row wider than the bar overflows it evenly
// on both sides.

#include <QWidget>

class ClickableText;
class ProgressBarView;
struct ScreenState;

class DownloadFailedScreen : public QWidget {
    Q_OBJECT
public:
    explicit DownloadFailedScreen(QWidget* parent = nullptr);

    void showState(const ScreenState& state, bool animated);

    ProgressBarView* bar() const { return m_bar; }
    ClickableText* retryButton() const { return m_retry; }
    ClickableText* feedbackLink() const { return m_feedback; }

Q_SIGNALS:
    void retryClicked();
    void feedbackClicked();

private:
    ProgressBarView* m_bar;
    ClickableText* m_retry;
    ClickableText* m_feedback;
};
