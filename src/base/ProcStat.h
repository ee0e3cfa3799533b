#pragma once
// The kernel's record of a process (Linux /proc/<pid>/stat).

#include <QByteArray>
#include <QList>

// The fields after the command name, which may hold blanks, so that index 0
// is the state, 1 the parent's id and 19 the start time in clock ticks since
// boot; empty where the record cannot be read.
QList<QByteArray> procStatFields(qint64 pid);
