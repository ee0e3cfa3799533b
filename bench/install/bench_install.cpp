// Installs an image holding a 200 MB application and compares the installer's
// time with the same steps as a plain shell script (extract, copy, move).
// Prints figures; asserts nothing. Usage: bench_install [payload MB] [rounds]
#include "fakeproduct/FakeProduct.h"
#include "install/Installer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool runScript(const QString& script) {
    QProcess sh;
    sh.setProcessChannelMode(QProcess::ForwardedChannels);
    sh.start("/bin/sh", {"-ec", script});
    return sh.waitForFinished(-1) && sh.exitStatus() == QProcess::NormalExit && sh.exitCode() == 0;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 payloadMb = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200;
    const int rounds = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 3;

    QTemporaryDir work;
    const QString src = work.path() + "/src";
    const QString image = work.path() + "/package.dmg";
    const QString home = work.path() + "/home";
    const QString apps = work.path() + "/Applications";
    QDir().mkpath(home);
    QDir().mkpath(apps);
    // Staging folders and the install journal go here, not into the real home.
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + "/.local/share"));
    FakeProduct::Options options;
    options.payloadBytes = payloadMb * 1024 * 1024;
    if (FakeProduct::write(src, options).isEmpty() || !FakeProduct::makeDiskImage(src, image)) {
        std::fprintf(stderr, "bench_install: cannot build the image\n");
        return 1;
    }
    // The installer's log lines would bury the figures.
    std::fflush(stdout);
    const int savedStdout = ::dup(STDOUT_FILENO);
    const int devNull = ::open("/dev/null", O_WRONLY);
    ::dup2(devNull, STDOUT_FILENO);

    std::vector<double> installer, script;
    for (int i = 0; i < rounds; ++i) {
        QDir(apps + "/Lumadoc.app").removeRecursively();
        QElapsedTimer t;
        t.start();
        if (!Installer(image, ProductPaths(apps)).installPackage()) {
            std::fprintf(stderr, "bench_install: install failed\n");
            return 1;
        }
        installer.push_back(t.nsecsElapsed() / 1e6);

        QDir(apps + "/Lumadoc.app").removeRecursively();
        const QString s = work.path() + "/plain";
        t.restart();
        const bool ok = runScript(
            QString("mkdir -p '%1/temp'; 7zz x -y -snl -o'%1/Lumadoc' -- '%2' >/dev/null; "
                    "cp -a '%1/Lumadoc/Lumadoc.app' '%1/temp/Lumadoc.app'; "
                    "mv '%1/temp/Lumadoc.app' '%3/Lumadoc.app'; rm -rf '%1'")
                .arg(s, image, apps));
        script.push_back(t.nsecsElapsed() / 1e6);
        if (!ok) {
            std::fprintf(stderr, "bench_install: plain script failed\n");
            return 1;
        }
    }
    std::fflush(stdout);
    ::dup2(savedStdout, STDOUT_FILENO);
    const double a = median(installer), b = median(script);
    std::printf("install of a %lld MB application, median of %d rounds\n", payloadMb, rounds);
    std::printf("  installer  %8.1f ms\n  plain sh   %8.1f ms\n  ratio      %8.3f\n", a, b, a / b);
    return 0;
}
