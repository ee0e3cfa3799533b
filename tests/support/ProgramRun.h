#pragma once
// Runs a program to its end, as a user would from a shell, and keeps what it
// said; one killed for taking too long has status -1.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ProgramRun {
    int status = -1; // exit status; -1 after a crash or the time limit
    QString out;
    QString err;
};

inline ProgramRun
runProgram(const QString& program, const QStringList& arguments,
           const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
           const QString& workDir = {}, int timeoutMs = 60000) {
    QProcess process;
    process.setProcessEnvironment(env);
    if (!workDir.isEmpty())
        process.setWorkingDirectory(workDir);
    process.start(program, arguments);
    ProgramRun r;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return r;
    }
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = QString::fromUtf8(process.readAllStandardOutput());
    r.err = QString::fromUtf8(process.readAllStandardError());
    return r;
}
