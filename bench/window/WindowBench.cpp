// Runs the installer's window and a bare Qt window of the same size, each as a
// fresh process, N times in turn, and prints the median time from starting the
// process to its first painted frame, and their ratio (goal: at most 1.5).
//
// Both run off screen (QT_QPA_PLATFORM=offscreen unless set) in a throw-away
// home; the installer gets no telemetry data files and closed loopback servers,
// so it contacts nothing.

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

namespace {

long long now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Milliseconds from start to first frame, or nothing when the run failed.
std::optional<double> runOnce(const QString& program, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    const long long started = now();
    process.start(program, {});
    if (!process.waitForFinished(30000))
        return std::nullopt;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("first-frame "))
            return double(line.mid(12).toLongLong() - started) / 1e6;
    }
    return std::nullopt;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString(argv[1]).toInt()) : 20;

    QTemporaryDir scratch;
    const QDir root(scratch.path());
    for (const char* dir : {"home/.local/share", "home/.config", "tmp", "Applications", "res"})
        root.mkpath(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains("QT_QPA_PLATFORM"))
        env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", root.filePath("home"));
    env.insert("TMPDIR", root.filePath("tmp"));
    env.insert("XDG_DATA_HOME", root.filePath("home/.local/share"));
    env.insert("XDG_CONFIG_HOME", root.filePath("home/.config"));
    env.insert("LUMADOC_APPLICATIONS_DIR", root.filePath("Applications"));
    env.insert("LUMADOC_RESOURCE_DIR", root.filePath("res"));
    env.insert("LUMADOC_DOWNLOAD_BASE_URL", "http://127.0.0.1:9");
    env.insert("LUMADOC_WEB_BASE_URL", "http://127.0.0.1:9");

    const QString bare = LUMADOC_BIN_DIR "/bench_window_bare";
    const QString text = LUMADOC_BIN_DIR "/bench_window_text";
    const QString installer = LUMADOC_BIN_DIR "/bench_window_installer";
    // One untimed run each warms the page cache.
    for (const QString& program : {bare, text, installer})
        runOnce(program, env);

    std::vector<double> bareTimes, textTimes, installerTimes;
    for (int i = 0; i < runs; ++i) {
        // Interleaved, so a busy moment of the machine hits all alike.
        if (auto t = runOnce(bare, env))
            bareTimes.push_back(*t);
        if (auto t = runOnce(text, env))
            textTimes.push_back(*t);
        if (auto t = runOnce(installer, env))
            installerTimes.push_back(*t);
    }
    if (bareTimes.empty() || textTimes.empty() || installerTimes.empty()) {
        std::fprintf(stderr, "bench_window: no first frame seen (bare %zu, installer %zu runs)\n",
                     bareTimes.size(), installerTimes.size());
        return 1;
    }
    const double b = median(bareTimes);
    const double t = median(textTimes);
    const double w = median(installerTimes);
    std::printf("platform            %s\n", qPrintable(env.value("QT_QPA_PLATFORM")));
    std::printf("runs                %zu bare, %zu text, %zu installer\n", bareTimes.size(),
                textTimes.size(), installerTimes.size());
    std::printf("bare window         %.1f ms to first frame (median)\n", b);
    std::printf("window with text    %.1f ms to first frame (median)\n", t);
    std::printf("installer window    %.1f ms to first frame (median)\n", w);
    std::printf("ratio               %.2f to the bare window (goal <= 1.5), %.2f to the one "
                "with text\n",
                w / b, w / t);
    return 0;
}
