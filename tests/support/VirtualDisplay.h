#pragma once
// A private X server (Xvfb) for tests that drive a real program's window from
// outside, as a user does: keys typed through the XTEST extension reach the
// focused window, and a close request is the one a window manager sends when
// the title bar's close button is pressed (WM_DELETE_WINDOW). No window
// manager runs: the driver gives the window the input focus itself.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

class VirtualDisplay {
public:
    // Starts Xvfb on a free display number; check isRunning().
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    bool isRunning() const { return m_display != nullptr; }
    // `env` with DISPLAY set to this server and Qt on its X11 platform.
    QProcessEnvironment environment(QProcessEnvironment env) const;

    // Waits until process `pid` shows a top-level window titled `title` and gives it
    // the input focus; false when none appears in time.
    bool focusWindowOf(qint64 pid, const QString& title, int timeoutMs = 10000);
    // Waits until the input focus leaves that window for another (a panel it opened):
    // keys typed before would reach neither.
    bool waitForFocusToMove(int timeoutMs = 10000);
    // Asks that window to close, as the close button does.
    void requestClose();
    // Ends the server, as when the session ends; the programs on it lose their display.
    void end();
    // Types keys into the focused window: X key names ("Tab", "Return", "space",
    // "Escape"); "Shift+Tab" holds Shift for one key.
    void type(const QStringList& keys);

private:
    QProcess m_server;
    QString m_name;            // ":N"
    void* m_display = nullptr; // Display*
    unsigned long m_window = 0;
};
