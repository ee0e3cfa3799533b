#include "ui/ImageToggle.h"

#include "ui/ImageAssets.h"

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
    setCheckable(true);
    setText(label);
    // Like the platform's option controls: mouse only, no focus ring in the wizard.
    setFocusPolicy(Qt::NoFocus);
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

QSize ImageToggle::sizeHint() const {
    const QSize image = imageSize();
    const QFontMetrics fm = fontMetrics();
    const int textWidth = text().isEmpty() ? 0 : fm.horizontalAdvance(text());
    const int gap = text().isEmpty() || image.isEmpty() ? 0 : kSpacing;
    return {image.width() + gap + textWidth, qMax(image.height(), fm.height())};
}

QSize ImageToggle::minimumSizeHint() const {
    const QSize image = imageSize();
    return {image.width(), qMax(image.height(), fontMetrics().height())};
}

void ImageToggle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QSize image = imageSize();
    const QFontMetrics fm = fontMetrics();
    const int gap = text().isEmpty() || image.isEmpty() ? 0 : kSpacing;
    const int textRoom = qMax(0, width() - image.width() - gap);
    const QString label = fm.elidedText(text(), Qt::ElideRight, textRoom);
    const int textWidth = fm.horizontalAdvance(label);

    const int imageX = m_side == ImageSide::leading ? 0 : textWidth + gap;
    const int textX = m_side == ImageSide::leading ? image.width() + gap : 0;
    const QPixmap pixmap = ImageAssets::pixmap(imageName(), image, devicePixelRatioF());
    p.drawPixmap(imageX, (height() - image.height()) / 2, pixmap);
    p.setPen(labelColor());
    p.drawText(QRect(textX, 0, textRoom, height()), Qt::AlignLeft | Qt::AlignVCenter, label);
}
