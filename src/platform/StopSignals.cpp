#include "platform/StopSignals.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
std::atomic<int> g_writeEnd{-1};
int g_readEnd = -1;

void onSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    const int fd = g_writeEnd.load();
    if (fd >= 0) [[maybe_unused]]
        const ssize_t n = ::write(fd, &number, 1);
    errno = saved;
}

// A handler, unlike SIG_IGN, is not inherited: what the installer starts, the
// product above all, begins with the system's dispositions.
void dropSignal(int) {}

bool makePipe() {
    if (g_readEnd >= 0)
        return true;
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    for (const int fd : fds) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    g_readEnd = fds[0];
    g_writeEnd = fds[1];
    return true;
}
} // namespace

StopSignals::StopSignals(QObject* parent)
    : QObject(parent) {
    if (!makePipe())
        return;
    m_notifier = new QSocketNotifier(g_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readPipe);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

StopSignals::~StopSignals() = default;

void StopSignals::keepWritesFromEndingTheRun() {
    for (const int signal : {SIGXFSZ, SIGPIPE})
        ::signal(signal, dropSignal);
}

int StopSignals::takePending() {
    unsigned char number = 0;
    return g_readEnd >= 0 && ::read(g_readEnd, &number, 1) == 1 ? number : 0;
}

void StopSignals::readPipe() {
    unsigned char number = 0;
    while (::read(g_readEnd, &number, 1) == 1)
        Q_EMIT received(number);
}
