#include "platform/LinuxCommands.h"

namespace {
// procps pgrep does not skip its own ancestors unless told (-A): without it the
// shell running the line, whose command line holds the pattern, would match.
QString anchoredPattern(const QStringList& programs) {
    QStringList parts;
    for (const QString& p : programs)
        parts << SystemCommands::regexLiteral(p);
    return SystemCommands::quote("^(" + parts.join('|') + ")( |$)");
}
} // namespace

QString LinuxCommands::shell() const {
    return QStringLiteral("/bin/sh");
}

QString LinuxCommands::processorProbe() const {
    return QStringLiteral("uname -m");
}

ProgramCall LinuxCommands::osVersion() const {
    return {"uname", {"-r"}};
}

QString LinuxCommands::attach(const QString& image, const QString& mountPoint) const {
    // "--" so an image named "-x" or "@list" is never read as an option.
    return "7zz x -y -snl -o" + quote(mountPoint) + " -- " + quote(image);
}

QString LinuxCommands::detach(const QString& mountPoint) const {
    const QString m = quote(mountPoint);
    // Extracted folders may be read-only; make them removable first.
    return "[ -e " + m + " ] && chmod -R u+w -- " + m + " && rm -rf -- " + m;
}

ProgramCall LinuxCommands::copyTree(const QString& src, const QString& dst) const {
    return {"/bin/cp", {"-a", "--", src, dst}};
}

QString LinuxCommands::move(const QString& src, const QString& dst) const {
    return "mv -- " + quote(src) + ' ' + quote(dst);
}

QString LinuxCommands::findRunning(const QStringList& programs) const {
    return "pgrep -A -lf " + anchoredPattern(programs);
}

QString LinuxCommands::stopRunning(const QStringList& programs) const {
    return "pgrep -A -lf " + anchoredPattern(programs) + " | awk '{print $1}' | xargs -r kill";
}

QString LinuxCommands::startInBackground(const QString& program, const QString& argument) const {
    // Detached from the runner's pipe so the service never holds it open.
    return quote(program) + ' ' + quote(argument) + " </dev/null >/dev/null 2>&1 &";
}

ProgramCall LinuxCommands::launch(const QString& appPath, const QString& executable) const {
    if (executable.isEmpty() || executable.contains('/'))
        return {};
    return {appPath + "/Contents/MacOS/" + executable, {"-from=5"}, true};
}
