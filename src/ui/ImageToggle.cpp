#include "ui/ImageToggle.h"

#include "ui/Accessibility.h"
#include "ui/FocusRing.h"
#include "ui/ImageAssets.h"
#include "ui/ScreenColors.h"

#include <QKeyEvent>
#include <QtMath>

#include <QPainter>

namespace {
constexpr int kSpacing = 5;
}

ImageToggle::ImageToggle(const QString& label, const QString& onImage, const QString& offImage,
                         ImageSide side, QWidget* parent)
    : QAbstractButton(parent)
    , m_onImage(onImage)
    , m_offImage(offImage)
    , m_side(side) {
    Accessibility::install();
    setCheckable(true);
    setText(label);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(side == ImageSide::leading ? QSizePolicy::Preferred : QSizePolicy::Fixed,
                  QSizePolicy::Fixed);
}

void ImageToggle::setLabelColor(const QColor& color) {
    m_labelColor = color;
    update();
}

QColor ImageToggle::labelColor() const {
    return m_labelColor.isValid() ? m_labelColor : palette().color(QPalette::WindowText);
}

QString ImageToggle::imageName() const {
    return isChecked() ? m_onImage : m_offImage;
}

QSize ImageToggle::imageSize() const {
    // Both states share one size; the larger wins should the artwork ever differ.
    return ImageAssets::naturalSize(m_onImage).expandedTo(ImageAssets::naturalSize(m_offImage));
}

int ImageToggle::textWidth() const {
    // Rounded up from the exact advance, so the label is never cut short.
    return text().isEmpty() ? 0 : qCeil(QFontMetricsF(font()).horizontalAdvance(text()));
}

QSize ImageToggle::sizeHint() const {
    const QSize image = imageSize();
    const int gap = text().isEmpty() || image.isEmpty() ? 0 : kSpacing;
    return {2 * kFocusPadding + image.width() + gap + textWidth(),
            qMax(image.height(), fontMetrics().height())};
}

QSize ImageToggle::minimumSizeHint() const {
    return sizeHint();
}

void ImageToggle::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !event->isAutoRepeat()) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event); // Space: press, then click on release
}

void ImageToggle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QSize image = imageSize();
    const int gap = text().isEmpty() || image.isEmpty() ? 0 : kSpacing;
    const int label = textWidth();

    const int imageX = kFocusPadding + (m_side == ImageSide::leading ? 0 : label + gap);
    const int textX = kFocusPadding + (m_side == ImageSide::leading ? image.width() + gap : 0);
    const QPixmap pixmap = ImageAssets::pixmap(imageName(), image, devicePixelRatioF());
    p.drawPixmap(imageX, (height() - image.height()) / 2, pixmap);
    p.setPen(labelColor());
    // Never elided: the layout gives the row its full width.
    p.drawText(QRect(textX, 0, label, height()),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, text());
    if (hasFocus()) {
        const int right =
            textX + (m_side == ImageSide::leading ? label : label + gap + image.width());
        drawFocusRing(p, QRectF(0, 0, qMin(width(), right + kFocusPadding), height()), 3,
                      ScreenColors::accent());
    }
}
