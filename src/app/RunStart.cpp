#include "app/RunStart.h"

#include "base/Config.h"
#include "base/Globals.h"
#include "base/Log.h"
#include "base/LogFile.h"
#include "install/InstallJournal.h"
#include "install/ProcessRunner.h"
#include "platform/InstanceLock.h"
#include "rekol/QvRekolUtil.h"

#include <QFileInfo>

namespace RunStart {

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

// A lock that cannot be taken at all lets no install start (nor any settling:
// another installer may be at work).
TakeOver takeOver(InstanceLock& lock) {
    const std::optional<QString> settings = appDataLocation("Lumadoc");
    const QString path = settings ? *settings + "/installer.lock" : QString();
    const InstanceLock::Outcome outcome =
        settings ? lock.acquire(path) : InstanceLock::Outcome::Failed;
    if (outcome == InstanceLock::Outcome::Held)
        return TakeOver::AnotherRuns;
    if (outcome == InstanceLock::Outcome::Failed) {
        const QString reason = settings
                                   ? "cannot take the installer lock " + path + ": " + lock.error()
                                   : QStringLiteral("cannot take the installer lock: "
                                                    "there is no settings folder");
        logLine(lcApp(), reason);
        InstallJournal::refuse(reason);
        return TakeOver::NoLock;
    }
    InstallJournal::settle(true);
    return TakeOver::Done;
}

// The clean-up's own tools must run also after a stop request.
void settleOwnRun() {
    const ProcessRunner::Shield shield;
    InstallJournal::settle(false);
}

// Telemetry needs both data files; a binary copied without them says so on
// standard error too, instead of failing report by report.
void checkTelemetry(bool verbose) {
    const Config& config = Config::get();
    if (!config.telemetryOffBy.isEmpty()) {
        logLine(lcApp(),
                "telemetry off (" + config.telemetryOffBy + "): no reports are sent or kept");
        return;
    }
    for (const char* name : {"qctrl.dat", "qfmt.dat"}) {
        const QString path = config.resourcePath(QString::fromLatin1(name));
        QString error;
        if (QFileInfo(path).isFile() && QvRekolUtil::readTextFile(path, error))
            continue;
        // A file shipped damaged silences the reports as a missing one does.
        const QString line = error.isEmpty()
                                 ? QStringLiteral("telemetry disabled: %1 not found in %2")
                                       .arg(QString::fromLatin1(name), config.resourceDir)
                                 : "telemetry disabled: cannot read " + path + ": " + error;
        logLine(lcApp(), line);
        if (!verbose && !LogFile::path().isEmpty())
            print(stderr, line + '\n');
        return;
    }
}

} // namespace RunStart
