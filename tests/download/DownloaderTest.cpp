// Downloads against the real devserver on 127.0.0.1, the manifest's own rules
// (what a parsed manifest must hold, how versions compare), and the devserver itself.

#include "install/Downloader.h"
#include "install/PackageManifest.h"
#include "support/DevServer.h"
#include "support/Files.h"
#include "support/LogCapture.h"
#include "support/LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

struct Progress {
    qint64 writtenMiB, expectedMiB;
    double secondsLeft;
};

// Everything one download told its owner.
struct Outcome {
    std::vector<Progress> progress;
    std::atomic<int> successes = 0, failures = 0;
    // Progress came off the main thread, or the outcome on it.
    std::atomic<bool> wrongThread = false;
    int total() const { return successes + failures; }
    std::string counts() const {
        return std::to_string(successes) + ' ' + std::to_string(failures);
    }
};

void watch(Downloader& downloader, Outcome& out) {
    const auto onMain = [] { return QThread::currentThread() == qApp->thread(); };
    downloader.onProgress = [&out, onMain](qint64 written, qint64 expected, double left) {
        out.wrongThread = out.wrongThread || !onMain();
        out.progress.push_back({written, expected, left});
    };
    downloader.onDownloadSuccess = [&out, onMain](const QString&) {
        out.wrongThread = out.wrongThread || onMain();
        ++out.successes;
    };
    downloader.onDownloadFailed = [&out, onMain] {
        out.wrongThread = out.wrongThread || onMain();
        ++out.failures;
    };
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

QStringList partFiles() {
    return QDir(QDir::tempPath()).entryList({"*.part"}, QDir::Files);
}

void removePackage() {
    QFile::remove(Downloader::partPath());
    QFile::remove(Downloader::packagePath());
    QDir(Downloader::packagePath()).removeRecursively();
}

// A key pair made by the devserver, and its options to sign with it.
struct SigningKey {
    QTemporaryDir dir;
    QString publicKey = DevServer::makeKeyPair(dir.path());
    QStringList serverOptions() const { return {"--sign-key", dir.filePath("package-key.pem")}; }
    Downloader::Settings settings() const {
        return {.publicKey = publicKey, .installedVersion = {}};
    }
};

} // namespace

// Every transfer ends in exactly one outcome, given off the main thread: the
// whole file with its progress in whole MiB, or one failure of its kind (a
// part stays for a resume). The low-speed limit judges the last window only: a
// pause shorter than it passes, silence longer than it fails after a fast start.
TEST(Downloader, EveryTransferEndsInOneOutcome) {
    using Kind = Downloader::Failure::Kind;
    const QString slow = "under 1024 bytes/s for 1 s (low-speed limit)";
    // clang-format off
    enum Flags { Signed = 1, ShortIdle = 2, ShortWindow = 4, BadKey = 8, BigManifest = 16, Dead = 32,
                 Stale = 64, Blocked = 128, Estimate = 256, Overlong = 512, Mute = 1024 };
    struct Case {
        const char* name;
        QStringList options;
        std::optional<Kind> kind = {}; // none: the download succeeds
        QString reason = {};           // checked when given
        qint64 size = 1048576;
        int flags = 0;
        const char* file = "p.dmg";
    };
    const qint64 big = 3 * 1024 * 1024 + 17;
    const Case cases[] = {
        {"with length", {}, {}, {}, big},
        {"chunked", {"--chunked"}, {}, {}, big},
        {"redirected path", {}, {}, {}, 1048575, 0, "old/p.dmg"},
        {"a pause shorter than the window",
         {"--throttle", "60000", "--stall-after", "50000", "--stall-for", "600"}, {}, {}, 100000,
         ShortWindow},
        {"dropped mid-body", {"--drop-after", "500000"}, Kind::Transfer},
        {"length announced too large", {"--lie-length", "1"}, Kind::Transfer},
        {"stalled", {"--stall-after", "1000"}, Kind::Transfer, {}, 1048576, ShortIdle},
        {"status 404 with a body", {"--status", "404"}, Kind::Transfer, "HTTP status 404"},
        // Failed by its status, not by the idle time-out of a page that never ends.
        {"status 500 with a stalled body", {"--status", "500", "--stall-after", "100"},
         Kind::Transfer, "HTTP status 500"},
        {"trickling", {"--throttle", "200"}, Kind::Transfer, slow, 100000, ShortWindow},
        {"trickling manifest", {"--manifest-throttle", "50"}, Kind::Transfer, slow, 100000,
         ShortWindow | Signed},
        {"silent after a fast start", {"--stall-after", "30000", "--stall-for", "3000"},
         Kind::Transfer, slow, 100000, ShortWindow},
        {"a key that is none", {}, Kind::Verification, {}, 1048576, BadKey},
        {"a manifest of 16 MiB, sent at once", {}, Kind::Verification, "bad manifest", 1048576,
         BigManifest},
        // Stopped at the signed size, not when the server is done filling the disk.
        {"a chunked body past the signed size", {"--chunked", "--extra-body", "134217728"},
         Kind::Verification, {}, 1048576, Signed | Overlong},
        {"larger than the disk", {"--lie-length", "1000000000000000"}, Kind::DiskSpace,
         "not enough disk space in " + QDir::tempPath(), 100000},
        {"nobody listening", {}, Kind::Transfer, {}, 1048576, Dead},
        // Qt calls its own time-out a cancellation; the user cancelled nothing.
        {"a server that never answers the manifest", {}, Kind::Transfer,
         ".json: nothing received for 1 s (idle time-out)", 1048576, Mute | Signed | ShortIdle},
        // An earlier package makes way; one that cannot must not pass for the new one.
        {"over an earlier package", {}, {}, {}, 5000, Stale},
        {"a folder in the package's place", {}, Kind::Transfer,
         "the package could not be put in place", 5000, Blocked},
        // The estimate is finite from the first event and shrinks while the speed holds.
        {"throttled", {"--throttle", "1000000"}, {}, {}, 2500000, Estimate},
    };
    // clang-format on
    SigningKey key;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        removePackage();
        DevServer server(c.options + (c.flags & Signed ? key.serverOptions() : QStringList()));
        ASSERT_TRUE(server.isRunning());
        const QByteArray file = pattern(c.size);
        server.addPackage("p.dmg", file);
        if (c.flags & BigManifest) { // served as they are, unsigned
            server.addPackage("p.dmg.json", QByteArray(16 << 20, ' ') + "{}");
            server.addPackage("p.dmg.json.sig", QByteArray(88, 'A'));
        }
        Downloader::Settings settings =
            c.flags & (Signed | BigManifest) ? key.settings() : Downloader::Settings();
        settings.publicKey = c.flags & BadKey ? "not-a-key" : settings.publicKey;
        settings.transferTimeout = c.flags & ShortIdle ? 1s : settings.transferTimeout;
        settings.lowSpeedWindow = c.flags & ShortWindow ? 1s : settings.lowSpeedWindow;
        if (c.flags & Stale)
            writeFile(Downloader::packagePath(), "an earlier package");
        if (c.flags & Blocked)
            QDir().mkpath(Downloader::packagePath() + "/keep");
        LogCapture log;
        Outcome outcome;
        LoopbackHttpServer mute;
        mute.setReply({.hang = true});
        const QString url =
            c.flags & Dead
                ? QString("http://127.0.0.1:%1/mac/dl/p.dmg").arg(LoopbackHttpServer::deadPort())
            : c.flags & Mute ? mute.url("/mac/dl/p.dmg")
                             : server.packageUrl(c.file);
        const Downloader::Failure failure = download(url, outcome, settings);
        EXPECT_EQ(outcome.counts(), c.kind ? "0 1" : "1 0");
        EXPECT_FALSE(outcome.wrongThread);
        EXPECT_EQ(QFileInfo(Downloader::packagePath()).isFile(), !c.kind);
        if (c.kind) {
            EXPECT_EQ(failure.kind, *c.kind);
            if (!c.reason.isEmpty()) {
                EXPECT_TRUE(failure.reason.endsWith(c.reason)) << failure.reason.toStdString();
                EXPECT_EQ(log.lines().filter("Download failed: ").filter(c.reason).size(), 1);
            }
            EXPECT_TRUE(!(c.flags & BigManifest) || server.packageRequests().isEmpty());
            EXPECT_TRUE(!(c.flags & Overlong) || QTest::qWaitFor([&] {
                const QList<QJsonObject> sent = server.packageRequests();
                return sent.size() == 1 && sent[0]["sent"].toInteger() < 32 * 1048576;
            }));
            EXPECT_TRUE(
                !(c.flags & Blocked) ||
                (partFiles().isEmpty() && QDir(Downloader::packagePath() + "/keep").exists()));
            continue;
        }
        // No row that succeeds has a key: no manifest is asked for.
        EXPECT_TRUE(log.lines().contains("package signature not checked: no key configured"));
        for (const QJsonObject& request : server.requests())
            EXPECT_TRUE(request["target"].toString().endsWith("p.dmg"));
        EXPECT_EQ(readFile(Downloader::packagePath()), file);
        EXPECT_EQ(log.lines().last(), "Download task completed successfully");
        ASSERT_FALSE(outcome.progress.empty());
        // An unknown size: no expected MiB, a negative estimate, as documented.
        const Progress last = outcome.progress.back();
        const bool chunked = c.options.contains("--chunked");
        EXPECT_EQ(std::tuple(last.writtenMiB, last.expectedMiB, last.secondsLeft < 0),
                  std::tuple(c.size >> 20, chunked ? 0 : c.size >> 20, chunked));
        EXPECT_LE(last.secondsLeft, 0);
        if (c.flags & Estimate) {
            ASSERT_GE(outcome.progress.size(), 5u);
            const double first = outcome.progress.front().secondsLeft;
            EXPECT_TRUE(first > 0 && first < 1e6) << first;
            EXPECT_LT(outcome.progress[outcome.progress.size() / 2].secondsLeft, first);
        }
    }
}

TEST(Downloader, CanBeDestroyedMidTransferOrFromItsOwnCallback) {
    DevServer server({"--throttle", "200000", "--fail-first", "1", "--drop-after", "1000"});
    const QString url = server.addPackage("p.dmg", pattern(100000));
    // The retry path: the failure callback replaces the downloader with a new one.
    std::unique_ptr<Downloader> current = std::make_unique<Downloader>();
    Outcome first, second;
    watch(*current, first);
    current->onDownloadFailed = [&] {
        ++first.failures;
        current = std::make_unique<Downloader>();
        watch(*current, second);
        current->startDownload(QUrl(url));
    };
    current->startDownload(QUrl(url));
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.total() > 0; }, 20000));
    EXPECT_EQ(first.counts() + ", " + second.counts(), "0 1, 1 0");
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
    EXPECT_EQ(cancelled.total() + cancelled.progress.size(), seen);
    EXPECT_FALSE(QFile::exists(Downloader::packagePath()));
    EXPECT_TRUE(partFiles().isEmpty());
}

// Each attempt is a new Downloader, as the flow's retry makes one; the last succeeds.
TEST(Downloader, ARetryContinuesTheCutPartOrStartsAgainFromZero) {
    constexpr qint64 kSize = 3 * 1024 * 1024;
    constexpr qint64 kCut = 2 * 1024 * 1024 + 4321;
    const QString cut = QString::number(kCut);
    // Name, options for the first package request, signed, each attempt's package status.
    const std::tuple<const char*, QStringList, bool, QList<int>> cases[] = {
        {"resumed", {"--drop-after", cut}, true, {200, 206}},
        {"range ignored", {"--drop-after", cut, "--ignore-range"}, true, {200, 200}},
        // The part already holds the whole file: nothing is left to ask for, so
        // the part goes and the next attempt starts from zero.
        {"nothing left (416)", {"--lie-length", "1"}, false, {200, 416, 200}},
    };
    SigningKey key;
    for (const auto& [name, options, signedManifest, statuses] : cases) {
        SCOPED_TRACE(name);
        removePackage();
        DevServer server((signedManifest ? key.serverOptions() : QStringList()) + options +
                         QStringList{"--fail-first", "1"});
        const QByteArray file = pattern(kSize);
        const QString url = server.addPackage("p.dmg", file);
        const Downloader::Settings settings =
            signedManifest ? key.settings() : Downloader::Settings();
        qint64 kept = -1;
        for (qsizetype attempt = 0; attempt < statuses.size(); ++attempt) {
            Outcome outcome;
            download(url, outcome, settings);
            const bool lastAttempt = attempt + 1 == statuses.size();
            ASSERT_EQ(outcome.successes, lastAttempt ? 1 : 0) << "attempt " << attempt;
            if (attempt == 0)
                kept = QFileInfo(Downloader::partPath()).size();
            // A part that cannot be continued goes at once.
            EXPECT_EQ(QFile::exists(Downloader::partPath()),
                      !lastAttempt && statuses[attempt] != 416);
            // Progress counts the whole file, also when the server sends only the rest.
            if (lastAttempt) {
                ASSERT_FALSE(outcome.progress.empty());
                EXPECT_EQ(outcome.progress.front().expectedMiB, 3);
                EXPECT_EQ(outcome.progress.back().writtenMiB, 3);
            }
        }
        // Whole, so the kept part was right too.
        EXPECT_EQ(readFile(Downloader::packagePath()), file);
        EXPECT_TRUE(partFiles().isEmpty());
        // A retry asks for the rest from the part's end, tied to the same file;
        // after a 416 the next one asks for all of it.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return server.packageRequests().size() == statuses.size(); }, 5000));
        const QList<QJsonObject> requests = server.packageRequests();
        for (qsizetype i = 0; i < requests.size(); ++i) {
            const bool resumes = i > 0 && statuses[i - 1] == 200;
            EXPECT_EQ(requests[i]["range"].toString(),
                      resumes ? QStringLiteral("bytes=%1-").arg(kept) : QString())
                << "request " << i;
            EXPECT_EQ(requests[i]["ifRange"].toString().isEmpty(), !resumes);
            EXPECT_EQ(requests[i]["status"].toInt(), statuses[i]);
        }
    }
}

TEST(PackageManifest, TakesWellFormedMembersOnlyAndComparesVersionsAsNumbers) {
    const QByteArray hash(64, 'a');
    const QByteArray json = "{\"file\": \"p.dmg\", \"size\": 12, \"sha256\": \"" + hash +
                            "\", \"version\": \"3.2.1\", \"expires\": \"2027-01-31T00:00:00Z\", "
                            "\"extra\": [1]}";
    const auto good = PackageManifest::parse(json);
    ASSERT_TRUE(good);
    EXPECT_EQ(good->expires, QDateTime(QDate(2027, 1, 31), QTime(0, 0), Qt::UTC));
    // One member spoilt at a time: what it was, what it becomes.
    // clang-format off
    const std::pair<QByteArray, QByteArray> spoilt[] = {
        {"12,", "12.5,"}, {"12,", "-1,"}, {"12,", "\"12\","}, {hash, QByteArray(64, 'A')},
        {hash, hash.left(63)}, {"3.2.1", "3.2.x"}, {"3.2.1", "3..1"},
        {"2027-01-31T00:00:00Z", "next year"}, {json, "[1]"}, {json, "{\"file\": \"p.dmg\"}"}};
    // clang-format on
    for (const auto& [from, to] : spoilt) {
        SCOPED_TRACE(to.toStdString());
        QString error;
        EXPECT_FALSE(PackageManifest::parse(QByteArray(json).replace(from, to), &error));
        EXPECT_FALSE(error.isEmpty());
    }
    // clang-format off
    const std::tuple<const char*, const char*, std::optional<int>> versions[] = {
        {"3.2", "3.2.0", 0}, {"3.2.1", "3.10", -1}, {"10.0", "9.99.99", 1}, {"3.02", "3.2", 0},
        {"1.0", "1.0 beta", std::nullopt}, {"", "1", std::nullopt}, {"-1", "1", std::nullopt}};
    // clang-format on
    for (const auto& [a, b, order] : versions)
        EXPECT_EQ(PackageManifest::compareVersions(a, b), order) << a << " vs " << b;
}

// The devserver on a raw socket: paths a client library would clean up reach
// it as sent, and nothing outside its folder is served.
// The whole answer to a GET of `path`, head and body as sent.
static QByteArray get(const DevServer& server, const QByteArray& path) {
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", server.port());
    socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    socket.waitForDisconnected(5000); // the server closes after each answer
    return socket.readAll();
}

TEST(DevServer, ServesNothingOutsideItsFolder) {
    DevServer server;
    QTemporaryDir outside;
    ASSERT_FALSE(writeFile(outside.filePath("secret.dmg"), "secret").isEmpty());
    const QByteArray up = "../../../../../.." + outside.path().toUtf8() + "/secret.dmg";
    for (const QByteArray& path : {"/mac/dl/" + up, "/mac/dl/" + QByteArray(up).replace("/", "%2F"),
                                   QByteArray("/mac/dl/"), QByteArray("/mac/dl/..")}) {
        const QByteArray reply = get(server, path);
        EXPECT_TRUE(reply.startsWith("HTTP/1.1 404 ")) << reply.left(12).toStdString();
        EXPECT_FALSE(reply.contains("secret")) << path.toStdString();
    }
    EXPECT_TRUE(get(server, "garbage").startsWith("HTTP/1.1 400 "));
}
