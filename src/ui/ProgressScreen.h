#pragma once
// The progress screen, 680 x 436, for the download, the install and the
// success path: the bar, and below it either the download figures (megabytes,
// remaining time, percentage) or, from 0.8 on, the install text.

#include <QString>
#include <QWidget>

class QLabel;
class QStackedWidget;
class ProgressBarView;
struct ScreenState;

class ProgressScreen : public QWidget {
    Q_OBJECT
public:
    explicit ProgressScreen(QWidget* parent = nullptr);

    // `animated`: move the bar's fill smoothly (false when the screen just appeared).
    void showState(const ScreenState& state, bool animated);

    ProgressBarView* bar() const { return m_bar; }
    bool showsInstallText() const;
    // The texts shown now (empty while hidden or unknown).
    QString receivedText() const;
    QString expectedText() const;
    QString remainingText() const;
    QString percentText() const;
    QString installText() const;

    // "下载剩余%d秒" below a minute, else "下载剩余%d分%d秒", looked up in the table in use.
    static QString remainingTimeText(qint64 seconds);
    // "50%": the whole part of progress / 0.8 * 100; empty while the expected size is unknown.
    static QString percentFor(const ScreenState& state);

private:
    ProgressBarView* m_bar;
    QStackedWidget* m_lower;
    QLabel* m_received;
    QLabel* m_expected;
    QLabel* m_remaining;
    QLabel* m_percent;
    QLabel* m_installing;
};
