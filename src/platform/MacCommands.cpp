#include "platform/MacCommands.h"

namespace {
QString alternatives(const QStringList& programs) {
    QStringList parts;
    for (const QString& p : programs)
        parts << SystemCommands::regexLiteral(p);
    return parts.join('|');
}
} // namespace

QString MacCommands::shell() const {
    return QStringLiteral("/bin/zsh");
}

QStringList MacCommands::shellOptions() const {
    // No ~/.zshenv: it may print, or change PATH, under every line.
    return {QStringLiteral("-f")};
}

QStringList MacCommands::tools() const {
    return {"hdiutil", "pgrep", "awk", "xargs", "sysctl", "uname", "sw_vers", "mv", "open"};
}

QString MacCommands::processorProbe() const {
    // uname -m says x86_64 to a program under Rosetta; the hardware's own
    // answer does not change. Intel Macs know no such name (-i: no output).
    return QStringLiteral(
        "[ \"$(sysctl -in hw.optional.arm64 2>/dev/null)\" = 1 ] && echo arm64 || uname -m");
}

ProgramCall MacCommands::osVersion() const {
    return {"/usr/bin/env", {"sw_vers", "-productVersion"}};
}

QString MacCommands::attach(const QString& image, const QString& mountPoint) const {
    return "hdiutil attach " + quote(image) + " -mountpoint " + quote(mountPoint) +
           " -noverify -nobrowse -noautoopen -verbose";
}

QString MacCommands::detach(const QString& mountPoint) const {
    return "hdiutil detach " + quote(mountPoint) + " -force";
}

ProgramCall MacCommands::copyTree(const QString& src, const QString& dst) const {
    return {"/usr/bin/ditto", {src, dst}};
}

QString MacCommands::move(const QString& src, const QString& dst) const {
    return "mv " + quote(src) + ' ' + quote(dst);
}

QString MacCommands::findRunning(const QStringList& programs) const {
    return "pgrep -lf " + quote(alternatives(programs));
}

QString MacCommands::stopRunning(const QStringList& programs) const {
    return "pgrep -lf " + quote(alternatives(programs)) + " | awk '{print $1}' | xargs kill";
}

QString MacCommands::startInBackground(const QString& program, const QString& argument) const {
    // The runner's pipe closes when the shell returns: a service still writing
    // to it would die of SIGPIPE.
    return quote(program) + ' ' + quote(argument) + " </dev/null >/dev/null 2>&1 &";
}

ProgramCall MacCommands::launch(const QString& appPath, const QString& /*executable*/) const {
    return shellCall("open -a " + quote(appPath) + " --args -from=5");
}
