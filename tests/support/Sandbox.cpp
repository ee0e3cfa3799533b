#include "support/Sandbox.h"

#include <QDir>
#include <cstdlib>
#include <string>

namespace {
QString g_root;

void setEnv(const char* name, const QString& value) {
    ::setenv(name, value.toLocal8Bit().constData(), 1);
}
} // namespace

namespace sandbox {

void enter() {
    std::string pattern = "/tmp/lumadoc-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    g_root = QString::fromLocal8Bit(pattern.c_str());
    for (const QString& dir : {home(), tempDir(), applicationsDir(), home() + "/.local/share"})
        QDir().mkpath(dir);
    setEnv("HOME", home());
    setEnv("TMPDIR", tempDir());
    setEnv("XDG_DATA_HOME", home() + "/.local/share");
    setEnv("XDG_CONFIG_HOME", home() + "/.config");
    setEnv("XDG_CACHE_HOME", home() + "/.cache");
    setEnv("LUMADOC_APPLICATIONS_DIR", applicationsDir());
    // Never reach a real server from a test.
    setEnv("LUMADOC_DOWNLOAD_BASE_URL", "http://127.0.0.1:9");
    setEnv("LUMADOC_WEB_BASE_URL", "http://127.0.0.1:9");
    ::unsetenv("http_proxy");
    ::unsetenv("https_proxy");
    ::unsetenv("HTTP_PROXY");
    ::unsetenv("HTTPS_PROXY");
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

} // namespace sandbox
