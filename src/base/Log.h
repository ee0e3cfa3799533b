#pragma once
// Plain one-line messages to standard output, safe from any thread: each call
// writes exactly one whole line, never interleaved with another.

#include <QString>
#include <functional>

void logLine(const QString& message);

// Tests may observe every line; the sink runs under the logger's lock, so it
// must not log itself. Pass an empty function to remove it.
void setLogSink(std::function<void(const QString&)> sink);

// A line kept at the bottom of a terminal (a progress bar): redrawn in place,
// moved below every log line written meanwhile. An empty text removes it.
void setStatusLine(const QString& text);
