#pragma once
// A binary property list of a flat dictionary, written by the platform's own
// writer (libplist, or CoreFoundation on macOS), as a product bundle has it.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <utility>

// Values are texts or whole numbers, in the order given.
QByteArray binaryPropertyList(const QList<std::pair<QString, QVariant>>& entries);
