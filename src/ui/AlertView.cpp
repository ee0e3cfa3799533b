#include "ui/AlertView.h"

#include "ui/Accessibility.h"
#include "ui/BtnView.h"
#include "ui/SystemFont.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kCardWidth = 300;
constexpr int kCardRadius = 10;
constexpr int kPadding = 20;
constexpr int kGap = 16;
constexpr QSize kButton{110, 28};
} // namespace

AlertView::AlertView(const QString& title, const QString& buttonText, QWidget* parent)
    : QWidget(parent) {
    Accessibility::install();
    m_title = new QLabel(title, this);
    m_title->setObjectName(QStringLiteral("alertTitle"));
    m_title->setFont(SystemFont::of(13, QFont::Bold));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    QPalette black = m_title->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    m_title->setPalette(black);

    // The default button: the blue image button of the close confirmation.
    m_button = new BtnView(QStringLiteral("agree-btn"), buttonText, Qt::white, kButton.width(),
                           kButton.height(), 6, SystemFont::of(13), {}, this);
    m_button->setObjectName(QStringLiteral("alertButton"));
    m_button->setCursor(Qt::PointingHandCursor);
    connect(m_button, &BtnView::clicked, this, &AlertView::dismissed);

    parent->installEventFilter(this);
    place();
}

QString AlertView::title() const {
    return m_title->text();
}

bool AlertView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        place();
    return QWidget::eventFilter(watched, event);
}

void AlertView::showEvent(QShowEvent*) {
    place();
    raise();
    m_button->setFocus(Qt::OtherFocusReason);
}

bool AlertView::focusNextPrevChild(bool) {
    // Modal inside the window: Tab never reaches the controls behind the backdrop.
    m_button->setFocus(Qt::TabFocusReason);
    return true;
}

QRect AlertView::cardRect() const {
    const int textWidth = kCardWidth - 2 * kPadding;
    const int textHeight = m_title->heightForWidth(textWidth);
    const int height = 2 * kPadding + textHeight + kGap + kButton.height();
    return {(width() - kCardWidth) / 2, (this->height() - height) / 2, kCardWidth, height};
}

void AlertView::place() {
    if (!parentWidget())
        return;
    setGeometry(parentWidget()->rect());
    const QRect card = cardRect();
    const int textWidth = kCardWidth - 2 * kPadding;
    m_title->setGeometry(card.left() + kPadding, card.top() + kPadding, textWidth,
                         m_title->heightForWidth(textWidth));
    m_button->move(card.left() + (kCardWidth - kButton.width()) / 2,
                   card.bottom() + 1 - kPadding - kButton.height());
}

void AlertView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0, 0, 0, 40));
    QPainterPath card;
    card.addRoundedRect(QRectF(cardRect()).adjusted(0.5, 0.5, -0.5, -0.5), kCardRadius,
                        kCardRadius);
    p.fillPath(card, Qt::white);
    p.setPen(QColor(0, 0, 0, 38));
    p.drawPath(card);
}

void AlertView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        Q_EMIT dismissed();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
