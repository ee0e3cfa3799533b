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

} // namespace

Config Config::fromEnvironment() {
    Config c;
    c.resourceDir = envOr("LUMADOC_RESOURCE_DIR", bundledResourceDir());
    c.downloadBaseUrl =
        stripTrailingSlash(envOr("LUMADOC_DOWNLOAD_BASE_URL", LUMADOC_DOWNLOAD_BASE_URL));
    c.webBaseUrl = stripTrailingSlash(envOr("LUMADOC_WEB_BASE_URL", LUMADOC_WEB_BASE_URL));
    c.applicationsDir = stripTrailingSlash(envOr("LUMADOC_APPLICATIONS_DIR", "/Applications"));
    c.packagePublicKey = envOr("LUMADOC_PACKAGE_PUBLIC_KEY", LUMADOC_PACKAGE_PUBLIC_KEY).trimmed();
    if (c.applicationsDir.isEmpty())
        c.applicationsDir = "/";
    return c;
}

namespace {
std::mutex g_mutex;
std::deque<Config> g_configs; // the last is current; older ones stay for their readers
bool g_stale = true;
} // namespace

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

QString Config::resourcePath(const QString& fileName) const {
    return resourceDir + '/' + fileName;
}
