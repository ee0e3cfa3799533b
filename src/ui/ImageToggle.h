#pragma once
// A toggle drawn as a row, vertically centred, of an image and a text label
// 5 points apart. The image shows the state (one asset for on, one for off); a
// single tap anywhere on the row flips it. It is a checkable QAbstractButton:
// isChecked()/setChecked() hold the bool, toggled(bool) reports every flip,
// whether by tap or by setChecked. Reachable with Tab; Space, Return or Enter
// flip it. kFocusPadding points are kept free on both sides of the row for the
// focus ring, an accent-blue outline round the row while focused.

#include <QAbstractButton>
#include <QColor>

class ImageToggle : public QAbstractButton {
    Q_OBJECT
public:
    enum class ImageSide { leading, trailing };

    ImageToggle(const QString& label, const QString& onImage, const QString& offImage,
                ImageSide side, QWidget* parent = nullptr);

    // The label's colour; the palette's text colour until set.
    void setLabelColor(const QColor& color);
    QColor labelColor() const;

    // The asset shown for the current state.
    QString imageName() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QSize imageSize() const;
    int textWidth() const;

    QString m_onImage;
    QString m_offImage;
    ImageSide m_side;
    QColor m_labelColor;
};
