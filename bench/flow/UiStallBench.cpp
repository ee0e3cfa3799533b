// How long the UI thread stops answering during a whole install: a silent
// install of an image holding a large application, from the real devserver,
// with a 10 ms timer on the UI thread recording the largest gap between its
// ticks. Prints figures; asserts nothing.
// Usage: bench_ui_stall [payload MB] [rounds]

#include "flow/InstallFlow.h"
#include "support/InstallScenario.h"
#include "support/Sandbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Round {
    double worstGapMs = 0;
    double p99GapMs = 0;
    double totalMs = 0;
    bool installed = false;
};

// One install into an empty applications folder.
Round runOnce() {
    // The last round's product is still running: stop it, then remove it.
    QProcess::execute("pkill", {"-KILL", "-f", sandbox::applicationsDir() + "/"});
    QDir(sandbox::applicationsDir() + "/Lumadoc.app").removeRecursively();
    Round round;
    std::vector<double> gaps;
    QElapsedTimer sinceTick;
    QTimer heartbeat;
    heartbeat.setInterval(10);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        gaps.push_back(sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });

    InstallFlow::Host host;
    host.terminate = [&] {
        gaps.push_back(sinceTick.nsecsElapsed() / 1e6); // the stretch since the last tick
        round.installed = true;
        QCoreApplication::exit(0);
    };
    host.finished = [&](INSTALLER_STATUS status) {
        if (status != INSTALLER_STATUS::Install_success)
            QCoreApplication::exit(1);
    };
    InstallFlow::Options options;
    options.silent = true;
    options.animate = false;

    QElapsedTimer total;
    total.start();
    sinceTick.start();
    heartbeat.start();
    InstallFlow flow(host, options);
    flow.pressInstall();
    QCoreApplication::exec();
    heartbeat.stop();
    round.totalMs = total.nsecsElapsed() / 1e6;

    std::sort(gaps.begin(), gaps.end());
    if (!gaps.empty()) {
        round.worstGapMs = gaps.back();
        round.p99GapMs = gaps[gaps.size() * 99 / 100];
    }
    return round;
}

} // namespace

int main(int argc, char** argv) {
    sandbox::enter(argv);
    int status = 0;
    {
        QCoreApplication app(argc, argv);
        const qint64 payloadMb = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200;
        const int rounds = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 3;
        std::printf("silent install of a %lld MB application, %d round(s)\n", payloadMb, rounds);
        double worst = 0;
        InstallScenario scenario; // one server and data files: the reporters are made once
        const bool ready = scenario.serveProduct("3.2.1", payloadMb * 1024 * 1024);
        if (!ready) {
            std::printf("could not make the product image\n");
            status = 1;
        }
        scenario.applyToThisProcess();
        for (int i = 0; ready && i < rounds; ++i) {
            const Round r = runOnce();
            if (!r.installed) {
                std::printf("round %d: the install did not succeed\n", i + 1);
                status = 1;
                break;
            }
            std::printf("round %d: longest UI stall %.1f ms, 99th percentile gap %.1f ms, "
                        "install %.0f ms\n",
                        i + 1, r.worstGapMs, r.p99GapMs, r.totalMs);
            worst = std::max(worst, r.worstGapMs);
        }
        std::printf("longest UI stall over all rounds: %.1f ms (goal < 50 ms)\n", worst);
    }
    sandbox::leave();
    return status;
}
