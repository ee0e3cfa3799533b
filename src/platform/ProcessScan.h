#pragma once
// Finds processes running given programs by what the kernel knows of them,
// where a command-line pattern cannot see it: a program started as
// "./docreader" from its folder, or through a linked parent folder. Linux
// only (/proc); elsewhere it finds nothing.

#include <QList>
#include <QStringList>

// Process ids (never this process) whose executable, or whose first or second
// command-line word resolved against the process's working folder, is one of
// programs once links are resolved. Processes of other users that cannot be
// read are skipped.
QList<qint64> processesRunning(const QStringList& programs);

// This process and its ancestors up to the first one, nearest first; only this
// process where the kernel does not say.
QList<qint64> lineageOfThisProcess();
