// Installer: the command runner and the processor probe.
#include "base/Log.h"
#include "install/Installer.h"
#include "install/ProcessRunner.h"

QString Installer::toolCause(const QString& said, int status) {
    // "mv: cannot move 'a' to 'b': Permission denied": the end of the last line.
    const QString last = said.section('\n', -1).trimmed();
    if (last.isEmpty())
        return QString("exit status %1").arg(status);
    const qsizetype at = last.lastIndexOf(": ");
    return at < 0 ? last : last.mid(at + 2);
}

bool Installer::runCall(const ProgramCall& call, std::optional<QString>* output, QString* cause,
                        const std::function<bool()>& keepGoing) {
    const ProcessRunner::Result r =
        ProcessRunner::run(call, ProcessRunner::Output::Merged, keepGoing);
    if (!r.started) {
        logLine(lcInstall(), call.program + " could not start: " + r.error);
        if (cause)
            *cause = r.error;
        return false;
    }
    logLine(lcInstall(), "task terminationStatus " + QString::number(r.status));
    if (!r.succeeded()) {
        const QString said = QString::fromLocal8Bit(r.output).trimmed();
        if (!said.isEmpty())
            logLine(lcInstall(), "task output: " + said);
        if (cause)
            *cause = toolCause(said, r.status);
        return false;
    }
    if (output)
        *output = ProcessRunner::decodeUtf8(r.output);
    return true;
}

bool Installer::runLine(const SystemCommands& commands, const QString& line,
                        std::optional<QString>* output, QString* cause,
                        const std::function<bool()>& keepGoing) {
    return runCall(commands.shellCall(line), output, cause, keepGoing);
}

bool Installer::executeCMD(const QStringList& arguments) {
    std::optional<QString> ignored;
    return executeCMD(arguments, ignored);
}

bool Installer::executeCMD(const QStringList& arguments, std::optional<QString>& output) {
    const SystemCommands& commands = SystemCommands::current();
    return runCall({commands.shell(), commands.shellOptions() + arguments}, &output);
}

OS_TYPE Installer::checkOSArch(const SystemCommands& commands) {
    std::optional<QString> output;
    runLine(commands, commands.processorProbe(), &output);
    logLine(lcInstall(), "Check OS version " + ProcessRunner::debugForm(output));
    if (!output)
        return OS_TYPE::unknown;
    // Linux names the 64-bit ARM processor aarch64.
    if (output->contains("arm64") || output->contains("aarch64")) {
        logLine(lcInstall(), "choose version arm");
        return OS_TYPE::arm;
    }
    if (output->contains("x86")) {
        logLine(lcInstall(), "choose version x86");
        return OS_TYPE::x86;
    }
    return OS_TYPE::unknown;
}

OS_TYPE Installer::knownOSArch() {
    static const OS_TYPE known = checkOSArch();
    return known;
}
