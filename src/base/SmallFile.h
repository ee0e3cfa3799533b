#pragma once
// Reads a small local file (settings file, data files, property lists) whole,
// refusing anything that is not a regular file or is larger than a limit: a
// FIFO put in its place never blocks the reader, a huge file never fills the
// memory.

#include <QByteArray>
#include <QString>
#include <optional>

inline constexpr qint64 kSmallFileLimit = 1024 * 1024;

// The file's bytes; no value with a one-line reason in error when it is
// missing, not a regular file, over limit bytes or unreadable.
std::optional<QByteArray> readSmallFile(const QString& path, QString& error,
                                        qint64 limit = kSmallFileLimit);
