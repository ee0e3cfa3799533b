#pragma once
// The install journal's file and the checks on every path it leads to; used
// by InstallJournal only.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <mutex>
#include <optional>

namespace JournalFile {

// Held around every read-modify-write of the journal.
std::mutex& mutex();

// The journal's runs: empty when there is no journal, no value when it is
// unreadable (not a regular file, not JSON of the journal's shape, a run
// without a well-formed UUID); why says so.
std::optional<QJsonArray> read(const QString& journal, QString* why = nullptr);
// Replaces the journal whole with runs (mode 0600); the system's reason on failure.
QString write(const QString& journal, const QJsonArray& runs);
// Renames an unreadable journal file aside ("<journal>.unreadable-<time>"),
// logged; anything but a regular file is left where it is.
void keepAside(const QString& journal);

// An upper-case UUID as the installer names its runs.
bool isRunId(const QString& text);

enum class Owner { Nobody, Us, Other };
// Who has path, judged by lstat without following a link: Us only for this
// user's own entry of the expected kind (a folder when folder, else a
// regular file); a link or anything else is Other, with why.
Owner ownership(const QString& path, bool folder, QString* why = nullptr);

} // namespace JournalFile
