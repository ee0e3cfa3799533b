#include "base/PhaseClock.h"

#include "base/Log.h"

#include <chrono>
#include <mutex>
#include <optional>
#ifdef __linux__
#include "base/ProcStat.h"

#include <ctime>
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Where the kernel's record of the start is missing: about when main began.
const Clock::time_point g_loaded = Clock::now();

// How long the process has run, from the kernel's record of its start (10 ms
// steps); no value where that is not known.
std::optional<Clock::duration> sinceProcessStart() {
#ifdef __linux__
    const QList<QByteArray> fields = procStatFields(::getpid());
    const long ticks = ::sysconf(_SC_CLK_TCK);
    timespec now{};
    if (fields.size() < 20 || ticks <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return std::nullopt;
    const double started = fields[19].toDouble() / double(ticks);
    const double up = double(now.tv_sec) + double(now.tv_nsec) / 1e9;
    if (up < started)
        return std::nullopt;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(up - started));
#else
    return std::nullopt;
#endif
}

struct State {
    std::mutex mutex;
    std::optional<Clock::time_point> last;
};

State& state() {
    static State* s = new State; // marks may come while the process ends
    return *s;
}

} // namespace

namespace PhaseClock {

void mark(const char* name) {
    const Clock::time_point now = Clock::now();
    qint64 ms = 0;
    {
        State& s = state();
        std::lock_guard lock(s.mutex);
        if (!s.last)
            s.last = sinceProcessStart() ? now - *sinceProcessStart() : g_loaded;
        ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - *s.last).count();
        s.last = now;
    }
    logLine(lcApp(), QStringLiteral("phase %1 %2 ms").arg(QLatin1String(name)).arg(ms));
}

} // namespace PhaseClock
