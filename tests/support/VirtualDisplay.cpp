#include "support/VirtualDisplay.h"

#include <QElapsedTimer>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

Display* dpy(void* display) {
    return static_cast<Display*>(display);
}

// Errors from windows that vanish while they are looked at are expected.
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

bool isWindowOf(Display* display, Window window, qint64 pid, const QString& title) {
    XWindowAttributes attributes{};
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    char* name = nullptr;
    bool found =
        XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable &&
        XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False,
                           XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
        data && count == 1 && format == 32 &&
        qint64(*reinterpret_cast<unsigned long*>(data)) == pid &&
        XFetchName(display, window, &name) && name && QString::fromUtf8(name) == title;
    if (data)
        XFree(data);
    if (name)
        XFree(name);
    return found;
}

} // namespace

VirtualDisplay::VirtualDisplay() {
    // -displayfd 1: the server picks a free number and writes it to standard output.
    m_server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
    QElapsedTimer clock;
    clock.start();
    QByteArray out;
    while (!out.contains('\n') && clock.elapsed() < 10000 && m_server.waitForStarted(5000)) {
        m_server.waitForReadyRead(100);
        out += m_server.readAllStandardOutput();
    }
    if (!out.contains('\n'))
        return;
    m_name = ":" + QString::fromLatin1(out.trimmed());
    XSetErrorHandler(ignoreErrors);
    m_display = XOpenDisplay(m_name.toLatin1().constData());
}

VirtualDisplay::~VirtualDisplay() {
    end();
}

void VirtualDisplay::end() {
    if (m_display)
        XCloseDisplay(dpy(m_display));
    m_display = nullptr;
    m_server.terminate();
    if (!m_server.waitForFinished(3000))
        m_server.kill();
    m_server.waitForFinished();
}

QProcessEnvironment VirtualDisplay::environment(QProcessEnvironment env) const {
    env.insert("DISPLAY", m_name);
    env.insert("QT_QPA_PLATFORM", "xcb");
    return env;
}

bool VirtualDisplay::focusWindowOf(qint64 pid, const QString& title, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    for (m_window = 0; m_display && !m_window && clock.elapsed() < timeoutMs; QThread::msleep(50)) {
        Display* display = dpy(m_display);
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
            continue;
        for (unsigned int i = 0; i < count && !m_window; ++i)
            if (isWindowOf(display, children[i], pid, title))
                m_window = children[i];
        if (children)
            XFree(children);
    }
    if (m_window) {
        XSetInputFocus(dpy(m_display), m_window, RevertToParent, CurrentTime);
        XSync(dpy(m_display), False);
    }
    return m_window != 0;
}

bool VirtualDisplay::waitForFocusToMove(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    for (; m_display && clock.elapsed() < timeoutMs; QThread::msleep(20)) {
        Window focus = None;
        int revert = 0;
        XGetInputFocus(dpy(m_display), &focus, &revert);
        if (focus != m_window && focus != None && focus != PointerRoot)
            return true;
    }
    return false;
}

void VirtualDisplay::requestClose() {
    if (!m_display || !m_window)
        return;
    Display* display = dpy(m_display);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = m_window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, m_window, False, NoEventMask, &event);
    XSync(display, False);
}

void VirtualDisplay::type(const QStringList& keys) {
    Display* display = dpy(m_display);
    const auto key = [display](const QString& name, bool down) {
        const KeyCode code =
            XKeysymToKeycode(display, XStringToKeysym(name.toLatin1().constData()));
        XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
        XSync(display, False);
    };
    for (const QString& k : keys) {
        // "Shift+Tab": Shift held for one key.
        const QStringList chord = k.split('+');
        for (const QString& name : chord)
            key(name == "Shift" ? "Shift_L" : name, true);
        for (auto it = chord.rbegin(); it != chord.rend(); ++it)
            key(*it == "Shift" ? "Shift_L" : *it, false);
        // One key at a time, as typed: each is handled before the next arrives.
        QThread::msleep(100);
    }
}
