#pragma once
// A folder tree as a comparable value, to prove that an install left a tree
// exactly as expected (or untouched).

#include <QMap>
#include <QString>

// Every entry below root: relative path -> kind, mode, link target or content
// digest. Equal snapshots mean identical trees (bits, links and modes).
using Tree = QMap<QString, QString>;
Tree snapshotTree(const QString& root);
