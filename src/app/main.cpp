#include "app/AppDelegate.h"
#include "app/LaunchArguments.h"
#include "app/Screenshots.h"
#include "base/Globals.h"
#include "base/Log.h"
#include "flow/SilentInstall.h"
#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "install/InstallJournal.h"
#include "platform/InstanceLock.h"
#include "reporting/BaseReporter.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr const char* kHelp =
    R"(Usage: lumadoc-installer [--autostart | --silent | --screenshot DIR]

Installs the Lumadoc PDF reader: downloads the disk image for this processor,
replaces the installed application, records the installation and starts it.

Options:
  --autostart  Open the window and start installing at once, as if Install had
               been pressed (unattended runs with a window).
  --silent     Install without a window: start at once, show a progress bar on
               the terminal (plain lines when the output is not a terminal).
  --screenshot DIR
               Draw every screen of the window in English and German into DIR
               as PNG files (start-en.png, progress-de.png, ...). Nothing is
               downloaded, installed or reported.
  -h, --help   Show this help.

Exit statuses of --silent:
  0  Lumadoc was installed and started
  2  bad command line or configuration (for example an unreadable download address)
  3  Lumadoc is running; quit it and run the installer again
  4  the download failed (after one automatic retry)
  5  the installation failed; the previous installation is left as it was
  6  another Lumadoc installer is running

Environment (staging and tests): LUMADOC_APPLICATIONS_DIR, LUMADOC_DOWNLOAD_BASE_URL,
LUMADOC_WEB_BASE_URL, LUMADOC_RESOURCE_DIR, LUMADOC_PACKAGE_PUBLIC_KEY; HOME and TMPDIR
as usual.
)";

bool hasArgument(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}

// One installer at a time: the lock is held until the process ends. Then what
// an interrupted earlier install left is settled, before any report or
// download.
bool takeOver(InstanceLock& lock) {
    const std::optional<QString> settings = appDataLocation("Lumadoc");
    if (settings && !lock.acquire(*settings + "/installer.lock"))
        return false;
    InstallJournal::settle(true);
    return true;
}

// The home folder steers the settings, the staging folders and the log: without
// an absolute one, anything written would land in / or the current folder.
bool homeIsUsable() {
    const char* home = std::getenv("HOME");
    return home && home[0] == '/';
}

void useUsableTempFolder() {
    const QByteArray tmp = qgetenv("TMPDIR");
    if (!tmp.isEmpty() && !QFileInfo(QFile::decodeName(tmp)).isDir()) {
        logLine("TMPDIR " + QFile::decodeName(tmp) + " is not a folder; using /tmp");
        qputenv("TMPDIR", "/tmp");
    }
}

int runSilent(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    InstanceLock lock;
    if (!takeOver(lock)) {
        std::fputs("lumadoc-installer: error: another Lumadoc installer is running\n", stderr);
        return SilentInstall::AnotherInstaller;
    }
    // No texts to show, but the reports name the user's language.
    BaseReporter::setCurrentLanguage(MultiLanguageUtils::getCurrentLanguage());
    int status = 0;
    {
        SilentInstall silent;
        silent.start();
        status = QCoreApplication::exec();
    }
    SilentInstall::flushReports(true);
    InstallJournal::settle(false);
    return status;
}

int runScreenshots(int argc, char** argv, const QString& dir) {
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "lumadoc-installer: error: no temporary folder for --screenshot\n");
        return 1;
    }
    Screenshots::isolate(scratch.path());
    // Drawn off screen, the same on every desktop.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qsizetype expected = Screenshots::stills().size() * Screenshots::languages().size();
    const int written = Screenshots::writeAll(dir);
    AppDelegate::applicationWillTerminate();
    return written == expected ? 0 : 1;
}

int runWindow(int argc, char** argv, bool autostart) {
    QApplication app(argc, argv);
    InstanceLock lock;
    if (!takeOver(lock)) {
        MultiLanguageUtils::useLanguage(MultiLanguageUtils::getCurrentLanguage());
        QMessageBox::warning(nullptr, MultiLanguageUtils::text(TextKey::windowTitle),
                             MultiLanguageUtils::text(TextKey::anotherInstaller));
        return SilentInstall::AnotherInstaller;
    }
    int status = 0;
    {
        AppDelegate::Options options;
        options.autostart = autostart;
        AppDelegate delegate(options);
        delegate.applicationDidFinishLaunching();
        status = QApplication::exec();
    }
    InstallJournal::settle(false);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    argc = LaunchArguments::dropSystemArguments(argc, argv);
    if (hasArgument(argc, argv, "--help") || hasArgument(argc, argv, "-h")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (!homeIsUsable()) {
        std::fputs("lumadoc-installer: error: HOME must name an absolute folder\n", stderr);
        return SilentInstall::BadUsage;
    }
    useUsableTempFolder();
    bool silent = false;
    bool autostart = false;
    const char* screenshotDir = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--silent") == 0) {
            silent = true;
        } else if (std::strcmp(argv[i], "--autostart") == 0) {
            autostart = true;
        } else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc && !screenshotDir) {
            screenshotDir = argv[++i];
        } else {
            std::fprintf(stderr, "lumadoc-installer: error: unknown argument %s (see --help)\n",
                         argv[i]);
            return SilentInstall::BadUsage;
        }
    }
    if (int(silent) + int(autostart) + int(screenshotDir != nullptr) > 1) {
        std::fputs("lumadoc-installer: error: --autostart, --silent and --screenshot exclude each "
                   "other\n",
                   stderr);
        return SilentInstall::BadUsage;
    }
    if (silent)
        return runSilent(argc, argv);
    if (screenshotDir)
        return runScreenshots(argc, argv, QString::fromLocal8Bit(screenshotDir));
    return runWindow(argc, argv, autostart);
}
