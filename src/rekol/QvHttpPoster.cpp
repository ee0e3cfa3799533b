#include "rekol/QvHttpPoster.h"

#include "base/Log.h"
#include "base/ReplyCap.h"
#include "platform/RunOnMain.h"
#include "rekol/QvRekolUtil.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <condition_variable>
#include <mutex>

namespace {

const QString kDomain = QStringLiteral("post failed");

// The reply's text when every byte is ASCII; otherwise the empty text.
QString asciiText(const QByteArray& body) {
    for (char c : body)
        if (static_cast<unsigned char>(c) > 0x7F)
            return {};
    return QString::fromLatin1(body);
}

// True when no HTTP answer can be judged: the connection failed, timed out or
// broke off, or the reply was cut off for its size. An HTTP error status with
// a complete body is still an answer.
bool transportFailed(QNetworkReply* reply) {
    if (ReplyCap::cutOff(reply))
        return true;
    const QNetworkReply::NetworkError err = reply->error();
    if (err == QNetworkReply::NoError)
        return false;
    if (!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        return true;
    // 1-199: connection and proxy errors; 301-399: protocol errors. The
    // 201-299 and 401-499 ranges only mirror the HTTP status.
    return err < 200 || (err >= 300 && err < 400);
}

} // namespace

QvHttpPoster::QvHttpPoster() {
    mQueue.post([this] { mNetwork = new QNetworkAccessManager; });
}

QvHttpPoster::~QvHttpPoster() {
    ++mGeneration; // operations still waiting start nothing
    // A lock and a condition rather than a future: ThreadSanitizer sees this
    // hand-over, so it knows the queue's last use comes before the members go.
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    mQueue.post([&] {
        // Silence and abort open requests before the members they touch go away.
        for (QNetworkReply* reply : mNetwork->findChildren<QNetworkReply*>()) {
            QObject::disconnect(reply, nullptr, nullptr, nullptr);
            reply->abort();
        }
        delete mNetwork;
        mNetwork = nullptr;
        std::lock_guard lock(mutex);
        done = true;
        changed.notify_one(); // under the lock: the waiter cannot leave before it
    });
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return done; });
}

void QvHttpPoster::post(const QString& url, const QByteArray& data, Resolve resolve,
                        Reject reject) {
    logLine(lcRekol(), "mWaitGroup.enter()");
    mWaitGroup.enter();
    const quint64 generation = mGeneration.load();
    std::weak_ptr<int> alive = mAlive;
    mQueue.post([this, generation, url, data, resolve = std::move(resolve),
                 reject = std::move(reject), alive] {
        if (generation != mGeneration.load())
            return; // cancelled at termination
        const QString target = debugURL().value_or(url);

        auto onReply = [this, target, resolve, reject, alive](const QString& text) {
            logLine(lcRekol(), "postData => url['" + target + "'] response['" + text + "']");
            logLine(lcRekol(), "mWaitGroup.leave()");
            mWaitGroup.leave();
            const bool accepted = rekol::findFirst(text, QStringLiteral("result=1")) >= 0;
            runOnMain([accepted, resolve, reject, alive] {
                if (alive.expired())
                    return;
                if (accepted) {
                    if (resolve)
                        resolve();
                } else if (reject) {
                    reject(Error{kDomain, kNotAccepted});
                }
            });
        };
        auto onError = [this, reject, alive](Error error) {
            logLine(lcRekol(), "mWaitGroup.leave()");
            mWaitGroup.leave();
            runOnMain([error, reject, alive] {
                if (!alive.expired() && reject)
                    reject(error);
            });
        };
        postData(target, data, std::move(onReply), std::move(onError));
    });
}

void QvHttpPoster::postData(const QString& postUrl, const QByteArray& postData,
                            std::function<void(const QString&)> resolve,
                            std::function<void(Error)> reject) {
    const QUrl url(postUrl, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != "http" && scheme != "https")) {
        reject(Error{kDomain, kNoReply}); // no request can be made
        return;
    }

    QNetworkRequest request(url);
    request.setTransferTimeout(
        static_cast<int>(std::chrono::milliseconds(kRequestTimeout).count()));
    request.setRawHeader("Content-Type", "application/x-www-form-urlencoded");
    request.setRawHeader("User-Agent", "Mozilla/5.0");
    request.setRawHeader("X-Cf-Platform", "pc");
    request.setRawHeader("X-Cf-Device-Id", "1");

    QNetworkReply* reply = mNetwork->post(request, postData);
    ReplyCap::limit(reply, kMaxReplySize, lcRekol());
    QObject::connect(reply, &QNetworkReply::finished, reply,
                     [reply, resolve = std::move(resolve), reject = std::move(reject)] {
                         reply->deleteLater();
                         if (transportFailed(reply))
                             reject(Error{kDomain, kNoReply});
                         else
                             resolve(asciiText(reply->readAll()));
                     });
}

void QvHttpPoster::ensureClearWaitingPackage(std::chrono::milliseconds bound) {
    logLine(lcRekol(), "clear");
    if (!mWaitGroup.wait(bound)) {
        logLine(lcRekol(), "still tasks uncompleted after timeout, cancel all tasks");
        ++mGeneration;
    } else {
        logLine(lcRekol(), "All tasks completed within timeout");
    }
    logLine(lcRekol(), "finished clear");
}

void QvHttpPoster::setDebugURL(std::optional<QString> url) {
    std::lock_guard lock(mDebugMutex);
    mDebugURL = std::move(url);
}

std::optional<QString> QvHttpPoster::debugURL() const {
    std::lock_guard lock(mDebugMutex);
    return mDebugURL;
}
