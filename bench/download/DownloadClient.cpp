// Downloads one URL with the Downloader into TMPDIR and prints the line
//   figures: <bytes> <seconds> <peak resident KiB>
// among the Downloader's own log lines; exits non-zero when the download fails. Nothing else runs
// in the process, so its peak memory is the Downloader's. The package key comes from
// LUMADOC_PACKAGE_PUBLIC_KEY, as in the installer.
//
// With --resume, a first attempt is expected to fail (the server cuts it); a
// second one then continues it, and the figures are the second one's.

#include "install/Downloader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

namespace {
qint64 peakResidentKiB() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool resume = argc == 3 && std::strcmp(argv[2], "--resume") == 0;
    if (argc != 2 && !resume) {
        std::fprintf(stderr, "usage: %s <url> [--resume]\n", argv[0]);
        return 2;
    }
    const QUrl url(QString::fromLocal8Bit(argv[1]));
    if (resume) {
        // The cut attempt; the server drops it part-way.
        Downloader first;
        bool failed = false;
        first.onDownloadSuccess = [&](const QString&) {
            QMetaObject::invokeMethod(&app, [] { QCoreApplication::exit(1); });
        };
        first.onDownloadFailed = [&] {
            failed = true;
            QMetaObject::invokeMethod(&app, [] { QCoreApplication::exit(0); });
        };
        first.startDownload(url);
        if (app.exec() != 0 || !failed)
            return 1;
    }
    QElapsedTimer clock;
    Downloader downloader;
    // The outcome arrives on the download's queue; quit from the main thread.
    downloader.onDownloadSuccess = [&](const QString& path) {
        const double seconds = clock.nsecsElapsed() / 1e9;
        const qint64 bytes = QFileInfo(path).size();
        QMetaObject::invokeMethod(&app, [=] {
            std::printf("figures: %lld %.3f %lld\n", static_cast<long long>(bytes), seconds,
                        static_cast<long long>(peakResidentKiB()));
            QCoreApplication::exit(0);
        });
    };
    downloader.onDownloadFailed = [&] {
        QMetaObject::invokeMethod(&app, [] { QCoreApplication::exit(1); });
    };
    clock.start();
    downloader.startDownload(url);
    return app.exec();
}
