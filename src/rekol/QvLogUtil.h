#pragma once
// Telemetry's own log: warnings and errors, prefixed "[QvRekol] ", go to the
// system log and to the installer's log (category lumadoc.rekol); debug
// messages are dropped.

#include <QString>
#include <functional>

class QvLogUtil {
public:
    QvLogUtil() = delete;

    static void d(const QString& message);
    static void w(const QString& message);
    static void e(const QString& message);

    // Tests may observe every written line (prefix included). Runs under the
    // log's lock: it must not log itself. An empty function removes it.
    static void setSink(std::function<void(const QString&)> sink);
};
