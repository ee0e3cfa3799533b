#include "base/ReplyCap.h"

#include "base/Log.h"

#include <QNetworkReply>

namespace {
const char* const kCutOff = "lumadocCutOff";
}

namespace ReplyCap {

void limit(QNetworkReply* reply, qint64 cap, const QLoggingCategory& category) {
    reply->setReadBufferSize(cap + 1);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, cap, &category](qint64 received, qint64 total) {
                         if ((received <= cap && total <= cap) || cutOff(reply))
                             return;
                         reply->setProperty(kCutOff, true);
                         logLine(category, QStringLiteral("reply from %1 over %2 bytes, cut off")
                                               .arg(reply->url().toString())
                                               .arg(cap));
                         reply->abort();
                     });
}

bool cutOff(const QNetworkReply* reply) {
    return reply->property(kCutOff).toBool();
}

} // namespace ReplyCap
