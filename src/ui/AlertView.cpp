#include "ui/AlertView.h"

#include "ui/ScreenColors.h"
#include "ui/SystemFont.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kCardWidth = 280;
constexpr int kCardRadius = 10;
} // namespace

AlertView::AlertView(const QString& title, const QString& buttonText, QWidget* parent)
    : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    m_card = new QWidget(this);
    m_card->setObjectName(QStringLiteral("alertCard"));
    m_card->setStyleSheet(
        QStringLiteral("#alertCard { background: white; border-radius: %1px; }").arg(kCardRadius));
    auto* shadow = new QGraphicsDropShadowEffect(m_card);
    shadow->setBlurRadius(24);
    shadow->setOffset(0, 4);
    shadow->setColor(QColor(0, 0, 0, 70));
    m_card->setGraphicsEffect(shadow);

    m_title = new QLabel(title, m_card);
    m_title->setObjectName(QStringLiteral("alertTitle"));
    m_title->setFont(SystemFont::of(13, QFont::Bold));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    QPalette black = m_title->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    m_title->setPalette(black);

    m_button = new QPushButton(buttonText, m_card);
    m_button->setObjectName(QStringLiteral("alertButton"));
    m_button->setDefault(true);
    m_button->setFont(SystemFont::of(13));
    m_button->setCursor(Qt::PointingHandCursor);
    m_button->setFixedHeight(28);
    m_button->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: white; border: none;"
                       " border-radius: 6px; }"
                       "QPushButton:pressed { background: %2; }")
            .arg(ScreenColors::accent().name(), ScreenColors::accent().darker(120).name()));

    auto* layout = new QVBoxLayout(m_card);
    layout->setContentsMargins(20, 22, 20, 18);
    layout->setSpacing(18);
    layout->addWidget(m_title);
    layout->addWidget(m_button);

    connect(m_button, &QPushButton::clicked, this, &AlertView::dismissed);
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
    m_button->setFocus();
}

void AlertView::place() {
    if (!parentWidget())
        return;
    setGeometry(parentWidget()->rect());
    m_card->setFixedWidth(kCardWidth);
    const int cardHeight = m_card->layout()->heightForWidth(kCardWidth);
    m_card->setFixedHeight(cardHeight > 0 ? cardHeight : m_card->sizeHint().height());
    m_card->move((width() - kCardWidth) / 2, (height() - m_card->height()) / 2);
}

void AlertView::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), QColor(0, 0, 0, 40));
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
