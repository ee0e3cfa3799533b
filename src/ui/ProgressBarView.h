#pragma once
// The progress bar: a 360 x 6 track ("ProgressBar", optional) and over it,
// from the leading edge, an accent-blue fill with 5-point corners whose width
// is the fraction times 360. Width changes are animated ease-in-out over 0.5 s
// unless asked otherwise.

#include <QPropertyAnimation>
#include <QWidget>

class ProgressBarView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(qreal fillWidth READ fillWidth WRITE setFillWidth)
public:
    static constexpr int kWidth = 360;
    static constexpr int kHeight = 6;

    explicit ProgressBarView(bool showTrack, QWidget* parent = nullptr);

    // The fill for `fraction`, kept within the track (0 to 360 points).
    static qreal widthFor(double fraction);

    // Moves the fill to widthFor(fraction): animated from where it is now, or at once.
    void setProgress(double fraction, bool animated);

    // The width drawn now, and the width it is moving to.
    qreal fillWidth() const { return m_fillWidth; }
    qreal targetWidth() const { return m_target; }
    bool showsTrack() const { return m_showTrack; }

    // Jumps to the end of a running animation.
    void finishAnimation();

    // What screen readers hear: the whole percentage and the status line shown
    // with the bar. A change is announced as a value change.
    void setAccessibleValue(int percent, const QString& text);
    int accessiblePercent() const { return m_accessiblePercent; }
    QString accessibleValueText() const { return m_accessibleText; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setFillWidth(qreal width);

    bool m_showTrack;
    int m_accessiblePercent = 0;
    QString m_accessibleText;
    qreal m_fillWidth = 0;
    qreal m_target = 0;
    QPropertyAnimation m_animation;
};
