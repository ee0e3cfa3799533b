#include "ui/ProgressScreen.h"

#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "ui/CentredColumn.h"
#include "ui/ProgressBarView.h"
#include "ui/ScreenState.h"
#include "ui/SystemFont.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <climits>
#include <cmath>

namespace {

constexpr int kReceivedBox = 35;
constexpr int kBodyText = 13; // the percentage: the platform's standard body text

QLabel* label(const QFont& font, QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setFont(font);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

int clampToInt(qint64 value) {
    return static_cast<int>(std::clamp<qint64>(value, INT_MIN, INT_MAX));
}

} // namespace

ProgressScreen::ProgressScreen(QWidget* parent)
    : QWidget(parent) {
    auto* column = new CentredColumn(this);
    m_bar = new ProgressBarView(true, column);
    m_bar->setObjectName(QStringLiteral("progressBar"));
    // Nothing here can be pressed: the focus waits on the bar, where a screen
    // reader hears the progress, not on a hidden control of the start screen.
    m_bar->setFocusPolicy(Qt::TabFocus);
    column->add(m_bar);

    const QFont regular12 = SystemFont::of(12);
    m_lower = new QStackedWidget(column);

    auto* figures = new QWidget(m_lower);
    m_received = label(regular12, figures, "receivedText");
    m_received->setMinimumWidth(kReceivedBox);
    m_expected = label(regular12, figures, "expectedText");
    m_remaining = label(regular12, figures, "remainingText");
    m_percent = label(SystemFont::of(kBodyText), figures, "percentText");
    auto* row = new QHBoxLayout(figures);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_received);
    row->addWidget(m_expected);
    row->addWidget(m_remaining);
    row->addStretch(1);
    row->addWidget(m_percent);

    m_installing = label(regular12, m_lower, "installText");
    m_installing->setAlignment(Qt::AlignCenter);

    m_lower->addWidget(figures);
    m_lower->addWidget(m_installing);
    m_lower->setFixedWidth(ProgressBarView::kWidth);
    column->add(m_lower);
}

QString ProgressScreen::remainingTimeText(qint64 seconds) {
    if (seconds < 60)
        return MultiLanguageUtils::format(TextKey::remainSeconds, {clampToInt(seconds)});
    return MultiLanguageUtils::format(TextKey::remainMinutesSeconds,
                                      {clampToInt(seconds / 60), clampToInt(seconds % 60)});
}

QString ProgressScreen::percentFor(const ScreenState& state) {
    if (state.totalExpectedDownload <= 0 || !std::isfinite(state.progress))
        return {};
    // The fraction was made by multiplying with 0.8; dividing back must not lose a whole
    // percent to rounding (7 of 10 MB is 70%, not 69%).
    const double percent = state.progress / ScreenState::kInstallPhase * 100.0;
    const auto whole = static_cast<int>(std::floor(std::clamp(percent, 0.0, 100.0) + 1e-9));
    return QStringLiteral("%1%").arg(whole);
}

void ProgressScreen::showState(const ScreenState& state, bool animated) {
    m_bar->setProgress(state.progress, animated);
    if (state.showsInstallText()) {
        // Formatted without values, as the key may be a format.
        m_installing->setText(MultiLanguageUtils::format(TextKey::installing));
        m_lower->setCurrentWidget(m_installing);
        m_bar->setAccessibleValue(100, m_installing->text());
        return;
    }
    const bool sizeKnown = state.totalExpectedDownload > 0;
    m_received->setText(QStringLiteral("%1MB").arg(state.totalDownloaded));
    m_expected->setText(sizeKnown ? QStringLiteral(" / %1MB ").arg(state.totalExpectedDownload)
                                  : QStringLiteral(" "));
    m_remaining->setText(remainingTimeText(state.remainTime));
    m_percent->setText(percentFor(state));
    m_lower->setCurrentIndex(0);
    const QString line =
        (m_received->text() + m_expected->text() + ' ' + m_remaining->text()).simplified();
    m_bar->setAccessibleValue(m_percent->text().isEmpty() ? 0
                                                          : m_percent->text().chopped(1).toInt(),
                              m_percent->text().isEmpty() ? line : m_percent->text() + ", " + line);
}

bool ProgressScreen::showsInstallText() const {
    return m_lower->currentWidget() == m_installing;
}

QString ProgressScreen::receivedText() const {
    return showsInstallText() ? QString() : m_received->text();
}
QString ProgressScreen::expectedText() const {
    return showsInstallText() ? QString() : m_expected->text();
}
QString ProgressScreen::remainingText() const {
    return showsInstallText() ? QString() : m_remaining->text();
}
QString ProgressScreen::percentText() const {
    return showsInstallText() ? QString() : m_percent->text();
}
QString ProgressScreen::installText() const {
    return showsInstallText() ? m_installing->text() : QString();
}
