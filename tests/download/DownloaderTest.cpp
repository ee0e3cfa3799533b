// Downloads against the real devserver on 127.0.0.1.

#include "install/Downloader.h"
#include "support/DevServer.h"
#include "support/Files.h"
#include "support/LogCapture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>
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

Downloader::Settings withTimeout(std::chrono::milliseconds timeout) {
    Downloader::Settings settings;
    settings.transferTimeout = timeout;
    return settings;
}

// Runs one download to its outcome, then lingers a little so that a second,
// wrong callback would be seen. Returns why it failed.
Downloader::Failure download(const QString& url, Outcome& outcome,
                             Downloader::Settings settings = {}) {
    Downloader downloader(settings);
    watch(downloader, outcome);
    downloader.startDownload(QUrl(url));
    EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.total() > 0; }, 20000));
    QTest::qWait(200);
    return downloader.failure();
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
    QFile::remove(Downloader::partPath());
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
        // A short idle time-out for "stalled".
        const Downloader::Failure failure =
            download(server.packageUrl(c.file), outcome, withTimeout(1s));
        EXPECT_EQ(outcome.failures, 1);
        EXPECT_EQ(outcome.successes, 0);
        EXPECT_FALSE(outcome.outcomeOnMain);
        EXPECT_EQ(failure.kind, Downloader::Failure::Kind::Transfer);
        EXPECT_FALSE(QFile::exists(Downloader::packagePath())); // the part stays for a resume
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

namespace {

// A key pair made by the devserver, and its options to sign with it.
struct SigningKey {
    QTemporaryDir dir;
    QString publicKey = DevServer::makeKeyPair(dir.path());
    QStringList serverOptions() const { return {"--sign-key", dir.filePath("package-key.pem")}; }
    Downloader::Settings settings() const {
        Downloader::Settings settings;
        settings.publicKey = publicKey;
        return settings;
    }
};

} // namespace

TEST(Downloader, FetchesTheManifestOnlyWithAKeyAndRefusesABadOne) {
    SigningKey key;
    ASSERT_FALSE(key.publicKey.isEmpty());
    DevServer server(key.serverOptions());
    ASSERT_TRUE(server.isRunning());
    const QByteArray file = pattern(1500000);
    const QString url = server.addPackage("p.dmg", file);
    {
        SCOPED_TRACE("without a key");
        removePackage();
        const qsizetype before = server.requests().size();
        LogCapture log;
        Outcome outcome;
        download(url, outcome);
        EXPECT_EQ(outcome.successes, 1);
        EXPECT_TRUE(log.lines().contains("package signature not checked: no key configured"));
        const QList<QJsonObject> requests = server.requests().mid(before);
        ASSERT_EQ(requests.size(), 1);
        EXPECT_EQ(requests[0]["target"].toString(), "/mac/dl/p.dmg");
    }
    {
        SCOPED_TRACE("a manifest over 64 KiB");
        DevServer plain; // serves the files as they are
        ASSERT_TRUE(plain.isRunning());
        plain.addPackage("p.dmg.json", QByteArray(100 * 1024, ' ') + "{}");
        plain.addPackage("p.dmg.json.sig", QByteArray(88, 'A'));
        Outcome outcome;
        const Downloader::Failure failure =
            download(plain.addPackage("p.dmg", file), outcome, key.settings());
        EXPECT_EQ(outcome.failures, 1);
        EXPECT_EQ(failure.reason, "bad manifest");
        for (const QJsonObject& request : plain.requests())
            EXPECT_NE(request["target"].toString(), "/mac/dl/p.dmg");
    }
    {
        SCOPED_TRACE("a key that is none");
        Downloader::Settings settings;
        settings.publicKey = "not-a-key";
        Outcome outcome;
        const Downloader::Failure failure = download(url, outcome, settings);
        EXPECT_EQ(outcome.failures, 1);
        EXPECT_EQ(failure.kind, Downloader::Failure::Kind::Verification);
    }
}

// Each attempt is a new Downloader, as the flow's retry makes one; the last succeeds.
TEST(Downloader, ARetryContinuesTheCutPartOrStartsAgainFromZero) {
    struct Case {
        const char* name;
        QStringList options; // applied to the first package request only
        bool signedManifest;
        QList<int> statuses; // of each attempt's package request
        qint64 wireBytes;    // package bytes sent over all attempts
    };
    constexpr qint64 kSize = 3 * 1024 * 1024;
    constexpr qint64 kCut = 2 * 1024 * 1024 + 4321;
    const QString cut = QString::number(kCut);
    const Case cases[] = {
        {"resumed", {"--drop-after", cut}, true, {200, 206}, kSize},
        {"range ignored", {"--drop-after", cut, "--ignore-range"}, true, {200, 200}, kCut + kSize},
        // The part already holds the whole file: nothing is left to ask for, so
        // the part goes and the next attempt starts from zero.
        {"nothing left (416)", {"--lie-length", "1"}, false, {200, 416, 200}, 2 * kSize},
    };
    SigningKey key;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        removePackage();
        DevServer server((c.signedManifest ? key.serverOptions() : QStringList()) + c.options +
                         QStringList{"--fail-first", "1"});
        ASSERT_TRUE(server.isRunning());
        const QByteArray file = pattern(kSize);
        const QString url = server.addPackage("p.dmg", file);
        const Downloader::Settings settings =
            c.signedManifest ? key.settings() : Downloader::Settings();

        qint64 kept = -1;
        std::vector<Progress> lastProgress;
        for (qsizetype attempt = 0; attempt < c.statuses.size(); ++attempt) {
            Outcome outcome;
            download(url, outcome, settings);
            const bool lastAttempt = attempt + 1 == c.statuses.size();
            ASSERT_EQ(outcome.successes, lastAttempt ? 1 : 0) << "attempt " << attempt;
            if (attempt == 0) {
                kept = QFileInfo(Downloader::partPath()).size();
                EXPECT_GT(kept, 0);
                EXPECT_LE(kept, c.options.contains("--lie-length") ? kSize : kCut);
            }
            // A part that cannot be continued goes at once.
            EXPECT_EQ(QFile::exists(Downloader::partPath()),
                      !lastAttempt && c.statuses[attempt] != 416);
            if (lastAttempt)
                lastProgress = outcome.progress;
        }
        EXPECT_EQ(packageContent(), file); // whole, so the kept part was right too
        EXPECT_TRUE(partFiles().isEmpty());

        // A retry asks for the rest from the part's end, tied to the same file;
        // after a 416 the next one asks for all of it.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return server.packageRequests().size() == c.statuses.size(); }, 5000));
        const QList<QJsonObject> requests = server.packageRequests();
        qint64 sent = 0;
        for (qsizetype i = 0; i < requests.size(); ++i) {
            const bool resumes = i > 0 && c.statuses[i - 1] == 200;
            EXPECT_EQ(requests[i]["range"].toString(),
                      resumes ? QStringLiteral("bytes=%1-").arg(kept) : QString())
                << "request " << i;
            EXPECT_EQ(requests[i]["ifRange"].toString().isEmpty(), !resumes);
            EXPECT_EQ(requests[i]["status"].toInt(), c.statuses[i]);
            if (c.statuses[i] != 416)
                sent += requests[i]["sent"].toInteger();
        }
        EXPECT_EQ(sent, c.wireBytes);
        // Progress counts the whole file, also when the server sends only the rest.
        ASSERT_FALSE(lastProgress.empty());
        EXPECT_EQ(lastProgress.front().expectedMiB, 3);
        EXPECT_EQ(lastProgress.back().writtenMiB, 3);
    }
}

// The low-speed limit judges the last window only: a pause shorter than the
// window passes, silence longer than it fails even after a fast start.
TEST(Downloader, FailsASlowOrOversizedTransferWithItsReason) {
    using Kind = Downloader::Failure::Kind;
    const QString slow = "under 1024 bytes/s for 1 s (low-speed limit)";
    struct Case {
        const char* name;
        QStringList options;
        bool signedManifest;
        std::optional<Kind> kind; // none: the download succeeds
        QString reason;
    };
    const Case cases[] = {
        {"trickling", {"--throttle", "200"}, false, Kind::Transfer, slow},
        {"trickling manifest", {"--manifest-throttle", "50"}, true, Kind::Transfer, slow},
        {"silent after a fast start",
         {"--stall-after", "30000", "--stall-for", "3000"},
         false,
         Kind::Transfer,
         slow},
        {"a pause shorter than the window",
         {"--throttle", "60000", "--stall-after", "50000", "--stall-for", "600"},
         false,
         std::nullopt,
         {}},
        {"larger than the disk",
         {"--lie-length", "1000000000000000"},
         false,
         Kind::DiskSpace,
         "not enough disk space in " + QDir::tempPath()},
    };
    SigningKey key;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        removePackage();
        DevServer server(c.options + (c.signedManifest ? key.serverOptions() : QStringList()));
        ASSERT_TRUE(server.isRunning());
        Downloader::Settings settings = c.signedManifest ? key.settings() : Downloader::Settings();
        settings.lowSpeedWindow = 1s;
        LogCapture log;
        Outcome outcome;
        const Downloader::Failure failure =
            download(server.addPackage("p.dmg", pattern(100000)), outcome, settings);
        EXPECT_EQ(outcome.successes, c.kind ? 0 : 1);
        EXPECT_EQ(QFile::exists(Downloader::packagePath()), !c.kind);
        if (c.kind) {
            EXPECT_EQ(failure.kind, *c.kind);
            EXPECT_EQ(failure.reason, c.reason);
            EXPECT_TRUE(log.lines().contains("Download failed: " + c.reason));
        }
    }
}
