#pragma once
// What an install in progress has made, kept as a small JSON file in the
// settings folder and rewritten atomically before each thing appears: the
// download's part file and package, the staging folder, the mount point, the
// new bundle and the backup. The next start (and a normal exit) reads it to
// finish or undo an interrupted swap and remove what the install left.
// Nothing is ever removed that the journal does not name, and only paths of
// the shapes the installer makes are honoured.

#include <QString>
#include <initializer_list>
#include <utility>

namespace InstallJournal {

enum class Entry { Part, Package, Staging, Mount, App, NewBundle, Backup };

// "<settings folder>/install-journal.json" (the product's per-user data
// folder); empty when there is none.
QString defaultPath();

// Records path under entry, rewriting the journal at once (atomically).
// Without a journal path it does nothing.
void note(Entry entry, const QString& path, const QString& journal = defaultPath());
// Records the install's phase, for the log of a later recovery.
void setPhase(const QString& phase, const QString& journal = defaultPath());
// Records several paths and, unless it is empty, the phase with one atomic
// rewrite instead of one each: every rewrite waits for the disk, and with
// hundreds of MiB just written that wait grows.
void record(std::initializer_list<std::pair<Entry, QString>> entries, const QString& phase = {},
            const QString& journal = defaultPath());

// Makes the application whole (the new one when it was completely in place,
// else the previous one back) and removes everything the journal names, then
// the journal. interrupted: a crashed install, which is logged as such. Each
// removal logs one line. When the previous application cannot be put back it
// and the journal are kept, so a later start tries again.
void settle(bool interrupted, const QString& journal = defaultPath());

} // namespace InstallJournal
