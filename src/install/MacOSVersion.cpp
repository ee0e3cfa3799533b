#include "install/MacOSVersion.h"

#include "base/DecimalText.h"
#include "base/Log.h"
#include "install/ProcessRunner.h"
#include "platform/SystemCommands.h"

#include <mutex>

namespace {
std::mutex g_mutex;
QString gStrMacOSVersion;
std::int64_t gNMacOSVersion = -1;
std::uint8_t gMainOSVersion = 0;

QString getMacOSVersionWithCmd() {
    const ProcessRunner::Result r = ProcessRunner::run(SystemCommands::current().osVersion(),
                                                       ProcessRunner::Output::StdoutOnly);
    if (!r.started) {
        logLine(lcInstall(), "Failed to get macOS version with error: " + r.error);
        return {};
    }
    const std::optional<QString> text = ProcessRunner::decodeUtf8(r.output);
    return text ? text->trimmed() : QString();
}

void apply(const QString& text) {
    const QStringList parts = text.split('.', Qt::SkipEmptyParts);
    const std::optional<std::int64_t> major =
        parts.isEmpty() ? std::nullopt : DecimalText::parse(parts[0]);
    gMainOSVersion = major && *major >= 0 && *major <= 255 ? std::uint8_t(*major) : 0;

    if (parts.size() >= 2) {
        const std::optional<std::int64_t> minor = DecimalText::parse(parts[1]);
        if (major && minor)
            gNMacOSVersion =
                DecimalText::wrappingAdd(DecimalText::wrappingMul(*major, 100), *minor);
    } else if (parts.size() == 1 && major) {
        gNMacOSVersion = DecimalText::wrappingMul(*major, 100);
    }
    if (gNMacOSVersion < 0)
        gNMacOSVersion = 0;
    gStrMacOSVersion = text;
    logLine(lcInstall(), "os_version: " + text + ", main_ver: " + QString::number(gNMacOSVersion));
}
} // namespace

void MacOSVersion::updateOsVersion() {
    std::lock_guard lock(g_mutex);
    apply(getMacOSVersionWithCmd());
}

void MacOSVersion::updateOsVersion(const QString& text) {
    std::lock_guard lock(g_mutex);
    apply(text);
}

std::uint8_t MacOSVersion::getMainOsVersion() {
    // Held while the command runs, so concurrent first callers read it once.
    std::lock_guard lock(g_mutex);
    if (gNMacOSVersion == -1)
        apply(getMacOSVersionWithCmd());
    return gMainOSVersion;
}

QString MacOSVersion::strVersion() {
    std::lock_guard lock(g_mutex);
    return gStrMacOSVersion;
}

std::int64_t MacOSVersion::combinedVersion() {
    std::lock_guard lock(g_mutex);
    return gNMacOSVersion;
}

void MacOSVersion::reset() {
    std::lock_guard lock(g_mutex);
    gStrMacOSVersion.clear();
    gNMacOSVersion = -1;
    gMainOSVersion = 0;
}
