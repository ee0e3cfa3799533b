// Fetches a 1 GiB file from lumadoc-devserver on 127.0.0.1 with the
// Downloader (in a process of its own, checking a signed manifest, so the
// body is hashed) and with `curl -o`, alternately, and prints each one's
// throughput, the ratio (goal: Downloader >= 0.9 of curl) and the Downloader
// process's peak resident memory (goal: <= 64 MiB). Then a download cut at
// 50 % and resumed: the bytes the server sent in all (goal: <= 1.05 GiB).
// The file is sparse and lives in a temporary folder removed at the end.

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>

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

// A devserver on the folder; its package URL, or empty when it did not start.
class Server {
public:
    Server(const QStringList& arguments) {
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(LUMADOC_BIN_DIR "/lumadoc-devserver", arguments);
        m_process.waitForReadyRead(10000);
        const QByteArray ready = m_process.readLine().trimmed();
        const QByteArray prefix = "listening on 127.0.0.1:";
        if (ready.startsWith(prefix))
            m_url = "http://127.0.0.1:" + QString::fromUtf8(ready.mid(prefix.size())) +
                    "/mac/dl/big.dmg";
    }
    ~Server() {
        m_process.kill();
        m_process.waitForFinished();
    }
    const QString& url() const { return m_url; }

private:
    QProcess m_process;
    QString m_url;
};

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

    QProcess keygen;
    keygen.start(LUMADOC_BIN_DIR "/lumadoc-devserver", {"keygen", dir.filePath("keys")});
    keygen.waitForFinished(10000);
    const QString publicKey = QString::fromLatin1(keygen.readAllStandardOutput()).trimmed();
    const QStringList common = {"--root", dir.path(), "--sign-key",
                                dir.filePath("keys/package-key.pem")};

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", dir.path());
    env.insert("LUMADOC_PACKAGE_PUBLIC_KEY", publicKey);
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY"})
        env.remove(name);

    Run bestOurs;
    Run bestCurl;
    qint64 peakKiB = 0;
    {
        Server server(common);
        if (server.url().isEmpty() || publicKey.isEmpty()) {
            std::fprintf(stderr, "devserver did not start\n");
            return 1;
        }
        // The server hashes the file for its manifest once; not part of the figures.
        runAndRead("curl", {"-s", "-o", "/dev/null", server.url() + ".json"}, env);
        for (int round = 0; round < kRounds; ++round) {
            const QStringList curl =
                runAndRead("curl",
                           {"-s", "-o", dir.filePath("curl.out"), "-w",
                            "curl: %{size_download} %{time_total}", server.url()},
                           env);
            QFile::remove(dir.filePath("curl.out"));
            const QStringList ours =
                runAndRead(LUMADOC_BIN_DIR "/bench_download_client", {server.url()}, env);
            QFile::remove(dir.filePath("package.dmg"));
            if (curl.size() != 2 || ours.size() != 3) {
                std::fprintf(stderr, "round %d failed: curl [%s], Downloader [%s]\n", round + 1,
                             qPrintable(curl.join(" ")), qPrintable(ours.join(" ")));
                return 1;
            }
            const Run c{curl[0].toLongLong(), curl[1].toDouble(), 0};
            const Run o{ours[0].toLongLong(), ours[1].toDouble(), ours[2].toLongLong()};
            std::printf(
                "round %d: curl %.0f MiB/s, Downloader %.0f MiB/s, Downloader peak RSS %lld KiB\n",
                round + 1, c.mibPerSecond(), o.mibPerSecond(), static_cast<long long>(o.peakKiB));
            if (c.bytes != kSize || o.bytes != kSize) {
                std::fprintf(stderr, "short download\n");
                return 1;
            }
            if (c.mibPerSecond() > bestCurl.mibPerSecond())
                bestCurl = c;
            if (o.mibPerSecond() > bestOurs.mibPerSecond())
                bestOurs = o;
            peakKiB = std::max(peakKiB, o.peakKiB);
        }
    }

    // Cut at 50 %, then resumed by a second attempt.
    const QString requestLog = dir.filePath("requests.jsonl");
    double sentGiB = 0;
    {
        Server server(common + QStringList{"--fail-first", "1", "--drop-after",
                                           QString::number(kSize / 2), "--request-log",
                                           requestLog});
        runAndRead("curl", {"-s", "-o", "/dev/null", server.url() + ".json"}, env);
        const QStringList resumed =
            runAndRead(LUMADOC_BIN_DIR "/bench_download_client", {server.url(), "--resume"}, env);
        QFile::remove(dir.filePath("package.dmg"));
        if (resumed.size() != 3 || resumed[0].toLongLong() != kSize) {
            std::fprintf(stderr, "the resumed download failed [%s]\n",
                         qPrintable(resumed.join(" ")));
            return 1;
        }
    }
    QFile log(requestLog);
    if (log.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : log.readAll().split('\n')) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            if (entry["target"].toString().endsWith(".dmg"))
                sentGiB += entry["sent"].toDouble() / kSize;
        }
    }

    const double ratio = bestOurs.mibPerSecond() / bestCurl.mibPerSecond();
    std::printf("best of %d, 1 GiB over 127.0.0.1, manifest checked (SHA-256 on):\n", kRounds);
    std::printf("  curl        %8.0f MiB/s\n", bestCurl.mibPerSecond());
    std::printf("  Downloader  %8.0f MiB/s\n", bestOurs.mibPerSecond());
    std::printf("  ratio       %8.2f   (goal >= 0.90)%s\n", ratio, ratio >= 0.9 ? "" : "  MISSED");
    std::printf("  peak RSS    %8.1f MiB (goal <= 64)%s\n", peakKiB / 1024.0,
                peakKiB <= 64 * 1024 ? "" : "  MISSED");
    std::printf("cut at 50 %% and resumed:\n");
    std::printf("  sent        %8.3f GiB (goal <= 1.05)%s\n", sentGiB,
                sentGiB <= 1.05 ? "" : "  MISSED");
    return 0;
}
