#include "ui/ExitAlertWindow.h"

#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "ui/Accessibility.h"
#include "ui/BtnView.h"
#include "ui/ImageAssets.h"
#include "ui/RoundedCorners.h"
#include "ui/SystemFont.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {
// The close button's dark grey text.
const QColor kCloseTextColor(0x33, 0x33, 0x33);
} // namespace

namespace {
constexpr int kRadius = 10;
constexpr int kMessageWidth = 228;
} // namespace

ExitAlertWindow::ExitAlertWindow(QWidget* parent)
    : QWidget(parent) {
    setFixedSize(kWidth, kHeight);

    Accessibility::install();
    auto* message = new QLabel(tr_(TextKey::exitAlertMessage), this);
    m_message = message;
    message->setWordWrap(true);
    message->setFont(SystemFont::of(13));
    message->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    QPalette black = message->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    message->setPalette(black);

    m_confirm = new BtnView(QStringLiteral("cancel-btn"), tr_(TextKey::exitAlertClose),
                            kCloseTextColor, 110, 28, 6, SystemFont::of(14), {}, this);
    m_cancel = new BtnView(QStringLiteral("agree-btn"), tr_(TextKey::exitAlertContinue), Qt::white,
                           110, 28, 6, SystemFont::of(14), {}, this);
    connect(m_confirm, &BtnView::clicked, this, &ExitAlertWindow::confirmClose);
    connect(m_cancel, &BtnView::clicked, this, &ExitAlertWindow::cancelClose);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(m_confirm, 0, Qt::AlignVCenter);
    buttons->addWidget(m_cancel, 0, Qt::AlignVCenter);

    // The stack is centred in the panel: a 55-point gap over the message, then the buttons.
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(8);
    stack->addStretch(1);
    stack->addSpacing(55 - stack->spacing());
    // The message wraps in a 228-point frame centred with 20 points to spare on each side; no
    // alignment on the item, so the label's height follows its wrapped width.
    auto* messageRow = new QHBoxLayout;
    const int side = (kWidth - kMessageWidth) / 2;
    messageRow->setContentsMargins(side, 0, side, 0);
    messageRow->addWidget(message);
    stack->addLayout(messageRow);
    stack->addLayout(buttons);
    buttons->setAlignment(Qt::AlignHCenter);
    stack->addStretch(1);
}

QString ExitAlertWindow::message() const {
    return m_message->text();
}

void ExitAlertWindow::showEvent(QShowEvent*) {
    // The safe answer is the one a stray Return gives.
    m_cancel->setFocus(Qt::OtherFocusReason);
}

void ExitAlertWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT cancelClose();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ExitAlertWindow::paintEvent(QPaintEvent*) {
    // Drawn into a layer whose corners are then cut away, so the rounding is smooth.
    const qreal dpr = devicePixelRatioF();
    QImage layer(size() * dpr, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(dpr);
    layer.fill(Qt::white);
    {
        QPainter p(&layer);
        p.setRenderHint(QPainter::Antialiasing);
        p.drawPixmap(0, 0,
                     ImageAssets::pixmap(QStringLiteral("ExitAlert"), size(), dpr,
                                         Qt::KeepAspectRatioByExpanding, Qt::AlignTop));
        eraseOutsideRoundedRect(p, rect(), kRadius);
    }
    QPainter(this).drawImage(0, 0, layer);
}
