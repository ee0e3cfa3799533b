#pragma once
// The installer's log file: every log line of a run (Qt's messages, so the
// system's lines and Qt's own), after a first line naming the time, the
// version and the command line. The file keeps the last kMaxRuns runs and
// stays under about kMaxBytes; older runs are dropped when a run starts, and
// the oldest lines when a run alone outgrows the limit.
//
// Without an open log file, Qt's default handling applies (standard error).

#include <QByteArray>
#include <QString>
#include <QStringList>

class LogFile {
public:
    LogFile() = delete;

    static constexpr int kMaxRuns = 5;
    static constexpr qint64 kMaxBytes = 5 * 1024 * 1024;

    // $XDG_STATE_HOME/lumadoc/installer.log, by default under
    // ~/.local/state; ~/Library/Logs/Lumadoc/installer.log on macOS.
    static QString defaultPath();

    // Opens `path` for this run (its folder is created), trims the earlier
    // runs, writes the run's first line and takes Qt's messages from then on.
    // With `echo` every line is also copied to standard error. False, with a
    // one-line reason in `error`, when the file cannot be written; Qt's
    // messages then keep their default way.
    static bool open(const QString& path, const QStringList& arguments, bool echo, QString& error);
    // Stops taking messages and closes the file.
    static void close();

    // The open log file's path; empty when none is open.
    static QString path();

    // `contents` cut to its last `maxRuns` runs and, dropping whole lines from
    // the front, to at most `maxBytes` bytes.
    static QByteArray trimmed(const QByteArray& contents, int maxRuns, qint64 maxBytes);

    // How a run's first line starts; no log line does.
    static constexpr char kRunMarker[] = "=== ";
};
