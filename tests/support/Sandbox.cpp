#include "support/Sandbox.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
QString g_root;

void setEnv(const char* name, const QString& value) {
    ::setenv(name, value.toLocal8Bit().constData(), 1);
}

// No test may write outside the sandbox: stop before the first one if a
// folder the installer writes to lies elsewhere.
void refuseOutsideFolders() {
    for (const auto location :
         {QStandardPaths::GenericDataLocation, QStandardPaths::GenericConfigLocation,
          QStandardPaths::DocumentsLocation, QStandardPaths::TempLocation}) {
        const QString path = QStandardPaths::writableLocation(location);
        if (!path.startsWith(g_root + '/')) {
            std::fprintf(stderr, "sandbox: %s lies outside %s; no test runs\n", qPrintable(path),
                         qPrintable(g_root));
            std::abort();
        }
    }
}
} // namespace

namespace sandbox {

void enter() {
    std::string pattern = "/tmp/lumadoc-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    // Resolved: on macOS /tmp is a link to /private/tmp, and paths are compared.
    g_root = QFileInfo(QString::fromLocal8Bit(pattern.c_str())).canonicalFilePath();
    for (const QString& dir : {home(), tempDir(), applicationsDir(), home() + "/.local/share"})
        QDir().mkpath(dir);
    setEnv("HOME", home());
    setEnv("TMPDIR", tempDir());
    setEnv("XDG_DATA_HOME", home() + "/.local/share");
    setEnv("XDG_CONFIG_HOME", home() + "/.config");
    setEnv("XDG_CACHE_HOME", home() + "/.cache");
    setEnv("XDG_STATE_HOME", home() + "/.local/state");
    setEnv("LUMADOC_APPLICATIONS_DIR", applicationsDir());
    // Never reach a real server from a test.
    setEnv("LUMADOC_DOWNLOAD_BASE_URL", "http://127.0.0.1:9");
    setEnv("LUMADOC_WEB_BASE_URL", "http://127.0.0.1:9");
    ::unsetenv("http_proxy");
    ::unsetenv("https_proxy");
    ::unsetenv("HTTP_PROXY");
    ::unsetenv("HTTPS_PROXY");
#ifdef __APPLE__
    // macOS finds Application Support, Documents and the defaults through the
    // account's home, not HOME. Qt's test mode moves the first and the defaults
    // under HOME in this process; Foundation's own override moves Documents,
    // and everything for the child processes.
    setEnv("CFFIXED_USER_HOME", home());
    QStandardPaths::setTestModeEnabled(true);
#endif
    refuseOutsideFolders();
}

void leave() {
    if (!g_root.isEmpty())
        QDir(g_root).removeRecursively();
}

QString root() {
    return g_root;
}
QString home() {
    return g_root + "/home";
}
QString tempDir() {
    return g_root + "/tmp";
}
QString applicationsDir() {
    return g_root + "/Applications";
}
QString dataDir() {
    return dataDirUnder(home());
}
QString dataDirUnder(const QString& home) {
#ifdef __APPLE__
    return home + "/.qttest/Application Support";
#else
    return home + "/.local/share";
#endif
}

} // namespace sandbox
