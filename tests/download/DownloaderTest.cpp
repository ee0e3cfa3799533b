// Downloads against the real devserver on 127.0.0.1.

#include "install/Downloader.h"
#include "support/DevServer.h"
#include "support/Files.h"
#include "support/LogCapture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct Progress {
    qint64 writtenMiB;
    qint64 expectedMiB;
    double secondsLeft;
};

// Everything one download told its owner.
struct Outcome {
    std::vector<Progress> progress; // main thread only
    bool progressOffMain = false;
    std::atomic<int> successes = 0;
    std::atomic<int> failures = 0;
    std::atomic<bool> outcomeOnMain = false;
    std::mutex mutex;
    QString path;

    int total() const { return successes + failures; }
};

void watch(Downloader& downloader, Outcome& outcome) {
    downloader.onProgress = [&outcome](qint64 written, qint64 expected, double left) {
        outcome.progressOffMain |= QThread::currentThread() != qApp->thread();
        outcome.progress.push_back({written, expected, left});
    };
    downloader.onDownloadSuccess = [&outcome](const QString& path) {
        outcome.outcomeOnMain = outcome.outcomeOnMain || QThread::currentThread() == qApp->thread();
        std::lock_guard lock(outcome.mutex);
        outcome.path = path;
        ++outcome.successes;
    };
    downloader.onDownloadFailed = [&outcome] {
        outcome.outcomeOnMain = outcome.outcomeOnMain || QThread::currentThread() == qApp->thread();
        ++outcome.failures;
    };
}

// Runs one download to its outcome, then lingers a little so that a second,
// wrong callback would be seen.
void download(const QString& url, Outcome& outcome, std::chrono::milliseconds timeout = 60s) {
    Downloader downloader(timeout);
    watch(downloader, outcome);
    downloader.startDownload(QUrl(url));
    EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.total() > 0; }, 20000));
    QTest::qWait(200);
}

QByteArray pattern(qint64 size) {
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 13 + i / 4093) & 0xff);
    return bytes;
}

QByteArray packageContent() {
    return readFile(Downloader::packagePath());
}

QStringList partFiles() {
    return QDir(QDir::tempPath()).entryList({"*.part"}, QDir::Files);
}

void removePackage() {
    QFile::remove(Downloader::packagePath());
    QDir(Downloader::packagePath()).removeRecursively();
}

} // namespace

TEST(Downloader, DeliversTheWholeFileWithOrWithoutLengthCountingWholeMiB) {
    struct Case {
        const char* name;
        QStringList options;
        QString path;
        qint64 size, mib;
        bool chunked;
    };
    const Case cases[] = {
        {"with length", {}, "p.dmg", 3 * 1024 * 1024 + 17, 3, false},
        {"chunked", {"--chunked"}, "p.dmg", 3 * 1024 * 1024 + 17, 3, true},
        {"redirected by option", {"--redirect"}, "p.dmg", 1048576, 1, false},
        {"redirected path", {}, "old/p.dmg", 1048575, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        removePackage();
        DevServer server(c.options);
        ASSERT_TRUE(server.isRunning());
        const QByteArray file = pattern(c.size);
        server.addPackage("p.dmg", file);
        LogCapture log;
        Outcome outcome;
        download(server.packageUrl(c.path), outcome);

        EXPECT_EQ(outcome.successes, 1);
        EXPECT_EQ(outcome.failures, 0);
        EXPECT_FALSE(outcome.outcomeOnMain);
        EXPECT_EQ(outcome.path, Downloader::packagePath());
        EXPECT_EQ(packageContent(), file);
        EXPECT_TRUE(partFiles().isEmpty());
        EXPECT_EQ(log.lines().last(), "Download task completed successfully");

        ASSERT_FALSE(outcome.progress.empty());
        EXPECT_FALSE(outcome.progressOffMain);
        const Progress last = outcome.progress.back();
        EXPECT_EQ(last.writtenMiB, c.mib);
        EXPECT_EQ(last.expectedMiB, c.chunked ? 0 : c.mib);
        if (c.chunked) {
            EXPECT_LT(last.secondsLeft, 0); // unknown size: negative, as documented
        } else {
            EXPECT_EQ(last.secondsLeft, 0);
        }
    }
}

TEST(Downloader, ReportsExactlyOneFailureForEveryBrokenTransfer) {
    struct Case {
        const char* name;
        QStringList options;
        const char* file;
    };
    const Case cases[] = {
        {"dropped mid-body", {"--drop-after", "500000"}, "p.dmg"},
        {"length announced too large", {"--lie-length", "1"}, "p.dmg"},
        {"stalled", {"--stall-after", "1000"}, "p.dmg"},
        {"status 404 with a body", {"--status", "404"}, "p.dmg"},
        {"status 500 with a body", {"--status", "500"}, "p.dmg"},
        {"missing file", {}, "absent.dmg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        removePackage();
        DevServer server(c.options);
        ASSERT_TRUE(server.isRunning());
        server.addPackage("p.dmg", pattern(1024 * 1024));
        Outcome outcome;
        download(server.packageUrl(c.file), outcome, 1s); // short idle time-out for "stalled"
        EXPECT_EQ(outcome.failures, 1);
        EXPECT_EQ(outcome.successes, 0);
        EXPECT_FALSE(outcome.outcomeOnMain);
        EXPECT_FALSE(QFile::exists(Downloader::packagePath()));
        EXPECT_TRUE(partFiles().isEmpty());
    }

    SCOPED_TRACE("nobody listening");
    quint16 deadPort = 0;
    {
        DevServer server;
        deadPort = server.port();
    }
    Outcome outcome;
    download(QStringLiteral("http://127.0.0.1:%1/mac/dl/p.dmg").arg(deadPort), outcome);
    EXPECT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.successes, 0);
}

TEST(Downloader, EstimateShrinksWhileTheSpeedHolds) {
    DevServer server({"--throttle", "1000000"});
    ASSERT_TRUE(server.isRunning());
    Downloader downloader;
    Outcome outcome;
    watch(downloader, outcome);
    downloader.startDownload(QUrl(server.addPackage("p.dmg", pattern(2500000))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.total() > 0; }, 20000));
    QCoreApplication::processEvents();
    ASSERT_EQ(outcome.successes, 1);

    ASSERT_GE(outcome.progress.size(), 5u);
    const double first = outcome.progress.front().secondsLeft;
    EXPECT_GT(first, 0);
    EXPECT_LT(first, 1e6); // finite from the first event
    // Halfway through, the estimate is below the first one; at the end it is 0.
    EXPECT_LT(outcome.progress[outcome.progress.size() / 2].secondsLeft, first);
    EXPECT_EQ(outcome.progress.back().secondsLeft, 0);
}

TEST(Downloader, ReplacesTheEarlierPackageOrFails) {
    DevServer server;
    ASSERT_TRUE(server.isRunning());
    removePackage();
    for (const QByteArray& content : {pattern(5000), QByteArray("second run")}) {
        Outcome outcome;
        download(server.addPackage("p.dmg", content), outcome);
        EXPECT_EQ(outcome.successes, 1);
        EXPECT_EQ(packageContent(), content);
    }

    // A package that cannot be replaced must not pass for the new one.
    removePackage();
    ASSERT_TRUE(QDir().mkpath(Downloader::packagePath() + "/keep"));
    Outcome outcome;
    download(server.packageUrl("p.dmg"), outcome);
    EXPECT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.successes, 0);
    EXPECT_TRUE(QDir(Downloader::packagePath() + "/keep").exists());
    EXPECT_TRUE(partFiles().isEmpty());
    removePackage();
}

TEST(Downloader, CanBeDestroyedMidTransferOrFromItsOwnCallback) {
    DevServer server({"--throttle", "200000", "--fail-first", "1", "--drop-after", "1000"});
    ASSERT_TRUE(server.isRunning());
    const QString url = server.addPackage("p.dmg", pattern(100000));

    // The retry path: the failure callback replaces the downloader with a new one.
    std::unique_ptr<Downloader> current = std::make_unique<Downloader>();
    Outcome first;
    Outcome second;
    watch(*current, first);
    current->onDownloadFailed = [&] {
        ++first.failures;
        current = std::make_unique<Downloader>();
        watch(*current, second);
        current->startDownload(QUrl(url));
    };
    current->startDownload(QUrl(url));
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.total() > 0; }, 20000));
    EXPECT_EQ(first.failures, 1);
    EXPECT_EQ(second.successes, 1);

    // Destroyed while bytes flow: no callback afterwards, no file left behind.
    removePackage();
    Outcome cancelled;
    current = std::make_unique<Downloader>();
    watch(*current, cancelled);
    current->startDownload(QUrl(url));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !cancelled.progress.empty(); }, 20000));
    current.reset();
    const size_t seen = cancelled.progress.size();
    QTest::qWait(700);
    EXPECT_EQ(cancelled.total(), 0);
    EXPECT_EQ(cancelled.progress.size(), seen);
    EXPECT_FALSE(QFile::exists(Downloader::packagePath()));
    EXPECT_TRUE(partFiles().isEmpty());
}
