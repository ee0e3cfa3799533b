#pragma once
// The shell tests' process-wide install scenario, set up before the first
// test: one devserver takes every report (through a resources folder whose
// control file names it) and serves a package it announces and then stalls
// on, so a download stays in progress until the test ends it.

#include "support/InstallScenario.h"

namespace shell {

InstallScenario& scenario();
// The reports received so far, in arrival order, as InstallScenario::label() names
// them; a click's result and reason follow as " (result/reason)" unless both are 0.
QStringList reports();
// Waits until the reports after the first `from` hold each of `expected`, in any order.
bool waitForReports(qsizetype from, const QStringList& expected, int timeoutMs = 10000);
// Waits for both reporters' posts in flight, then returns the reports after `from`.
QStringList settledReportsSince(qsizetype from);

} // namespace shell
