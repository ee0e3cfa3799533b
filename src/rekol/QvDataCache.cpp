#include "rekol/QvDataCache.h"
#include "base/DecimalText.h"

#include "rekol/QvHttpPoster.h"
#include "rekol/QvLogUtil.h"
#include "rekol/QvRekolControl.h"
#include "rekol/QvRekolUtil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

qint64 systemNow() {
    return QDateTime::currentSecsSinceEpoch();
}

QString fileName(const QString& tableName, bool isForce, qint64 ts, qint64 retryCount) {
    return QString("%1-%2-%3-%4")
        .arg(isForce ? "force" : "delay")
        .arg(ts)
        .arg(retryCount)
        .arg(tableName);
}

// Removes one entry of the cache directory. A link is removed itself, never
// what it points to; a real directory goes with its contents.
bool removeEntry(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

} // namespace

QvDataCache::QvDataCache(std::function<qint64()> now)
    : m_now(now ? std::move(now) : std::function<qint64()>(systemNow)) {}

QString QvDataCache::getDataDirectoryPath() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty()) {
        QvLogUtil::e("QvDataFile => ERROR: no documents directory");
        return {};
    }
    const QString path = documents + "/rekol";
    const QFileInfo info(path);
    if (info.isDir())
        return path;
    if (info.exists() || info.isSymLink()) {
        QvLogUtil::e("QvDataFile => ERROR: '" + path + "' is not a directory");
        return {};
    }
    std::error_code error;
    std::filesystem::create_directory(QFile::encodeName(path).toStdString(), error);
    if (error) {
        QvLogUtil::e(QString::fromStdString(error.message()));
        return {};
    }
    return path;
}

QString QvDataCache::getCacheFilePath(const QString& tableName, bool isForce, qint64 ts,
                                      qint64 retryCount) {
    const QString directory = getDataDirectoryPath();
    if (directory.isEmpty())
        return {};
    return directory + '/' + fileName(tableName, isForce, ts, retryCount);
}

std::vector<QvDataFile> QvDataCache::listCacheFiles(qint64 now) {
    std::vector<QvDataFile> records;
    const QString directory = getDataDirectoryPath();
    if (!directory.isEmpty()) {
        const QStringList entries = QDir(directory).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
        for (const QString& entry : entries) {
            const QString fullPath = directory + '/' + entry;
            const QStringList pieces = entry.split('-', Qt::SkipEmptyParts);
            if (pieces.size() != 4) {
                QvLogUtil::w("QvDataFile => removeItem['" + fullPath + "']");
                removeEntry(fullPath); // one that cannot go is skipped; the pass goes on
                continue;
            }
            records.emplace_back(pieces[3], fullPath, pieces[0] == "force",
                                 DecimalText::parse(pieces[1]).value_or(now),
                                 DecimalText::parse(pieces[2]).value_or(0));
        }
    }
    QvLogUtil::w(QString("QvDataFile => cache files count['%1']").arg(records.size()));
    return records;
}

void QvDataCache::postCacheFiles(const QvRekolControl& control, QvHttpPoster& poster) {
    const qint64 now = m_now();
    {
        std::lock_guard lock(m_mutex);
        if (std::llabs(now - mLastUploadCacheFiles) <= kThrottleSeconds)
            return;
        mLastUploadCacheFiles = now;
    }
    for (const QvDataFile& record : listCacheFiles(now)) {
        const QString path =
            getCacheFilePath(record.tableName, record.isForce, record.ts, record.retryCount);
        // A name the cache would not have written (e.g. a doubled "-") is left alone.
        if (path.isEmpty() || path != record.filePath)
            continue;
        QFile file(path);
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray packet = file.readAll();
        file.close();

        const QString url = control.getServerUrl(record.tableName);
        poster.post(
            url, packet,
            [record] {
                QvLogUtil::d("QvDataFile => post cache table['" + record.tableName +
                             "'] => success");
                deleteCacheFile(record);
            },
            [record](const QvHttpPoster::Error&) {
                if (record.retryCount < kMaxRetryCount)
                    updateRetryCount(record);
                else
                    deleteCacheFile(record);
            });
    }
}

void QvDataCache::deleteCacheFile(const QvDataFile& file) {
    QFile target(file.filePath);
    if (!target.remove())
        QvLogUtil::e("QvDataFile => ERROR: failed to delete!!! error:" + target.errorString());
}

void QvDataCache::updateRetryCount(const QvDataFile& file) {
    const QString renamed =
        getCacheFilePath(file.tableName, file.isForce, file.ts, file.retryCount + 1);
    QFile source(file.filePath);
    if (renamed.isEmpty() || !source.rename(renamed))
        QvLogUtil::e("QvDataFile => ERROR: failed to rename!!! error:" + source.errorString());
}
