#include "ui/InstallFailedScreen.h"

#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "ui/CentredColumn.h"
#include "ui/ClickableText.h"
#include "ui/FocusRing.h"
#include "ui/ImageAssets.h"
#include "ui/ScreenColors.h"
#include "ui/SystemFont.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {
constexpr int kRowHeight = 30;
}

InstallFailedScreen::InstallFailedScreen(QWidget* parent)
    : QWidget(parent) {
    auto* column = new CentredColumn(this);
    auto* row = new QWidget(column);
    row->setMinimumHeight(kRowHeight);
    auto* icon = new QLabel(row);
    icon->setPixmap(ImageAssets::pixmap(QStringLiteral("warning"), devicePixelRatioF()));
    auto* message = new QLabel(tr_(TextKey::installFailed), row);
    message->setFont(SystemFont::of(16));
    m_reinstall =
        new ClickableText(tr_(TextKey::reinstall), SystemFont::of(16), ScreenColors::link(), row);
    m_reinstall->setObjectName(QStringLiteral("reinstallButton"));
    // The screen takes the focus on its action: a screen reader then reads why.
    m_reinstall->setAccessibleDescription(message->text() + ' ' + m_reinstall->text());
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    // 4 points between the parts; the link brings its own focus padding.
    layout->setSpacing(4 - kFocusPadding);
    layout->addWidget(icon);
    layout->addSpacing(kFocusPadding);
    layout->addWidget(message);
    layout->addWidget(m_reinstall);
    column->add(row);

    connect(m_reinstall, &ClickableText::clicked, this, &InstallFailedScreen::reinstallClicked);
}
