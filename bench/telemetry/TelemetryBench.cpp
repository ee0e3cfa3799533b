// The caller's cost of report() on both reporters against a server that
// answers, one that hangs and a closed port, and the time
// ensureClearWaitingPackage() then blocks. Usage: bench_telemetry [reports] [bound ms]
#include "base/Globals.h"
#include "reporting/MacInstallReporter.h"
#include "reporting/Reporter.h"
#include "support/LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

std::unique_ptr<QvRekolClient> clientFor(const QString& url) {
    return std::make_unique<QvRekolClient>(
        QvRekolControl::fromText("[common]\nproduct=502\nserver2=" + url + "\n"),
        QvRekolFormat::fromPath(LUMADOC_SOURCE_DIR "/resources/data/qfmt.dat"), false);
}

struct Figures {
    double medianUs = 0, maxUs = 0, clearMs = 0;
};

template <class R, class Call>
Figures measure(const QString& url, int reports, int boundMs, Call call) {
    R reporter(clientFor(url));
    std::vector<double> us;
    QElapsedTimer timer;
    for (int i = 0; i < reports; ++i) {
        timer.start();
        call(reporter);
        us.push_back(timer.nsecsElapsed() / 1000.0);
    }
    std::sort(us.begin(), us.end());
    timer.start();
    reporter.ensureClearWaitingPackage(std::chrono::milliseconds(boundMs));
    const double clearMs = timer.nsecsElapsed() / 1e6;
    QThread::msleep(50);
    return {us[us.size() / 2], us.back(), clearMs};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int reports = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 50;
    const int boundMs = argc > 2 ? std::max(0, QByteArray(argv[2]).toInt()) : 15000;

    LoopbackHttpServer answering;
    LoopbackHttpServer hanging;
    hanging.setReply({200, "", true});
    const QString dead = QString("http://127.0.0.1:%1/r").arg(LoopbackHttpServer::deadPort());

    const struct {
        const char* name;
        QString url;
    } servers[] = {{"answering", answering.url()}, {"hanging", hanging.url()}, {"dead", dead}};

    // Every report logs; the table comes after all of it.
    QStringList table;
    const auto row = [&](const char* reporter, const char* server, const Figures& f) {
        table << QString::asprintf("%-20s %-10s %12.1f %12.1f %14.1f", reporter, server, f.medianUs,
                                   f.maxUs, f.clearMs);
    };
    for (const auto& s : servers) {
        row("Reporter", s.name, measure<Reporter>(s.url, reports, boundMs, [](Reporter& r) {
                r.report(false, ENUMInstallResult::interfaceShown, false, false, true);
            }));
        row("MacInstallReporter", s.name,
            measure<MacInstallReporter>(s.url, reports, boundMs, [](MacInstallReporter& r) {
                r.report(ENUMInstallPoint::installNow, ENUMInstallClick::none, 0, 0, 0, true);
            }));
    }
    std::printf("\n%d reports per case, termination bound %d ms\n", reports, boundMs);
    std::printf("%-20s %-10s %12s %12s %14s\n", "reporter", "server", "median us", "max us",
                "clear ms");
    for (const QString& line : table)
        std::printf("%s\n", qPrintable(line));
    return 0;
}
