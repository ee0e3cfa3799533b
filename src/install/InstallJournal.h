#pragma once
// What the installer's runs have made, kept as a small JSON file in the
// settings folder and replaced whole before each thing appears. It names no
// path: each run is its UUID, its phase and which of its folders it made
// (the private temporary folder, the staging folder in home, the copies
// beside the applications folder). Every path is rebuilt from the folders the
// installer knows (home, the temporary folder, the applications folder) and
// the UUID, and touched only when lstat shows the expected kind, owned by the
// user, not a link; anything else is left alone with one log line.
//
//   {"runs": [{"run": "<UUID>", "phase": "swapping", "made": ["temp", "staging"]}]}
//
// The next start (and a normal exit) settles every run named: the
// application made whole, what the run made removed, its entry dropped. A
// run whose leftovers could not be removed keeps its entry for the next try.

#include <QString>

namespace InstallJournal {

enum class Made {
    Temp,    // <temp>/lumadoc-<UUID>: the download
    Staging, // <home>/<UUID>: the mount point, the copy, the backup
    Beside,  // <apps>/.Lumadoc.app.new-<UUID> and .bak-<UUID>
};

// "<settings folder>/install-journal.json"; empty when there is none.
QString defaultPath();

// This process's run: a new upper-case UUID, made once.
QString runId();
// The run's folders, rebuilt from the known folders and runId().
QString tempFolder();
QString stagingFolder();
QString besideNew(const QString& applicationsDir);
QString besideBackup(const QString& applicationsDir);

// Makes tempFolder() (mode 0700) unless this user's own real folder is
// already there; an empty text, or why not.
QString makeTempFolder();

// Every later journal write fails with reason: the installer's lock could not
// be taken, so no install may start.
void refuse(const QString& reason);

// Records this run's phase, or that it made a folder. Empty on success; else
// "cannot write the install journal in <folder>: <reason>" (or the refusal),
// and nothing of the step may be made.
QString setPhase(const QString& phase, const QString& journal = defaultPath());
QString noteMade(Made made, const QString& journal = defaultPath());
// Both in one write: each write waits for the disk.
QString enterPhase(const QString& phase, Made made, const QString& journal = defaultPath());

// Settles every run the journal names: the application made whole (the new
// one when it was completely in place, else the previous one put back), the
// run's folders removed. interrupted: the start of a later installer, which
// logs what it finds. An unreadable journal is kept aside; when the
// application is then missing and exactly one backup of the installer's
// making exists, it is put back. What cannot be removed is named in the log
// and on standard error, and its run stays in the journal.
//
// Also the way out of a run ended early (a signal, a close): call it once the
// install's child processes are gone; a swap in progress is finished or
// undone and what the run made removed.
void settle(bool interrupted, const QString& journal = defaultPath());

} // namespace InstallJournal
