// Fetches a 1 GiB file from lumadoc-devserver on 127.0.0.1 with the
// Downloader (in a process of its own) and with `curl -o`, alternately, and
// prints each one's throughput, the ratio (goal: Downloader >= 0.9 of curl)
// and the Downloader process's peak resident memory (goal: <= 64 MiB).
// The file is sparse and lives in a temporary folder removed at the end.

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 kSize = 1024LL * 1024 * 1024;
constexpr int kRounds = 3;

struct Run {
    qint64 bytes = 0;
    double seconds = 0;
    qint64 peakKiB = 0;
    double mibPerSecond() const { return seconds > 0 ? bytes / seconds / (1024 * 1024) : 0; }
};

QStringList runAndRead(const QString& program, const QStringList& arguments,
                       const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return {};
    // The Downloader logs its own lines beside the figures.
    for (const QByteArray& line : process.readAllStandardOutput().split('\n'))
        if (line.startsWith("figures: ") || line.startsWith("curl: "))
            return QString::fromUtf8(line.mid(line.indexOf(' ') + 1)).simplified().split(' ');
    return {};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QFile big(dir.filePath("big.dmg"));
    if (!big.open(QIODevice::WriteOnly) || !big.resize(kSize)) {
        std::fprintf(stderr, "cannot make the test file in %s\n", qPrintable(dir.path()));
        return 1;
    }
    big.close();

    QProcess server;
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(LUMADOC_BIN_DIR "/lumadoc-devserver", {"--root", dir.path()});
    server.waitForReadyRead(10000);
    const QByteArray ready = server.readLine().trimmed();
    const QByteArray prefix = "listening on 127.0.0.1:";
    if (!ready.startsWith(prefix)) {
        std::fprintf(stderr, "devserver did not start\n");
        server.kill();
        server.waitForFinished();
        return 1;
    }
    const QString url =
        "http://127.0.0.1:" + QString::fromUtf8(ready.mid(prefix.size())) + "/mac/dl/big.dmg";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", dir.path());
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY"})
        env.remove(name);

    Run bestOurs;
    Run bestCurl;
    qint64 peakKiB = 0;
    for (int round = 0; round < kRounds; ++round) {
        const QStringList curl = runAndRead("curl",
                                            {"-s", "-o", dir.filePath("curl.out"), "-w",
                                             "curl: %{size_download} %{time_total}", url},
                                            env);
        QFile::remove(dir.filePath("curl.out"));
        const QStringList ours = runAndRead(LUMADOC_BIN_DIR "/bench_download_client", {url}, env);
        QFile::remove(dir.filePath("package.dmg"));
        if (curl.size() != 2 || ours.size() != 3) {
            std::fprintf(stderr, "round %d failed: curl [%s], Downloader [%s]\n", round + 1,
                         qPrintable(curl.join(" ")), qPrintable(ours.join(" ")));
            server.kill();
            server.waitForFinished();
            return 1;
        }
        const Run c{curl[0].toLongLong(), curl[1].toDouble(), 0};
        const Run o{ours[0].toLongLong(), ours[1].toDouble(), ours[2].toLongLong()};
        std::printf(
            "round %d: curl %.0f MiB/s, Downloader %.0f MiB/s, Downloader peak RSS %lld KiB\n",
            round + 1, c.mibPerSecond(), o.mibPerSecond(), static_cast<long long>(o.peakKiB));
        if (c.bytes != kSize || o.bytes != kSize) {
            std::fprintf(stderr, "short download\n");
            server.kill();
            server.waitForFinished();
            return 1;
        }
        if (c.mibPerSecond() > bestCurl.mibPerSecond())
            bestCurl = c;
        if (o.mibPerSecond() > bestOurs.mibPerSecond())
            bestOurs = o;
        peakKiB = std::max(peakKiB, o.peakKiB);
    }
    server.kill();
    server.waitForFinished();

    const double ratio = bestOurs.mibPerSecond() / bestCurl.mibPerSecond();
    std::printf("best of %d, 1 GiB over 127.0.0.1:\n", kRounds);
    std::printf("  curl        %8.0f MiB/s\n", bestCurl.mibPerSecond());
    std::printf("  Downloader  %8.0f MiB/s\n", bestOurs.mibPerSecond());
    std::printf("  ratio       %8.2f   (goal >= 0.90)%s\n", ratio, ratio >= 0.9 ? "" : "  MISSED");
    std::printf("  peak RSS    %8.1f MiB (goal <= 64)%s\n", peakKiB / 1024.0,
                peakKiB <= 64 * 1024 ? "" : "  MISSED");
    return 0;
}
