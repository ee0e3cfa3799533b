#pragma once
// Entry point of the Rekol telemetry: takes reports (a table name and a
// payload text) and posts them at once (forced) or keeps them for a later
// upload (delayed, only with the report cache on).
//
// A forced report is posted as the form text
//
//   appid=<REKOL_3RD_DEFAULT_REPORTER_ID>&data=<payload, verbatim>&client=1
//
// What the cache stores is the framed packet (QvRekolHeader + payload).
// report() never blocks on the network; outcomes are only logged.

#include "rekol/QvDataCache.h"
#include "rekol/QvHttpPoster.h"
#include "rekol/QvRekolControl.h"
#include "rekol/QvRekolFormat.h"

#include <QString>
#include <chrono>
#include <memory>
#include <optional>

class QvRekolClient {
public:
    // File names in the resources folder, as the installer ships them.
    // Never fails: missing or bad files show later as product number 0 or as
    // tables that are not found. With bUploadCache a first upload pass runs.
    QvRekolClient(const QString& qctrlPath, const QString& qfmtPath, bool bUploadCache);
    // The same with objects already loaded (tests, other data sources).
    QvRekolClient(QvRekolControl control, QvRekolFormat format, bool bUploadCache);
    ~QvRekolClient();

    QvRekolClient(const QvRekolClient&) = delete;
    QvRekolClient& operator=(const QvRekolClient&) = delete;

    // Any thread. False when refused: product number below 1, table not in the
    // format file, payload too long to frame (over 65522 UTF-8 bytes) or a
    // product number that does not fit 32 bits; each refusal logs a warning.
    // True otherwise, including a delayed report dropped with the cache off.
    bool report(const QString& tableName, const QString& payload, bool force);

    // Waits at most `bound` for the posts in flight (termination).
    void
    ensureClearWaitingPackage(std::chrono::milliseconds bound = QvHttpPoster::kDefaultClearBound);
    void stopWaiting() {
        if (mPoster)
            mPoster->stopWaiting();
    }

    qint64 productId() const { return mProductId; }
    const std::optional<QString>& defaultUrl() const { return mDefaultUrl; }
    bool uploadsCache() const { return m_bUpdateLoadCache; }
    QvHttpPoster& poster() { return *mPoster; }

    // The form text a forced report of `payload` posts.
    static QByteArray formBody(const QString& payload);

private:
    void init(bool bUploadCache);
    static void writeCacheFile(const QString& tableName, bool isForce, const QByteArray& packet);

    std::unique_ptr<QvRekolControl> mControl;
    std::unique_ptr<QvRekolFormat> mFormat;
    std::unique_ptr<QvDataCache> mDataCache;
    std::unique_ptr<QvHttpPoster> mPoster; // last: its callbacks reach the members above
    std::optional<QString> mDefaultUrl;
    qint64 mProductId = 0;
    bool m_bUpdateLoadCache = false;
};
