#pragma once
// A private X server (Xvfb) to drive a real program's window as a user does: keys
// through XTEST, and the close request (WM_DELETE_WINDOW) a window manager sends for
// the title bar's button. No window manager runs: the focus is given here.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

typedef struct _XDisplay Display; // as Xlib names it

class VirtualDisplay {
public:
    // Starts Xvfb on a free display number; check isRunning().
    VirtualDisplay();
    ~VirtualDisplay();

    bool isRunning() const { return m_display != nullptr; }
    // `env` with DISPLAY set to this server and Qt on its X11 platform.
    QProcessEnvironment environment(QProcessEnvironment env) const;

    // Waits (ten seconds at most) for a top-level window titled `title` and gives it
    // the input focus; one program runs on the display.
    bool focusWindow(const QString& title);
    // Waits until the input focus leaves that window for another (a panel it opened):
    // keys typed before would reach neither.
    bool waitForFocusToMove();
    // Asks that window to close, as the close button does.
    void requestClose();
    // Ends the server, as when the session ends; the programs on it lose their display.
    void end();
    // Types keys into the focused window: X key names ("Tab", "Return", "space",
    // "Escape"); "Shift+Tab" holds Shift for one key.
    void type(const QStringList& keys);

private:
    QProcess m_server;
    QString m_name; // ":N"
    Display* m_display = nullptr;
    unsigned long m_window = 0;
};
