#pragma once
// The application shell: applies the interface language, builds the one
// installer window around ContentView, places it, decides what closing it does
// in each wizard status, and flushes the telemetry on the way out.
//
// Closing the window, by g_installerStatus:
//   Install_success  ignored: the success path ends the application itself
//   Installing    the window is minimised; the install goes on; nothing reported
//   Downloading   the confirmation panel opens (click 6); "Still close" reports
//                 result 2 or 3 and click 7 and quits, "Continue" reports click 8
//                 and the download goes on
//   otherwise     the window closes, result 2 or 3 and click 5 are reported, quit
// (result 2 and reason 1 for an overwrite installation, else result 3 and reason 2).
// Before the flow exists (the first frame), presses, keys and close requests are
// ignored. The panel goes away by itself when the status leaves Downloading.
// Only the user's requests are judged here: the close button (a spontaneous
// close) and a quit the application did not ask for (the menu's or the Dock's
// Quit, a logout). The application's own endings (success, disagree, "Close
// anyway") close the windows without asking and without reports of their own.
//
// UI thread only. The panel is modal but never blocks the caller: it is shown
// and its buttons act when pressed.

#include "flow/InstallFlow.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>

class ContentView;
class ExitAlertWindow;

class AppDelegate : public QObject {
    Q_OBJECT
public:
    // The flow is created after the first frame, or after this long without one
    // (a window that is never drawn).
    static constexpr std::chrono::milliseconds kFlowDelay{250};

    struct Options {
        // Opens a web page; QDesktopServices::openUrl when empty.
        std::function<void(const QUrl&)> openUrl;
        InstallFlow::Options flow;
        // Presses the install button as soon as the flow exists (unattended runs).
        bool autostart = false;
    };

    AppDelegate();
    explicit AppDelegate(Options options);
    ~AppDelegate() override;

    // Language, then the window (placed, shown, in front) with the start screen as
    // it looks at launch. The language preference and the flow (its probes, the
    // settings file and its first two reports) follow right after the window's
    // first frame, so the window appears without waiting for them; its controls
    // act from then on.
    void applicationDidFinishLaunching();

    // The window's close button; true lets the window close.
    bool windowShouldClose();
    // Opens the confirmation panel over the window and reports click 6. Always false.
    bool showCustomConfirmationAlert();
    void confirmClose();
    void cancelClose();
    // The window has closed: reports the exit. True: the application quits.
    bool applicationShouldTerminateAfterLastWindowClosed();
    // Gives both reporters' posts in flight their bounded time. Runs when the
    // application quits (aboutToQuit); the silent mode shares it.
    static void applicationWillTerminate();

    // Null until the window's first frame has been drawn (at most kFlowDelay).
    InstallFlow* flow() const { return m_flow.get(); }
    ContentView* contentView() const { return m_view; }
    QWidget* window() const { return m_window; }
    // The open confirmation panel, if any.
    QWidget* confirmCloseAlert() const { return m_confirmCloseAlert; }
    ExitAlertWindow* exitAlertWindow() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createFlow();
    void createWindow();
    void placeWindow();
    void closePanel();
    void reportQuit(); // plain result 2 (overwrite installation) or 3
    void reportExit(ENUMInstallClick click, qint64 result);
    // The application's own ending: quits, and the windows close unjudged.
    void endApplication();

    Options m_options;
    QString m_language;
    std::unique_ptr<InstallFlow> m_flow;
    ContentView* m_view = nullptr; // owned by the window
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_confirmCloseAlert;
    bool m_ending = false;
};
