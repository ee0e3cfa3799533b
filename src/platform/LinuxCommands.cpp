#include "platform/LinuxCommands.h"

#include "platform/ProcessScan.h"

namespace {
// Matches anywhere in a command line, so "/bin/sh <program>" counts too. The
// first character goes in brackets ("[/]home/…"): the pattern then never
// matches its own text, so no probe's command line, ours or another
// installer's of any user, passes for the product.
QString pattern(const QStringList& programs) {
    QStringList parts;
    for (const QString& p : programs) {
        const QString rest = SystemCommands::regexLiteral(p.mid(1));
        parts << (p.isEmpty() || QStringLiteral("]^\\").contains(p.front())
                      ? SystemCommands::regexLiteral(p)
                      : '[' + p.front() + ']' + rest);
    }
    return SystemCommands::quote(parts.join('|'));
}

// This installer and its ancestors are skipped, by the shell itself: a script
// that started us may name the product on its command line. (pgrep -A does
// the same but reads the whole process table once per process, 20 ms and
// more a probe; awk and xargs would be two more programs to start.)
QString ourLineage() {
    QString pids = QStringLiteral("' ");
    for (const qint64 pid : lineageOfThisProcess())
        pids += QString::number(pid) + ' ';
    return pids + '\'';
}

// Both patterns match one top-level component only: the bundle at the image's
// root (ISO, APFS) or under the volume-name folder (HFS+).
const QString kBundlePatterns = QStringLiteral(" 'Lumadoc.app' '*/Lumadoc.app'");
} // namespace

QString LinuxCommands::shell() const {
    return QStringLiteral("/bin/sh");
}

QStringList LinuxCommands::tools() const {
    return {"7zz", "pgrep", "uname", "mv", "chmod", "rm"};
}

QString LinuxCommands::processorProbe() const {
    return QStringLiteral("uname -m");
}

ProgramCall LinuxCommands::osVersion() const {
    return {"uname", {"-r"}};
}

QString LinuxCommands::attach(const QString& image, const QString& mountPoint) const {
    // "--" so an image named "-x" or "@list" is never read as an option. 7-Zip
    // exits 0 without creating the folder when nothing matched, hence the cd.
    // An HFS+ volume's bundle comes out under a folder named after the volume
    // (any name, blanks included): it is lifted to the mount point when it is
    // the only one.
    const QString m = quote(mountPoint);
    return "7zz x -y -snl -sns- -o" + m + " -- " + quote(image) + kBundlePatterns + " && cd -- " +
           m +
           " && { [ -e Lumadoc.app ] || [ -L Lumadoc.app ] || { set -- */Lumadoc.app;"
           " [ $# -eq 1 ] && { [ -e \"$1\" ] || [ -L \"$1\" ]; } && mv -T -- \"$1\" Lumadoc.app; "
           "}; }";
}

QString LinuxCommands::listBundle(const QString& image) const {
    return "7zz l -ba -slt -- " + quote(image) + kBundlePatterns;
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
    // -T: never into a folder that already stands at dst.
    return "mv -T -- " + quote(src) + ' ' + quote(dst);
}

QString LinuxCommands::findRunning(const QStringList& programs) const {
    // Lists "<pid> <command line>" and fails, as pgrep does, when nothing is left.
    return "pgrep -lf " + pattern(programs) + " | { n=1; while read -r pid rest; do case " +
           ourLineage() +
           " in *\" $pid \"*) ;; *) printf '%s %s\\n' \"$pid\" \"$rest\"; n=0 ;; esac; done; "
           "exit $n; }";
}

QString LinuxCommands::stopRunning(const QStringList& programs) const {
    return "for pid in $(pgrep -f " + pattern(programs) + "); do case " + ourLineage() +
           " in *\" $pid \"*) ;; *) kill \"$pid\" ;; esac; done";
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
