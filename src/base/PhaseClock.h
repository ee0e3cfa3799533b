#pragma once
// Where a run's time goes, for the user's support and for bench/: the end of
// each phase is marked once, and one log line "phase <name> <ms> ms" gives the
// time since the previous mark (the first mark counts from the process's
// start). The phases of a run follow one another, so their lines add up to
// the run's wall time. Safe from any thread.
//
// A whole run marks, in order: startup (to the first request of the
// download), download (to the last byte), verify (hash and size checked, the
// package in place), extract, check (the new bundle out of the image and
// checked), swap, cleanup (the image and the staging folder gone), settings
// (choices and installation record written, reports handed over), launch,
// reports (the posts drained on the way out) and exit. The window adds
// start-screen (to the press of Install), animation (to the result shown),
// and download-failed-screen or install-failed-screen (to the user's retry),
// so the time a user spends on a screen never counts as the work after it.

namespace PhaseClock {

// Logs "phase <name> <ms> ms" and starts the next phase.
void mark(const char* name);

} // namespace PhaseClock
