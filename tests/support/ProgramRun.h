#pragma once
// Runs a program to its end, as a user would from a shell, and keeps what it
// said; one killed (by the test, a crash or the time limit) has status -1.
// runInstaller() runs the real lumadoc-installer and keeps its run's part of the log file too.

#include "support/Files.h"
#include "support/Sandbox.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <functional>

struct ProgramRun {
    int status = -1; // exit status; -1 after a crash or the time limit
    QString out;
    QString err;
    QString log;       // runInstaller(): this run's part of its log file
    qint64 millis = 0; // from the start to the exit
};

struct RunHooks {
    std::function<void()> inChild; // in the child, before the program starts
    // About every pollMs while the program runs, with its output so far.
    std::function<void(QProcess&, const QString& out)> whileRunning;
    int pollMs = 50;
};

inline ProgramRun
runProgram(const QString& program, const QStringList& arguments,
           const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
           const QString& workDir = {}, int timeoutMs = 60000, const RunHooks& hooks = {}) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workDir);
    if (hooks.inChild)
        process.setChildProcessModifier(hooks.inChild);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    ProgramRun r;
    while (!process.waitForFinished(hooks.pollMs) && process.state() == QProcess::Running) {
        r.out += QString::fromUtf8(process.readAllStandardOutput());
        r.err += QString::fromUtf8(process.readAllStandardError());
        if (hooks.whileRunning)
            hooks.whileRunning(process, r.out);
        if (clock.elapsed() > timeoutMs) {
            process.kill();
            process.waitForFinished();
        }
    }
    r.millis = clock.elapsed();
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out += QString::fromUtf8(process.readAllStandardOutput());
    r.err += QString::fromUtf8(process.readAllStandardError());
    return r;
}

inline QString installerLogPath() {
    return sandbox::home() + "/.local/state/lumadoc/installer.log";
}

// The last run in a log file: from its last "=== " line on.
inline QString lastRunLog(const QString& logPath = installerLogPath()) {
    const QString text = QString::fromUtf8(readFile(logPath));
    const qsizetype at = text.lastIndexOf("=== ");
    return at < 0 ? QString() : text.mid(at);
}

inline ProgramRun runInstaller(const QProcessEnvironment& env,
                               const QStringList& arguments = {"--silent"},
                               const RunHooks& hooks = {}, const QString& workDir = {}) {
    ProgramRun r = runProgram(LUMADOC_INSTALLER_EXE, arguments, env, workDir, 90000, hooks);
    const qsizetype logAt = arguments.indexOf("--log-file");
    r.log = lastRunLog(logAt >= 0 ? arguments[logAt + 1] : installerLogPath());
    return r;
}

// The product's programs run until killed; kills those started from `apps`.
inline void stopProduct(const QString& apps = sandbox::applicationsDir()) {
    QProcess::execute("pkill", {"-KILL", "-f", apps + "/"});
}

inline QString installedApp() {
    return sandbox::applicationsDir() + "/Lumadoc.app";
}
