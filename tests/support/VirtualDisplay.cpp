#include "support/VirtualDisplay.h"

#include <QDeadlineTimer>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

bool isTitled(Display* display, Window window, const QString& title) {
    XWindowAttributes attributes{};
    char* name = nullptr;
    const bool found = XGetWindowAttributes(display, window, &attributes) &&
                       attributes.map_state == IsViewable && XFetchName(display, window, &name) &&
                       name && QString::fromUtf8(name) == title;
    if (name)
        XFree(name);
    return found;
}

} // namespace

VirtualDisplay::VirtualDisplay() {
    // -displayfd 1: the server picks a free number and writes it to standard output.
    m_server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
    const QDeadlineTimer deadline(10000);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired() && m_server.waitForStarted(5000)) {
        m_server.waitForReadyRead(100);
        out += m_server.readAllStandardOutput();
    }
    if (!out.contains('\n'))
        return;
    m_name = ":" + QString::fromLatin1(out.trimmed());
    // Errors from windows that vanish while they are looked at are expected.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    m_display = XOpenDisplay(m_name.toLatin1().constData());
}

VirtualDisplay::~VirtualDisplay() {
    end();
}

void VirtualDisplay::end() {
    if (m_display)
        XCloseDisplay(m_display);
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

bool VirtualDisplay::focusWindow(const QString& title) {
    const QDeadlineTimer deadline(10000);
    for (m_window = 0; m_display && !m_window && !deadline.hasExpired(); QThread::msleep(50)) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count))
            continue;
        for (unsigned int i = 0; i < count && !m_window; ++i)
            if (isTitled(m_display, children[i], title))
                m_window = children[i];
        if (children)
            XFree(children);
    }
    if (m_window) {
        XSetInputFocus(m_display, m_window, RevertToParent, CurrentTime);
        XSync(m_display, False);
    }
    return m_window != 0;
}

bool VirtualDisplay::waitForFocusToMove() {
    const QDeadlineTimer deadline(10000);
    for (; m_display && !deadline.hasExpired(); QThread::msleep(20)) {
        Window focus = None;
        int revert = 0;
        XGetInputFocus(m_display, &focus, &revert);
        if (focus != m_window && focus != None && focus != PointerRoot)
            return true;
    }
    return false;
}

void VirtualDisplay::requestClose() {
    if (!m_display || !m_window)
        return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = m_window;
    event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, m_window, False, NoEventMask, &event);
    XSync(m_display, False);
}

void VirtualDisplay::type(const QStringList& keys) {
    const auto key = [display = m_display](const QString& name, bool down) {
        const KeyCode code =
            XKeysymToKeycode(display, XStringToKeysym(name.toLatin1().constData()));
        XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
        XSync(display, False);
    };
    for (const QString& k : keys) {
        const QStringList chord = QString(k).replace("Shift+", "Shift_L+").split('+');
        for (const QString& name : chord)
            key(name, true);
        for (auto it = chord.rbegin(); it != chord.rend(); ++it)
            key(*it, false);
        // One key at a time, as typed: each is handled before the next arrives.
        QThread::msleep(100);
    }
}
