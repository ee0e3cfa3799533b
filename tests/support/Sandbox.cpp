#include "support/Sandbox.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif

namespace {
QString g_root;

// "<pid>:<sandbox root>", left for the same process once it has started itself again.
constexpr char kHandOver[] = "LUMADOC_TEST_SANDBOX";

void setEnv(const char* name, const QString& value) {
    ::setenv(name, value.toLocal8Bit().constData(), 1);
}

// No test may write outside the sandbox: stop before the first one if a
// folder the installer writes to lies elsewhere.
void refuseOutsideFolders() {
#ifdef __APPLE__
    // Qt's test mode moves Application Support and the defaults under HOME.
    QStandardPaths::setTestModeEnabled(true);
#endif
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

std::string executablePath() {
#ifdef __APPLE__
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::string path(size, '\0');
    if (_NSGetExecutablePath(path.data(), &size) != 0)
        return {};
    return path.c_str();
#else
    return "/proc/self/exe";
#endif
}

} // namespace

namespace sandbox {

void enter(char** argv) {
    const QByteArray handOver = qgetenv(kHandOver);
    ::unsetenv(kHandOver); // the processes a test starts make their own
    const QByteArray self = QByteArray::number(::getpid()) + ':';
    if (handOver.startsWith(self)) {
        g_root = QString::fromLocal8Bit(handOver.mid(self.size()));
        if (qgetenv("HOME") != home().toLocal8Bit() || !QFileInfo(home()).isDir()) {
            std::fprintf(stderr, "sandbox: %s is not this run's sandbox; no test runs\n",
                         handOver.constData());
            std::abort();
        }
        refuseOutsideFolders();
        return;
    }
    std::string pattern = "/tmp/lumadoc-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    // Resolved: on macOS /tmp is a link to /private/tmp, and paths are compared.
    g_root = QFileInfo(QString::fromLocal8Bit(pattern.c_str())).canonicalFilePath();
    for (const QString& dir : {home(), tempDir(), applicationsDir(), home() + "/.local/share"})
        QDir().mkpath(dir);
    // clang-format off
    const std::pair<const char*, QString> variables[] = {
        {"HOME", home()}, {"TMPDIR", tempDir()}, {"XDG_DATA_HOME", home() + "/.local/share"},
        {"XDG_CONFIG_HOME", home() + "/.config"}, {"XDG_CACHE_HOME", home() + "/.cache"},
        {"XDG_STATE_HOME", home() + "/.local/state"}, {"LUMADOC_APPLICATIONS_DIR", applicationsDir()},
        // Never reach a real server from a test.
        {"LUMADOC_DOWNLOAD_BASE_URL", "http://127.0.0.1:9"}, {"LUMADOC_WEB_BASE_URL", "http://127.0.0.1:9"}};
    // clang-format on
    for (const auto& [name, value] : variables)
        setEnv(name, value);
    for (const char* proxy : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY"})
        ::unsetenv(proxy);
#ifdef __APPLE__
    // macOS finds Documents and the defaults through the account's home, not HOME.
    setEnv("CFFIXED_USER_HOME", home());
#endif
    // CoreFoundation reads HOME and CFFIXED_USER_HOME as the process loads:
    // the program starts itself again, once, as the same process.
    setEnv(kHandOver, QString::fromLocal8Bit(self) + g_root);
    const std::string program = executablePath();
    ::execv(program.c_str(), argv);
    std::fprintf(stderr, "sandbox: cannot start %s again: %s; no test runs\n", program.c_str(),
                 std::strerror(errno));
    leave();
    std::abort();
}

void leave() {
    // By the names' bytes: a test may leave a name no locale decodes.
    std::error_code ignored;
    if (!g_root.isEmpty())
        std::filesystem::remove_all(QFile::encodeName(g_root).toStdString(), ignored);
}

// clang-format off
QString root() { return g_root; }
QString home() { return g_root + "/home"; }
QString tempDir() { return g_root + "/tmp"; }
QString applicationsDir() { return g_root + "/Applications"; }
QString dataDir() { return dataDirUnder(home()); }
// clang-format on
QString dataDirUnder(const QString& home) {
#ifdef __APPLE__
    return home + "/.qttest/Application Support";
#else
    return home + "/.local/share";
#endif
}

} // namespace sandbox
