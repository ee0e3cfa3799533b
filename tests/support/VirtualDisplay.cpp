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

QString windowTitle(Display* display, Window window) {
    char* name = nullptr;
    if (!XFetchName(display, window, &name) || !name)
        return {};
    const QString title = QString::fromUtf8(name);
    XFree(name);
    return title;
}

qint64 windowPid(Display* display, Window window) {
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
    if (pidAtom == None)
        return -1;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    qint64 pid = -1;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data && count == 1 && format == 32)
        pid = static_cast<qint64>(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return pid;
}

} // namespace

VirtualDisplay::VirtualDisplay() {
    // -displayfd 1: the server picks a free number and writes it to standard output.
    m_server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
    if (!m_server.waitForStarted(5000))
        return;
    QElapsedTimer clock;
    clock.start();
    QByteArray out;
    while (!out.contains('\n') && clock.elapsed() < 10000 &&
           m_server.state() == QProcess::Running) {
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
    if (m_display)
        XCloseDisplay(dpy(m_display));
    m_server.terminate();
    if (!m_server.waitForFinished(3000))
        m_server.kill();
    m_server.waitForFinished();
}

bool VirtualDisplay::isRunning() const {
    return m_display != nullptr;
}

QProcessEnvironment VirtualDisplay::environment(QProcessEnvironment env) const {
    env.insert("DISPLAY", m_name);
    env.insert("QT_QPA_PLATFORM", "xcb");
    return env;
}

bool VirtualDisplay::focusWindowOf(qint64 pid, const QString& title, int timeoutMs) {
    if (!m_display)
        return false;
    Display* display = dpy(m_display);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        m_window = 0;
        if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && !m_window; ++i) {
                XWindowAttributes attributes{};
                if (XGetWindowAttributes(display, children[i], &attributes) &&
                    attributes.map_state == IsViewable && windowPid(display, children[i]) == pid &&
                    windowTitle(display, children[i]) == title)
                    m_window = children[i];
            }
            if (children)
                XFree(children);
        }
        if (m_window) {
            XSetInputFocus(display, m_window, RevertToParent, CurrentTime);
            XSync(display, False);
            return true;
        }
        QThread::msleep(50);
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
    if (!m_display)
        return;
    Display* display = dpy(m_display);
    const auto key = [display](const char* name, bool down) {
        const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(name));
        XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
        XSync(display, False);
    };
    for (const QString& k : keys) {
        const bool shift = k.startsWith("Shift+");
        const QByteArray name = (shift ? k.mid(6) : k).toLatin1();
        if (shift)
            key("Shift_L", true);
        key(name.constData(), true);
        key(name.constData(), false);
        if (shift)
            key("Shift_L", false);
        // One key at a time, as typed: each is handled before the next arrives.
        QThread::msleep(100);
    }
}
