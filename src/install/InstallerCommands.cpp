// Installer: the command runner and the processor probe.
#include "base/Log.h"
#include "install/Installer.h"
#include "install/ProcessRunner.h"

#include <atomic>

bool Installer::runCall(const ProgramCall& call, std::optional<QString>* output,
                        const std::function<bool()>& keepGoing) {
    const ProcessRunner::Result r =
        ProcessRunner::run(call, ProcessRunner::Output::Merged, keepGoing);
    if (!r.started)
        return false;
    logLine(lcInstall(), "task terminationStatus " + QString::number(r.status));
    if (!r.succeeded())
        return false;
    if (output)
        *output = ProcessRunner::decodeUtf8(r.output);
    return true;
}

bool Installer::runLine(const SystemCommands& commands, const QString& line,
                        std::optional<QString>* output, const std::function<bool()>& keepGoing) {
    return runCall({commands.shell(), {"-c", line}}, output, keepGoing);
}

bool Installer::executeCMD(const QStringList& arguments) {
    return runCall({SystemCommands::current().shell(), arguments}, nullptr);
}

bool Installer::executeCMD(const QStringList& arguments, std::optional<QString>& output) {
    return runCall({SystemCommands::current().shell(), arguments}, &output);
}

namespace {
// checkOSArch's last answer (an OS_TYPE), -1 before the first.
std::atomic<int> g_lastArch{-1};

OS_TYPE remembered(OS_TYPE type) {
    g_lastArch = static_cast<int>(type);
    return type;
}
} // namespace

OS_TYPE Installer::checkOSArch() {
    std::optional<QString> output;
    executeCMD({"-c", SystemCommands::current().processorProbe()}, output);
    logLine(lcInstall(), "Check OS version " + ProcessRunner::debugForm(output));
    if (!output)
        return remembered(OS_TYPE::unknown);
    // Linux names the 64-bit ARM processor aarch64.
    if (output->contains("arm64") || output->contains("aarch64")) {
        logLine(lcInstall(), "choose version arm");
        return remembered(OS_TYPE::arm);
    }
    if (output->contains("x86")) {
        logLine(lcInstall(), "choose version x86");
        return remembered(OS_TYPE::x86);
    }
    return remembered(OS_TYPE::unknown);
}

OS_TYPE Installer::knownOSArch() {
    const int last = g_lastArch;
    return last < 0 ? checkOSArch() : static_cast<OS_TYPE>(last);
}
