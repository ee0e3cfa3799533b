#pragma once
// One packet file in the report cache, as described by its name:
//
//   <kind>-<ts>-<retryCount>-<tableName>      kind: "force" or "delay"
//
// e.g. delay-1700000000-0-vexa_lmdoc_mac_install. Table names hold no "-".

#include <QString>
#include <QtGlobal>

struct QvDataFile {
    QString tableName; // selects the server through the table's priority
    QString filePath;  // full path as found on disk
    qint64 retryCount = 0;
    bool isForce = false; // a forced report whose post failed (else a delayed one)
    qint64 ts = 0;        // seconds since 1970 when cached

    QvDataFile() = default;
    QvDataFile(QString tableName, QString filePath, bool isForce, qint64 ts, qint64 retryCount)
        : tableName(std::move(tableName))
        , filePath(std::move(filePath))
        , retryCount(retryCount)
        , isForce(isForce)
        , ts(ts) {}
};
