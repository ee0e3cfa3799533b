#include "flow/SilentInstall.h"
#include "i18n/MultiLanguageUtils.h"
#include "reporting/BaseReporter.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr const char* kHelp = R"(Usage: lumadoc-installer [--silent]

Installs the Lumadoc PDF reader: downloads the disk image for this processor,
replaces the installed application, records the installation and starts it.

Options:
  --silent     Install without a window: start at once, show a progress bar on
               the terminal (plain lines when the output is not a terminal).
  -h, --help   Show this help.

Exit statuses of --silent:
  0  Lumadoc was installed and started
  2  bad command line or configuration (for example an unreadable download address)
  3  Lumadoc is running; quit it and run the installer again
  4  the download failed (after one automatic retry)
  5  the installation failed; the previous installation is left as it was

Environment (staging and tests): LUMADOC_APPLICATIONS_DIR, LUMADOC_DOWNLOAD_BASE_URL,
LUMADOC_WEB_BASE_URL, LUMADOC_RESOURCE_DIR; HOME and TMPDIR as usual.
)";

bool hasArgument(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}

int runSilent(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // No texts to show, but the reports name the user's language.
    BaseReporter::setCurrentLanguage(MultiLanguageUtils::getCurrentLanguage());
    int status = 0;
    {
        SilentInstall silent;
        silent.start();
        status = QCoreApplication::exec();
    }
    SilentInstall::flushReports();
    return status;
}

} // namespace

int main(int argc, char** argv) {
    if (hasArgument(argc, argv, "--help") || hasArgument(argc, argv, "-h")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--silent") != 0) {
            std::fprintf(stderr, "lumadoc-installer: error: unknown argument %s (see --help)\n",
                         argv[i]);
            return SilentInstall::BadUsage;
        }
    }
    if (hasArgument(argc, argv, "--silent"))
        return runSilent(argc, argv);

    QApplication app(argc, argv);
    std::fputs("lumadoc-installer: the window is not built yet; use --silent\n", stderr);
    return SilentInstall::BadUsage;
}
