#include "ui/ContentView.h"

#include "flow/Globals.h"
#include "flow/InstallFlow.h"
#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "ui/AlertView.h"
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

ContentView::ContentView(InstallFlow& flow, QWidget* parent)
    : QWidget(parent)
    , m_flow(flow) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, ScreenColors::text());
    setPalette(palette);

    m_start = new StartScreen(this);
    m_panel = new CustomInstallPanel(this);
    m_progress = new ProgressScreen(this);
    m_downloadFailed = new DownloadFailedScreen(this);
    m_installFailed = new InstallFailedScreen(this);
    m_alert = new AlertView(tr_(TextKey::productRunning), tr_(TextKey::productRunningOk), this);
    m_alert->setObjectName(QStringLiteral("usingAlert"));
    m_alert->hide();

    // Every control goes to its flow action; the flow's change redraws.
    connect(m_start, &StartScreen::disagreeClicked, &m_flow, &InstallFlow::disagree);
    connect(m_start, &StartScreen::installClicked, &m_flow, &InstallFlow::pressInstall);
    connect(m_start, &StartScreen::termsClicked, &m_flow, &InstallFlow::openTerms);
    connect(m_start, &StartScreen::privacyClicked, &m_flow, &InstallFlow::openPrivacy);
    connect(m_start, &StartScreen::expandClicked, &m_flow, &InstallFlow::setExpanded);
    connect(m_panel, &CustomInstallPanel::setDefaultClicked, &m_flow, &InstallFlow::setSetDefault);
    connect(m_panel, &CustomInstallPanel::associateOfdClicked, this,
            [this](bool on) { m_flow.userProfileModel().setAssotiateOFD(on); });
    connect(m_downloadFailed, &DownloadFailedScreen::retryClicked, &m_flow,
            &InstallFlow::retryDownload);
    connect(m_downloadFailed, &DownloadFailedScreen::feedbackClicked, &m_flow,
            &InstallFlow::openFeedback);
    connect(m_installFailed, &InstallFailedScreen::reinstallClicked, &m_flow,
            &InstallFlow::reinstallClicked);
    connect(m_alert, &AlertView::dismissed, &m_flow, &InstallFlow::dismissUsingAlert);

    connect(&m_flow, &InstallFlow::changed, this, &ContentView::refresh);
    connect(&m_flow.userProfileModel(), &UserProfileModel::changed, this, &ContentView::refresh);

    resize(WINDOW_WIDTH, kScreenHeight);
    refresh();
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

QWidget* ContentView::screenWidget(Screen screen) const {
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

void ContentView::refresh() {
    showState(ScreenState::of(m_flow));
}

void ContentView::showState(const ScreenState& state) {
    const Screen screen = screenFor(state.installerStatus);
    // The bar moves smoothly only while its screen stays; a screen that just
    // appeared shows its bar where the flow is.
    const bool animated = m_drawn && screen == m_screen;
    m_state = state;
    m_screen = screen;
    m_drawn = true;

    m_start->showState(state);
    m_panel->showState(state);
    m_progress->showState(state, animated && screen == Screen::progress);
    m_downloadFailed->showState(state, animated && screen == Screen::downloadFailed);

    for (Screen s :
         {Screen::start, Screen::progress, Screen::downloadFailed, Screen::installFailed})
        screenWidget(s)->setVisible(s == screen);
    m_panel->setVisible(state.isExpanded);
    const bool alert = state.isUsingNow && screen == Screen::start;
    if (alert != m_alert->isVisible())
        m_alert->setVisible(alert);
    updateGeometry();
    layoutChildren();
}

void ContentView::finishAnimations() {
    m_progress->bar()->finishAnimation();
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
        screenWidget(s)->setGeometry(area);
    m_panel->setGeometry(0, kScreenHeight, width(), CustomInstallPanel::kHeight);
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
