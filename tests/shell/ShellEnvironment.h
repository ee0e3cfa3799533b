#pragma once
// The shell tests' process-wide install scenario, set up before the first
// test: one devserver takes every report (through a resources folder whose
// control file names it) and serves a package it announces and then stalls
// on, so a download stays in progress until the test ends it.

#include "support/InstallScenario.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <functional>

namespace shell {

InstallScenario& scenario();

// One report as the server decoded it: its table and its properties.
struct Report {
    QString table;
    QJsonObject properties;
    QString time; // "#time", to the millisecond

    bool isPlain(int result) const;               // result code (sent as "reason")
    bool isClick(int click) const;                // install-point report of a click
    bool isPoint(int point, int click = 0) const; // install-point report of a point
    qint64 value(const char* key) const { return properties.value(key).toInteger(-1); }
};

using Match = std::function<bool(const Report&)>;

// Reports received so far, in arrival order.
QList<Report> reports();
// Waits until the reports after the first `from` hold one match of each
// predicate (in any order); false on time-out.
bool waitForReports(qsizetype from, const QList<Match>& expected, int timeoutMs = 10000);
// Like waitForReports, and the matches' "#time"s follow the order of `expected`
// (the two reporters post on separate queues, so arrival order says little);
// one reporter's reports of the same millisecond arrive in that order.
bool waitForReportsInOrder(qsizetype from, const QList<Match>& expected, int timeoutMs = 10000);
// Waits for both reporters' posts in flight, then returns the reports after `from`.
QList<Report> settledReportsSince(qsizetype from);

} // namespace shell
