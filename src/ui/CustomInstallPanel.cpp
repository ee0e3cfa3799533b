#include "ui/CustomInstallPanel.h"

#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "ui/CheckBoxToggleStyle.h"
#include "ui/FocusRing.h"
#include "ui/ScreenState.h"
#include "ui/SystemFont.h"

#include <QVBoxLayout>

namespace {
constexpr int kBodyText = 13; // the platform's standard body text
constexpr int kRowHeight = 15;
} // namespace

CustomInstallPanel::CustomInstallPanel(QWidget* parent)
    : QWidget(parent) {
    setFixedHeight(kHeight);
    const auto box = [this](const char* key, const char* name) {
        auto* toggle = new CheckBoxToggleStyle(tr_(key), this);
        toggle->setObjectName(QString::fromLatin1(name));
        toggle->setFont(SystemFont::of(kBodyText));
        toggle->setFixedHeight(kRowHeight);
        return toggle;
    };
    m_setDefault = box(TextKey::setDefaultReader, "setDefaultBox");
    m_associateOfd = box(TextKey::associateOfd, "associateOfdBox");

    // 15 above, 10 below, 20 on the leading edge (the boxes' focus padding inside
    // it): two rows in 56 points.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20 - kFocusPadding, 15, 20 - kFocusPadding, 10);
    column->setSpacing(kHeight - 15 - 10 - 2 * kRowHeight);
    column->addWidget(m_setDefault);
    column->addWidget(m_associateOfd);

    connect(m_setDefault, &QAbstractButton::clicked, this, &CustomInstallPanel::setDefaultClicked);
    connect(m_associateOfd, &QAbstractButton::clicked, this,
            &CustomInstallPanel::associateOfdClicked);
}

void CustomInstallPanel::showState(const ScreenState& state) {
    m_setDefault->setChecked(state.isSetDefault);
    m_associateOfd->setChecked(state.isAssotiateOFD);
}
