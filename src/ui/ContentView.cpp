#include "ui/ContentView.h"

#include "base/Globals.h"
#include "flow/InstallFlow.h"
#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "ui/AlertView.h"
#include "ui/BtnView.h"
#include "ui/ClickableText.h"
#include "ui/CustomInstallPanel.h"
#include "ui/DownloadFailedScreen.h"
#include "ui/ImageAssets.h"
#include "ui/InstallFailedScreen.h"
#include "ui/ProgressBarView.h"
#include "ui/ProgressScreen.h"
#include "ui/ScreenColors.h"
#include "ui/StartScreen.h"

#include <QPainter>

namespace {

constexpr int kScreenHeight = WINDOW_HEIGHT - 56;
constexpr int kBackgroundHeight = 532;

} // namespace

ContentView::ContentView(QWidget* parent)
    : QWidget(parent) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, ScreenColors::text());
    setPalette(palette);
    // Only the start screen is needed for the first frame; the rest comes when shown.
    m_start = new StartScreen(this);
    resize(WINDOW_WIDTH, kScreenHeight);
    showState(ScreenState::atLaunch());
}

ContentView::ContentView(InstallFlow& flow, QWidget* parent)
    : ContentView(parent) {
    bind(flow);
}

void ContentView::bind(InstallFlow& flow) {
    if (m_flow)
        return;
    m_flow = &flow;
    for (QWidget* part : std::initializer_list<QWidget*>{
             m_start, m_panel, m_progress, m_downloadFailed, m_installFailed, m_alert})
        if (part)
            connectToFlow(part);
    connect(&flow, &InstallFlow::changed, this, &ContentView::refresh);
    connect(&flow.userProfileModel(), &UserProfileModel::changed, this, &ContentView::refresh);
    refresh();
}

void ContentView::connectToFlow(QWidget* part) {
    if (!m_flow)
        return;
    // Every control goes to its flow action; the flow's change redraws.
    InstallFlow& flow = *m_flow;
    if (part == m_start) {
        connect(m_start, &StartScreen::disagreeClicked, &flow, &InstallFlow::disagree);
        connect(m_start, &StartScreen::installClicked, &flow, &InstallFlow::pressInstall);
        connect(m_start, &StartScreen::termsClicked, &flow, &InstallFlow::openTerms);
        connect(m_start, &StartScreen::privacyClicked, &flow, &InstallFlow::openPrivacy);
        connect(m_start, &StartScreen::expandClicked, &flow, &InstallFlow::setExpanded);
    } else if (part == m_panel) {
        connect(m_panel, &CustomInstallPanel::setDefaultClicked, &flow,
                &InstallFlow::setSetDefault);
        connect(m_panel, &CustomInstallPanel::associateOfdClicked, &flow,
                [&flow](bool on) { flow.userProfileModel().setAssotiateOFD(on); });
    } else if (part == m_downloadFailed) {
        connect(m_downloadFailed, &DownloadFailedScreen::retryClicked, &flow,
                &InstallFlow::retryDownload);
        connect(m_downloadFailed, &DownloadFailedScreen::feedbackClicked, &flow,
                &InstallFlow::openFeedback);
    } else if (part == m_installFailed) {
        connect(m_installFailed, &InstallFailedScreen::reinstallClicked, &flow,
                &InstallFlow::reinstallClicked);
    } else if (part == m_alert) {
        connect(m_alert, &AlertView::dismissed, &flow, &InstallFlow::dismissUsingAlert);
    }
}

CustomInstallPanel* ContentView::customInstallPanel() {
    if (!m_panel) {
        m_panel = new CustomInstallPanel(this);
        m_panel->hide();
        m_panel->showState(m_state);
        connectToFlow(m_panel);
        layoutChildren();
    }
    return m_panel;
}

ProgressScreen* ContentView::progressScreen() {
    if (!m_progress) {
        m_progress = new ProgressScreen(this);
        m_progress->hide();
        layoutChildren();
    }
    return m_progress;
}

DownloadFailedScreen* ContentView::downloadFailedScreen() {
    if (!m_downloadFailed) {
        m_downloadFailed = new DownloadFailedScreen(this);
        m_downloadFailed->hide();
        connectToFlow(m_downloadFailed);
        layoutChildren();
    }
    return m_downloadFailed;
}

InstallFailedScreen* ContentView::installFailedScreen() {
    if (!m_installFailed) {
        m_installFailed = new InstallFailedScreen(this);
        m_installFailed->hide();
        connectToFlow(m_installFailed);
        layoutChildren();
    }
    return m_installFailed;
}

AlertView* ContentView::usingAlert() {
    if (!m_alert) {
        m_alert = new AlertView(tr_(TextKey::productRunning), tr_(TextKey::productRunningOk), this);
        m_alert->setObjectName(QStringLiteral("usingAlert"));
        m_alert->hide();
        connectToFlow(m_alert);
        layoutChildren();
    }
    return m_alert;
}

ContentView::Screen ContentView::screenFor(INSTALLER_STATUS status) {
    switch (status) {
    case INSTALLER_STATUS::Prepare_to_download:
        return Screen::start;
    case INSTALLER_STATUS::Downloading:
    case INSTALLER_STATUS::Installing:
    case INSTALLER_STATUS::Install_success:
        return Screen::progress;
    case INSTALLER_STATUS::Download_failed:
        return Screen::downloadFailed;
    case INSTALLER_STATUS::Install_failed:
        return Screen::installFailed;
    }
    return Screen::start;
}

QWidget* ContentView::existingScreen(Screen screen) const {
    switch (screen) {
    case Screen::start:
        return m_start;
    case Screen::progress:
        return m_progress;
    case Screen::downloadFailed:
        return m_downloadFailed;
    case Screen::installFailed:
        return m_installFailed;
    }
    return m_start;
}

QWidget* ContentView::screenWidget(Screen screen) {
    switch (screen) {
    case Screen::start:
        return m_start;
    case Screen::progress:
        return progressScreen();
    case Screen::downloadFailed:
        return downloadFailedScreen();
    case Screen::installFailed:
        return installFailedScreen();
    }
    return m_start;
}

void ContentView::refresh() {
    if (m_flow)
        showState(ScreenState::of(*m_flow));
}

void ContentView::showState(const ScreenState& state) {
    const Screen screen = screenFor(state.installerStatus);
    // The bar moves smoothly only while its screen stays; a screen that just
    // appeared shows its bar where the flow is.
    const bool animated = m_drawn && screen == m_screen;
    const bool screenChanged = m_drawn && screen != m_screen;
    const bool alertWasShown = m_alert && m_alert->isVisible();
    m_state = state;
    m_screen = screen;
    m_drawn = true;

    m_start->showState(state);
    if (state.isExpanded || m_panel)
        customInstallPanel()->showState(state);
    QWidget* shown = screenWidget(screen);
    if (screen == Screen::progress)
        m_progress->showState(state, animated);
    else if (screen == Screen::downloadFailed)
        m_downloadFailed->showState(state, animated);

    for (Screen s :
         {Screen::start, Screen::progress, Screen::downloadFailed, Screen::installFailed})
        if (QWidget* w = existingScreen(s))
            w->setVisible(w == shown);
    if (m_panel)
        m_panel->setVisible(state.isExpanded);
    const bool alert = state.isUsingNow && screen == Screen::start;
    if (alert || m_alert)
        usingAlert()->setVisible(alert);
    updateGeometry();
    layoutChildren();
    moveFocus(screenChanged, alertWasShown && !alert);
}

void ContentView::moveFocus(bool screenChanged, bool alertDismissed) {
    // Keyboard and screen-reader users must never be left without a focus.
    if (alertDismissed && m_screen == Screen::start) {
        m_start->installButton()->setFocus(Qt::OtherFocusReason); // it opened the alert
        return;
    }
    if (!screenChanged)
        return;
    // The new screen takes the focus from the hidden one: the progress bar (nothing
    // there can be pressed), or a failure's first action, described by the message.
    if (m_screen == Screen::progress)
        m_progress->bar()->setFocus(Qt::OtherFocusReason);
    else if (m_screen == Screen::downloadFailed)
        m_downloadFailed->retryButton()->setFocus(Qt::OtherFocusReason);
    else if (m_screen == Screen::installFailed)
        m_installFailed->reinstallButton()->setFocus(Qt::OtherFocusReason);
}

void ContentView::finishAnimations() {
    if (m_progress)
        m_progress->bar()->finishAnimation();
    if (m_downloadFailed)
        m_downloadFailed->bar()->finishAnimation();
}

QSize ContentView::sizeHint() const {
    return {WINDOW_WIDTH, m_state.isExpanded ? WINDOW_HEIGHT : kScreenHeight};
}

void ContentView::resizeEvent(QResizeEvent*) {
    layoutChildren();
}

void ContentView::layoutChildren() {
    const QRect area(0, 0, width(), kScreenHeight);
    for (Screen s :
         {Screen::start, Screen::progress, Screen::downloadFailed, Screen::installFailed})
        if (QWidget* w = existingScreen(s))
            w->setGeometry(area);
    if (m_panel)
        m_panel->setGeometry(0, kScreenHeight, width(), CustomInstallPanel::kHeight);
    if (m_alert)
        m_alert->setGeometry(rect());
}

void ContentView::paintEvent(QPaintEvent*) {
    // The artwork fills a box as wide as the view and 532 high, from the top, clipped.
    QPainter p(this);
    const QSize box(width(), kBackgroundHeight);
    p.drawPixmap(0, 0,
                 ImageAssets::pixmap(QStringLiteral("background"), box, devicePixelRatioF(),
                                     Qt::KeepAspectRatioByExpanding, Qt::AlignTop));
}
