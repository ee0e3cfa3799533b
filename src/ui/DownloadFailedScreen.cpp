#include "ui/DownloadFailedScreen.h"

#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "ui/CentredColumn.h"
#include "ui/ClickableText.h"
#include "ui/FocusRing.h"
#include "ui/ImageAssets.h"
#include "ui/ProgressBarView.h"
#include "ui/ScreenColors.h"
#include "ui/ScreenState.h"
#include "ui/SystemFont.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {
constexpr int kBodyText = 13; // the retry and feedback labels: standard body text
}

DownloadFailedScreen::DownloadFailedScreen(QWidget* parent)
    : QWidget(parent) {
    auto* column = new CentredColumn(this);
    m_bar = new ProgressBarView(false, column);
    m_bar->setObjectName(QStringLiteral("failedBar"));
    column->add(m_bar);

    auto* row = new QWidget(column);
    auto* icon = new QLabel(row);
    icon->setPixmap(ImageAssets::pixmap(QStringLiteral("error"), devicePixelRatioF()));
    auto* message = new QLabel(tr_(TextKey::downloadFailed), row);
    message->setFont(SystemFont::of(12));
    m_retry = new ClickableText(tr_(TextKey::retry), SystemFont::of(kBodyText),
                                ScreenColors::link(), row);
    m_retry->setObjectName(QStringLiteral("retryButton"));
    m_feedback = new ClickableText(tr_(TextKey::feedback), SystemFont::of(kBodyText),
                                   ScreenColors::link(), row);
    m_feedback->setObjectName(QStringLiteral("feedbackLink"));
    // The screen takes the focus on its first action: a screen reader then reads why.
    m_retry->setAccessibleDescription(message->text() + ' ' + m_retry->text());
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    // 4 points between the parts; the links bring their own focus padding.
    layout->setSpacing(4 - kFocusPadding);
    // Texts of two sizes share a line: bottoms aligned, so their baselines meet.
    layout->addWidget(icon, 0, Qt::AlignVCenter);
    layout->addSpacing(kFocusPadding);
    layout->addWidget(message, 0, Qt::AlignBottom);
    layout->addWidget(m_retry, 0, Qt::AlignBottom);
    layout->addWidget(m_feedback, 0, Qt::AlignBottom);
    column->add(row);

    connect(m_retry, &ClickableText::clicked, this, &DownloadFailedScreen::retryClicked);
    connect(m_feedback, &ClickableText::clicked, this, &DownloadFailedScreen::feedbackClicked);
}

void DownloadFailedScreen::showState(const ScreenState& state, bool animated) {
    m_bar->setProgress(state.progress, animated);
}
