#pragma once
// Every test process runs in a throw-away sandbox: HOME, TMPDIR, the XDG
// folders and the applications folder point into one temporary folder, so no
// test can touch the real home or /Applications; a run whose data, settings,
// documents or temporary folder would still lie outside stops at once.

#include <QString>

namespace sandbox {

// First call in main(), with main's argv: creates the sandbox, points the
// environment at it and starts the program again with the same arguments
// (same process id); in that second start it takes the sandbox over and
// returns. Aborts with a one-line reason when either step fails.
void enter(char** argv);
// Removes the sandbox with everything in it.
void leave();

QString root();
QString home();
QString tempDir();
QString applicationsDir();
// Where the settings file's folder ("Lumadoc/reg/common.ini") lies in this process.
QString dataDir();
// The same for another HOME.
QString dataDirUnder(const QString& home);

} // namespace sandbox
