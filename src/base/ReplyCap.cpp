#include "base/ReplyCap.h"

#include "base/Log.h"

#include <QNetworkReply>

namespace {
const char* const kCutOff = "lumadocCutOff";
}

namespace ReplyCap {

void limit(QNetworkReply* reply, qint64 cap, const QLoggingCategory& category) {
    reply->setReadBufferSize(cap + 1);
    const auto judge = [reply, cap, &category](qint64 received, qint64 total) {
        if ((received <= cap && total <= cap) || cutOff(reply))
            return;
        reply->setProperty(kCutOff, true);
        logLine(category, QStringLiteral("reply from %1 over %2 bytes, cut off")
                              .arg(reply->url().toString())
                              .arg(cap));
        reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, judge);
    // Qt holds back a progress signal that comes too soon after the last, and once the
    // capped buffer is full no later one comes: what is held is judged as it arrives too.
    QObject::connect(reply, &QIODevice::readyRead, reply,
                     [reply, judge] { judge(reply->bytesAvailable(), -1); });
}

bool cutOff(const QNetworkReply* reply) {
    return reply->property(kCutOff).toBool();
}

} // namespace ReplyCap
