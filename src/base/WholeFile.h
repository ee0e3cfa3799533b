#pragma once
// Files the installer writes: whole or not at all, never through a link.
//
// A replaced file is written to a new file beside it, flushed to the disk and
// renamed over the old one, so a full disk, a crash or a power cut leaves
// either the old file or the new one, never a mix or an empty file. Every
// failure returns the system's own reason ("No space left on device").

#include <QByteArray>
#include <QString>
#include <sys/types.h>

// errno value `code` as the system words it.
QString systemErrorText(int code);

// Makes folder and any missing parents; an empty text, or the system's reason.
QString makeFolders(const QString& folder);

// What this user may still write on the file system of `folder`, in bytes; -1 when
// unknown. One system call: cheap enough to ask while a tool writes.
qint64 freeBytes(const QString& folder);

// Replaces the regular file at path with bytes (or creates it); an empty text
// on success, else why not, with the old file untouched. A link, a folder or
// anything but a regular file at path is refused. A replaced file keeps its
// permissions; a new one gets `mode`.
QString replaceFileWhole(const QString& path, const QByteArray& bytes, mode_t mode = 0644);

// Creates path new with bytes: never over anything already there (a link
// included), never half written. An empty text on success, else why not.
QString createFileNew(const QString& path, const QByteArray& bytes, mode_t mode = 0644);
