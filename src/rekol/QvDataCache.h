#pragma once
// Undelivered Rekol packets, one file each, in "<Documents>/rekol". The cache
// only names, lists, uploads, renames and removes files; it never looks inside.
//
// A file is posted again by each upload pass (at most one pass per 10 seconds
// per cache object). A rejected post raises the retry count in the file's
// name; one rejected at retry count 6 is deleted, so a packet is posted at
// most 7 times. An accepted post deletes the file.

#include "rekol/QvDataFile.h"

#include <QString>
#include <functional>
#include <mutex>
#include <vector>

class QvHttpPoster;
class QvRekolControl;

class QvDataCache {
public:
    static constexpr qint64 kMaxRetryCount = 6;
    static constexpr qint64 kThrottleSeconds = 9; // a pass this close to the last one is skipped

    // `now` gives seconds since 1970; the system clock unless a test supplies one.
    explicit QvDataCache(std::function<qint64()> now = {});

    // Full path for a packet file by the naming scheme; creates the cache
    // directory when missing. The empty text when the directory cannot be
    // made: the caller must then write nothing.
    static QString getCacheFilePath(const QString& tableName, bool isForce, qint64 ts,
                                    qint64 retryCount);

    // One upload pass: lists the directory (removing malformed entries) and
    // posts every packet to its table's server. Outcomes arrive later on the
    // main thread. Does nothing within kThrottleSeconds of the previous pass.
    // `control` must outlive the call; `poster` must outlive its callbacks.
    void postCacheFiles(const QvRekolControl& control, QvHttpPoster& poster);

    // Removes the record's file; a failure is logged and the file stays.
    static void deleteCacheFile(const QvDataFile& file);
    // Renames the record's file to the name with retryCount + 1.
    static void updateRetryCount(const QvDataFile& file);

    // The cache directory, created when missing (parent must exist); the empty
    // text when it cannot be made.
    static QString getDataDirectoryPath();

private:
    static std::vector<QvDataFile> listCacheFiles(qint64 now);

    std::function<qint64()> m_now;
    std::mutex m_mutex;
    qint64 mLastUploadCacheFiles = 0;
};
