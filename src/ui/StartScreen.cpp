#include "ui/StartScreen.h"

#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "ui/BtnView.h"
#include "ui/ClickableText.h"
#include "ui/DragMenuToggleStyle.h"
#include "ui/FocusRing.h"
#include "ui/ScreenColors.h"
#include "ui/ScreenState.h"
#include "ui/SystemFont.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int kArtworkHeight = 235; // the background's logo shows through here

QLabel* text(const QString& content, const QFont& font, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(content, parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

} // namespace

StartScreen::StartScreen(QWidget* parent)
    : QWidget(parent) {
    const QFont light12 = SystemFont::of(12, QFont::Light);

    auto* slogan =
        text(tr_(TextKey::slogan), SystemFont::of(16, QFont::Light), ScreenColors::slogan(), this);
    slogan->setAlignment(Qt::AlignCenter);

    auto* agreement = new QHBoxLayout;
    // The texts stand 4 points apart: the links keep their focus padding on each side.
    agreement->setSpacing(4 - kFocusPadding);
    agreement->addStretch(1);
    // The row's spacing separates the texts; a blank the table puts at an end would double it.
    agreement->addWidget(
        text(tr_(TextKey::agreementPrefix).trimmed(), light12, ScreenColors::label(), this));
    m_terms = new ClickableText(tr_(TextKey::termsLink), light12, ScreenColors::link(), this);
    m_terms->setObjectName(QStringLiteral("termsLink"));
    agreement->addWidget(m_terms);
    agreement->addWidget(text(tr_(TextKey::agreementJoin), light12, ScreenColors::label(), this));
    m_privacy = new ClickableText(tr_(TextKey::privacyLink), light12, ScreenColors::link(), this);
    m_privacy->setObjectName(QStringLiteral("privacyLink"));
    agreement->addWidget(m_privacy);
    agreement->addStretch(1);

    const QFont buttonFont = SystemFont::of(18);
    m_disagree = new BtnView(QStringLiteral("download-btn"), tr_(TextKey::disagree),
                             ScreenColors::accent(), 200, 60, 10, buttonFont, {}, this);
    m_disagree->setObjectName(QStringLiteral("disagreeButton"));
    m_install = new BtnView(QStringLiteral("start-btn"), tr_(TextKey::install), Qt::white, 200, 60,
                            10, buttonFont, {}, this);
    m_install->setObjectName(QStringLiteral("installButton"));
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(16);
    buttons->addStretch(1);
    buttons->addWidget(m_disagree);
    buttons->addWidget(m_install);
    buttons->addStretch(1);

    m_toggle = new DragMenuToggleStyle(tr_(TextKey::customInstall), this);
    m_toggle->setObjectName(QStringLiteral("customInstallToggle"));
    m_toggle->setFont(light12);
    m_toggle->setLabelColor(ScreenColors::label());
    // Hidden, the toggle keeps its room, so the rows above do not move.
    QSizePolicy policy = m_toggle->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_toggle->setSizePolicy(policy);
    auto* toggleRow = new QHBoxLayout;
    // 20 points to the toggle's drawn edge; its focus padding lies inside them.
    toggleRow->setContentsMargins(20, 20, 20 - kFocusPadding, 20);
    toggleRow->addStretch(1);
    toggleRow->addWidget(m_toggle);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addStretch(1);
    column->addSpacing(kArtworkHeight);
    column->addSpacing(10);
    column->addWidget(slogan);
    column->addSpacing(27);
    column->addLayout(agreement);
    column->addSpacing(14);
    column->addLayout(buttons);
    column->addLayout(toggleRow);
    column->addStretch(1);

    connect(m_disagree, &BtnView::clicked, this, &StartScreen::disagreeClicked);
    connect(m_install, &BtnView::clicked, this, &StartScreen::installClicked);
    connect(m_terms, &ClickableText::clicked, this, &StartScreen::termsClicked);
    connect(m_privacy, &ClickableText::clicked, this, &StartScreen::privacyClicked);
    // clicked, not toggled: showing the flow's state must not echo back as a user action.
    connect(m_toggle, &QAbstractButton::clicked, this, &StartScreen::expandClicked);
}

void StartScreen::showState(const ScreenState& state) {
    m_toggle->setVisible(state.isShowDragBtn);
    m_toggle->setChecked(state.isExpanded);
}
