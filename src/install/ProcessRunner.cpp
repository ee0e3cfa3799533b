#include "install/ProcessRunner.h"

#include <QProcess>
#include <QStringDecoder>
#include <csignal>
#include <mutex>
#include <set>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {
std::mutex g_mutex;
std::set<qint64> g_groups; // running programs that stopAll() ends
bool g_stopping = false;
thread_local int t_shields = 0;

void killGroup(qint64 pid) {
    ::kill(static_cast<pid_t>(-pid), SIGKILL);
}

// A group of its own, and (Linux) gone with us even when we are killed outright.
void prepareChild(QProcess& process) {
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::setpgid(0, 0);
#ifdef __linux__
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
#else
        (void)parent;
#endif
    });
}
} // namespace

ProcessRunner::Shield::Shield() {
    ++t_shields;
}

ProcessRunner::Shield::~Shield() {
    --t_shields;
}

void ProcessRunner::stopAll() {
    std::lock_guard lock(g_mutex);
    g_stopping = true;
    for (const qint64 pid : g_groups)
        killGroup(pid);
}

bool ProcessRunner::stopping() {
    std::lock_guard lock(g_mutex);
    return g_stopping;
}

ProcessRunner::Result ProcessRunner::run(const ProgramCall& call, Output mode,
                                         const Watch& keepGoing) {
    Result result;
    QProcess process;
    process.setProcessChannelMode(mode == Output::Merged ? QProcess::MergedChannels
                                                         : QProcess::ForwardedErrorChannel);
    prepareChild(process);
    process.start(call.program, call.arguments);
    if (!process.waitForStarted(-1)) {
        result.error = process.errorString();
        return result;
    }
    result.started = true;
    const qint64 pid = process.processId();
    const bool stoppable = t_shields == 0;
    if (stoppable) {
        std::lock_guard lock(g_mutex);
        if (g_stopping) {
            killGroup(pid);
            result.stopped = true;
        }
        g_groups.insert(pid);
    }
    process.closeWriteChannel();
    while (process.state() != QProcess::NotRunning) {
        // A watched program is asked about often: it may write fast.
        process.waitForFinished(keepGoing ? 50 : 200);
        result.output += process.readAll();
        if (keepGoing && !result.stopped && process.state() != QProcess::NotRunning &&
            !keepGoing()) {
            killGroup(pid);
            result.stopped = true;
        }
    }
    result.output += process.readAll();
    if (stoppable) {
        std::lock_guard lock(g_mutex);
        g_groups.erase(pid);
        result.stopped = result.stopped || g_stopping;
    }
    result.exitedNormally = process.exitStatus() == QProcess::NormalExit;
    result.status = process.exitCode();
    return result;
}

bool ProcessRunner::startDetached(const ProgramCall& call) {
    QProcess process;
    process.setProgram(call.program);
    process.setArguments(call.arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

std::optional<QString> ProcessRunner::decodeUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString ProcessRunner::debugForm(const std::optional<QString>& text) {
    if (!text)
        return QStringLiteral("nil");
    QString escaped;
    for (const QChar c : *text) {
        switch (c.unicode()) {
        case '\n':
            escaped += QStringLiteral("\\n");
            break;
        case '\r':
            escaped += QStringLiteral("\\r");
            break;
        case '\t':
            escaped += QStringLiteral("\\t");
            break;
        case '"':
            escaped += QStringLiteral("\\\"");
            break;
        case '\\':
            escaped += QStringLiteral("\\\\");
            break;
        default:
            escaped += c;
        }
    }
    return "Optional(\"" + escaped + "\")";
}
