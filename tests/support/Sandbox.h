#pragma once
// Every test process runs in a throw-away sandbox: HOME, TMPDIR, the XDG
// folders and the applications folder point into one temporary folder, so no
// test can touch the real home or /Applications.

#include <QString>

namespace sandbox {

// Creates the sandbox and points the environment at it. Call before Qt starts.
void enter();
// Removes the sandbox with everything in it.
void leave();

QString root();
QString home();
QString tempDir();
QString applicationsDir();

} // namespace sandbox
