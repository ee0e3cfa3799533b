#include "app/AppDelegate.h"

#include "app/TitleBarStyle.h"
#include "app/WindowPlacement.h"
#include "base/Globals.h"
#include "base/Log.h"
#include "flow/SilentInstall.h"
#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "reporting/BaseReporter.h"
#include "reporting/MacInstallReporter.h"
#include "reporting/Reporter.h"
#include "ui/BtnView.h"
#include "ui/ContentView.h"
#include "ui/ExitAlertWindow.h"
#include "ui/StartScreen.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

AppDelegate::AppDelegate()
    : AppDelegate(Options{}) {}

AppDelegate::AppDelegate(Options options)
    : m_options(std::move(options)) {
    // The exit is reported before quitting, so Qt must not quit on its own.
    QApplication::setQuitOnLastWindowClosed(false);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
}

AppDelegate::~AppDelegate() {
    delete m_confirmCloseAlert;
    delete m_window;
    m_flow.reset();
}

void AppDelegate::applicationDidFinishLaunching() {
    // The texts now; the preference (a synced file write) waits for the first frame.
    m_language = MultiLanguageUtils::getCurrentLanguage();
    MultiLanguageUtils::useLanguage(m_language);
    BaseReporter::setCurrentLanguage(m_language);

    createWindow();
    placeWindow();
    // Every event passes here once: the window's and the view's, the user's input
    // (nothing to act on, nor the facts to report with, until the flow exists)
    // and the system's quit.
    qApp->installEventFilter(this);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    QTimer::singleShot(kFlowDelay, this, &AppDelegate::createFlow);
}

void AppDelegate::createFlow() {
    if (m_flow)
        return;
    MultiLanguageUtils::saveLanguagePreference(m_language);
    InstallFlow::Host host;
    host.terminate = [this] { endApplication(); };
    host.resizeWindowTo = [this](int width, int height) {
        if (m_window)
            m_window->setFixedSize(width, height);
    };
    host.openUrl = [this](const QUrl& url) {
        if (m_options.openUrl)
            m_options.openUrl(url);
        else
            QDesktopServices::openUrl(url);
    };
    m_flow = std::make_unique<InstallFlow>(std::move(host), m_options.flow);
    // A download that ends while the close panel is open leaves nothing to confirm:
    // "Still close" must never quit in the middle of the install.
    connect(m_flow.get(), &InstallFlow::statusChanged, this, [this](INSTALLER_STATUS status) {
        if (status != INSTALLER_STATUS::Downloading)
            closePanel();
    });
    if (m_view)
        m_view->bind(*m_flow);
    if (m_options.autostart)
        m_flow->pressInstall();
}

void AppDelegate::createWindow() {
    m_window = new QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                        Qt::WindowMinimizeButtonHint);
    m_window->setWindowTitle(tr_(TextKey::windowTitle));
    m_view = new ContentView(m_window);
    // Install is where a keyboard or screen-reader user starts.
    m_view->startScreen()->installButton()->setFocus(Qt::OtherFocusReason);
    auto* layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_window->setFixedSize(WindowPlacement::kWindowSize);
    m_window->winId(); // the native window, for the title bar
    TitleBarStyle::apply(m_window);
    TitleBarStyle::setContentSize(m_window, WindowPlacement::kWindowSize);
}

void AppDelegate::placeWindow() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        logLine(lcUi(), QStringLiteral("无法获取主屏幕"));
        return; // Qt centres a new window on its own
    }
    const QRect geometry = screen->geometry();
    logLine(lcUi(), QStringLiteral("主屏幕大小: %1 x %2")
                        .arg(QString::number(double(geometry.width()), 'f', 1),
                             QString::number(double(geometry.height()), 'f', 1)));
    const QRect frame = WindowPlacement::windowFrame(geometry, screen->availableGeometry());
    m_window->move(frame.topLeft());
}

namespace {

bool isUserInput(const QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

} // namespace

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (!m_flow && isUserInput(event) && watched->isWidgetType() && m_window &&
        (watched == m_window || m_window->isAncestorOf(static_cast<QWidget*>(watched))))
        return true;
    if (watched == m_view && event->type() == QEvent::Paint && !m_flow) {
        // Right after the first frame, before the user can act on it.
        QMetaObject::invokeMethod(this, &AppDelegate::createFlow, Qt::QueuedConnection);
        return false;
    }
    if (watched == m_window && event->type() == QEvent::Show) {
        // Once the native window is on screen, at the size the flow has fixed.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_window)
                    TitleBarStyle::setContentSize(m_window, m_window->minimumSize());
            },
            Qt::QueuedConnection);
    }
    if (watched == qApp && event->type() == QEvent::Quit && !m_ending && m_flow) {
        // A quit the application did not ask for is the user's request to close.
        if (!windowShouldClose()) {
            event->ignore();
            return true;
        }
        m_ending = applicationShouldTerminateAfterLastWindowClosed();
        return false;
    }
    // Qt's quit closes every window first, without a spontaneous event: that
    // request was judged above, or is the application's own.
    if (watched == m_window && event->type() == QEvent::Close && event->spontaneous()) {
        if (!windowShouldClose()) {
            event->ignore();
            return true;
        }
        // Once the window is gone, as the platform asks after the last window closed.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (applicationShouldTerminateAfterLastWindowClosed())
                    endApplication();
            },
            Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

bool AppDelegate::windowShouldClose() {
    if (!m_flow)
        return false; // too early: no flow to report the exit with
    switch (g_installerStatus.load()) {
    case INSTALLER_STATUS::Install_success:
        // The success path still writes, reports and launches; it ends the application.
        return false;
    case INSTALLER_STATUS::Installing:
        if (m_window)
            m_window->showMinimized();
        return false;
    case INSTALLER_STATUS::Downloading:
        return showCustomConfirmationAlert();
    default:
        return true;
    }
}

bool AppDelegate::showCustomConfirmationAlert() {
    closePanel();
    const QRect windowFrame =
        m_window ? m_window->frameGeometry() : QRect(QPoint(0, 0), WindowPlacement::kWindowSize);
    auto* panel = new QWidget(m_window, Qt::Tool | Qt::FramelessWindowHint);
    panel->setObjectName(QStringLiteral("confirmCloseAlert"));
    panel->setWindowTitle(tr_(TextKey::windowTitle)); // what a screen reader names the window
    panel->setAttribute(Qt::WA_TranslucentBackground);
    panel->setWindowModality(Qt::ApplicationModal);
    panel->setGeometry(WindowPlacement::panelFrame(windowFrame));
    auto* content = new ExitAlertWindow(panel);
    content->move(0, 0);
    connect(content, &ExitAlertWindow::confirmClose, this, &AppDelegate::confirmClose);
    connect(content, &ExitAlertWindow::cancelClose, this, &AppDelegate::cancelClose);
    m_confirmCloseAlert = panel;
    panel->show();
    panel->raise();
    panel->activateWindow();
    MacInstallReporter::getInstance().report(ENUMInstallPoint::nonePoint,
                                             ENUMInstallClick::closePanelShown, 0, 0, 0, true);
    return false;
}

ExitAlertWindow* AppDelegate::exitAlertWindow() const {
    return m_confirmCloseAlert ? m_confirmCloseAlert->findChild<ExitAlertWindow*>() : nullptr;
}

void AppDelegate::closePanel() {
    if (!m_confirmCloseAlert)
        return;
    // Deleted later: this may run inside one of the panel's own button handlers.
    m_confirmCloseAlert->hide();
    m_confirmCloseAlert->deleteLater();
    m_confirmCloseAlert = nullptr;
}

void AppDelegate::reportQuit() {
    Reporter& plain = Reporter::getInstance();
    if (plain.data().bCoverInstall)
        plain.report(false, ENUMInstallResult::quitCoverInstall, false, true, true);
    else
        plain.report(false, ENUMInstallResult::quitFreshInstall, false, false, true);
}

void AppDelegate::reportExit(ENUMInstallClick click, qint64 result) {
    const bool cover = Reporter::getInstance().data().bCoverInstall;
    MacInstallReporter::getInstance().report(ENUMInstallPoint::nonePoint, click, 0, result,
                                             cover ? 1 : 2, true);
}

void AppDelegate::confirmClose() {
    closePanel();
    reportQuit();
    reportExit(ENUMInstallClick::closeConfirmed, 2);
    endApplication();
}

void AppDelegate::cancelClose() {
    reportExit(ENUMInstallClick::closeCancelled, 0);
    closePanel();
}

bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed() {
    reportQuit();
    reportExit(ENUMInstallClick::lastWindowClosed, 2);
    return true;
}

void AppDelegate::applicationWillTerminate() {
    SilentInstall::flushReports();
}

void AppDelegate::endApplication() {
    m_ending = true;
    QCoreApplication::quit();
}
