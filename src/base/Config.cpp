#include "base/Config.h"

#include "base/AppBundle.h"

#include <QCoreApplication>
#include <QDir>
#include <deque>
#include <mutex>

namespace {

QString envOr(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

QString stripTrailingSlash(QString url) {
    while (url.endsWith('/'))
        url.chop(1);
    return url;
}

QString bundledResourceDir() {
    // Before the application object exists, as if the program lay in the working folder.
    const QString executable = QCoreApplication::instance()
                                   ? QCoreApplication::applicationFilePath()
                                   : QDir::currentPath() + "/lumadoc-installer";
    return AppBundle::resourceDir(executable);
}

QString defaultApplicationsDir() {
#ifdef Q_OS_MACOS
    return QStringLiteral("/Applications");
#else
    return QDir::homePath() + "/Applications";
#endif
}

// "1", "true" or "yes" turn it on; anything else (also "0") leaves it off.
bool isSet(const char* name) {
    const QString value = qEnvironmentVariable(name).trimmed().toLower();
    return value == "1" || value == "true" || value == "yes";
}

std::mutex g_mutex;
std::deque<Config> g_configs; // the last is current; older ones stay for their readers
bool g_stale = true;
std::mutex g_switchMutex; // apart from g_mutex: get() builds while holding that
QString g_telemetryOffBy; // --no-telemetry

} // namespace

Config Config::fromEnvironment() {
    Config c;
    c.resourceDir = envOr("LUMADOC_RESOURCE_DIR", bundledResourceDir());
    c.downloadBaseUrl =
        stripTrailingSlash(envOr("LUMADOC_DOWNLOAD_BASE_URL", LUMADOC_DOWNLOAD_BASE_URL));
    c.webBaseUrl = stripTrailingSlash(envOr("LUMADOC_WEB_BASE_URL", LUMADOC_WEB_BASE_URL));
    c.applicationsDir =
        stripTrailingSlash(envOr("LUMADOC_APPLICATIONS_DIR", defaultApplicationsDir()));
    c.applicationsDirIsDefault = qEnvironmentVariable("LUMADOC_APPLICATIONS_DIR").isEmpty();
    c.packagePublicKey = envOr("LUMADOC_PACKAGE_PUBLIC_KEY", LUMADOC_PACKAGE_PUBLIC_KEY).trimmed();
    // A relative folder is the working folder's, fixed now: the product, a later
    // run's recovery and the messages all name the same place.
    c.applicationsDir = c.applicationsDir.isEmpty() ? "/" : QDir(c.applicationsDir).absolutePath();
    for (const char* name : {"DO_NOT_TRACK", "LUMADOC_NO_TELEMETRY"})
        if (c.telemetryOffBy.isEmpty() && isSet(name))
            c.telemetryOffBy = QString::fromLatin1(name) + "=" + qEnvironmentVariable(name);
    std::lock_guard lock(g_switchMutex);
    if (!g_telemetryOffBy.isEmpty())
        c.telemetryOffBy = g_telemetryOffBy;
    return c;
}

const Config& Config::get() {
    std::lock_guard lock(g_mutex);
    if (g_stale) {
        g_configs.push_back(fromEnvironment());
        g_stale = false;
    }
    return g_configs.back();
}

void Config::reload() {
    std::lock_guard lock(g_mutex);
    g_stale = true;
}

void Config::turnTelemetryOff(const QString& reason) {
    {
        std::lock_guard lock(g_switchMutex);
        g_telemetryOffBy = reason;
    }
    reload();
}

QString Config::resourcePath(const QString& fileName) const {
    return resourceDir + '/' + fileName;
}
