#include "rekol/QvRekolClient.h"

#include "base/Globals.h"
#include "base/Log.h"
#include "rekol/QvLogUtil.h"
#include "rekol/QvRekolHeader.h"

#include <QDateTime>
#include <QSaveFile>
#include <limits>

QvRekolClient::QvRekolClient(const QString& qctrlPath, const QString& qfmtPath, bool bUploadCache) {
    QvLogUtil::d("init => qctrl['" + qctrlPath + "'] qfmt['" + qfmtPath + "']");
    mControl = std::make_unique<QvRekolControl>(qctrlPath);
    mFormat = std::make_unique<QvRekolFormat>(qfmtPath);
    init(bUploadCache);
}

QvRekolClient::QvRekolClient(QvRekolControl control, QvRekolFormat format, bool bUploadCache) {
    mControl = std::make_unique<QvRekolControl>(std::move(control));
    mFormat = std::make_unique<QvRekolFormat>(std::move(format));
    init(bUploadCache);
}

QvRekolClient::~QvRekolClient() = default;

void QvRekolClient::init(bool bUploadCache) {
    mPoster = std::make_unique<QvHttpPoster>();
    mDataCache = std::make_unique<QvDataCache>();
    mProductId = mControl->getProductId();
    mDefaultUrl = mControl->getServerUrl(qint64{0});
    QvLogUtil::w(QString("QvRekolClient => productId['%1']").arg(mProductId));
    m_bUpdateLoadCache = bUploadCache;
    if (m_bUpdateLoadCache)
        mDataCache->postCacheFiles(*mControl, *mPoster);
}

QByteArray QvRekolClient::formBody(const QString& payload) {
    return ("appid=" + QString(REKOL_3RD_DEFAULT_REPORTER_ID) + "&data=" + payload + "&client=1")
        .toUtf8();
}

void QvRekolClient::writeCacheFile(const QString& tableName, bool isForce,
                                   const QByteArray& packet) {
    const QString path =
        QvDataCache::getCacheFilePath(tableName, isForce, QDateTime::currentSecsSinceEpoch(), 0);
    if (path.isEmpty())
        return; // no cache directory: nothing is written anywhere else
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(packet) == packet.size())
        file.commit(); // a failed write is dropped, like an unsent report
}

bool QvRekolClient::report(const QString& tableName, const QString& payload, bool force) {
    logLine(lcRekol(), "report " + tableName + " start");
    if (!mFormat || !mControl) {
        QvLogUtil::e("report => uninitialized!!!");
        return false;
    }
    if (mProductId < 1) {
        QvLogUtil::w(QString("report => WARN: Invalid productId['%1']").arg(mProductId));
        return false;
    }
    if (!mFormat->getTable(tableName)) {
        QvLogUtil::w("report => not found table['" + tableName + "']");
        return false;
    }
    const std::optional<QByteArray> packet = QvRekolHeader::frame(payload, mProductId);
    if (!packet) {
        if (mProductId > std::numeric_limits<quint32>::max())
            QvLogUtil::w(
                QString("report => WARN: productId['%1'] does not fit a packet").arg(mProductId));
        else
            QvLogUtil::w(QString("report => WARN: payload of table['%1'] too long['%2']")
                             .arg(tableName)
                             .arg(payload.toUtf8().size()));
        return false;
    }
    const QString url = mControl->getServerUrl(tableName);
    const QByteArray body = formBody(payload);

    if (!force) {
        if (m_bUpdateLoadCache)
            writeCacheFile(tableName, false, *packet);
        return true;
    }

    const QString bodyText = QString::fromUtf8(body);
    mPoster->post(
        url, body,
        [this, tableName, bodyText] {
            logLine(lcRekol(),
                    "report => post table['" + tableName + "' with " + bodyText + "] success");
            if (m_bUpdateLoadCache)
                mDataCache->postCacheFiles(*mControl, *mPoster);
        },
        [this, tableName, bodyText, packet = *packet](const QvHttpPoster::Error&) {
            logLine(lcRekol(),
                    "report => post table['" + tableName + "' with " + bodyText + "] failed!!!");
            if (m_bUpdateLoadCache)
                writeCacheFile(tableName, true, packet);
        });
    return true;
}

void QvRekolClient::ensureClearWaitingPackage(std::chrono::milliseconds bound) {
    if (mPoster)
        mPoster->ensureClearWaitingPackage(bound);
}
