#pragma once
// Transport of the telemetry: posts one opaque body to one URL and judges the
// reply by its text alone ("result=1" anywhere means accepted).
//
// Requests start on the poster's serial queue "QvRekolQueue", where its network
// access manager lives; replies complete there too, so the main thread may block
// in ensureClearWaitingPackage() without stalling them. The caller's callbacks
// always run later on the main thread.

#include "platform/SerialQueue.h"
#include "platform/WaitGroup.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QNetworkAccessManager;

class QvHttpPoster {
public:
    // Handed to the reject callback. The poster itself only makes domain
    // "post failed" with code 1 (no usable reply) or 2 (no "result=1").
    struct Error {
        QString domain;
        int code = 0;
    };
    static constexpr int kNoReply = 1;
    static constexpr int kNotAccepted = 2;

    using Resolve = std::function<void()>;
    using Reject = std::function<void(const Error&)>;

    // A request that receives nothing for this long gives up (code 1).
    static constexpr std::chrono::seconds kRequestTimeout{60};
    // A reply is a short text; a longer one is cut off there (code 1), never
    // kept whole in memory however long the server goes on.
    static constexpr qint64 kMaxReplySize = 64 * 1024;
    static constexpr std::chrono::seconds kDefaultClearBound{15};

    QvHttpPoster();
    // Aborts requests still open; callbacks not yet delivered are dropped.
    ~QvHttpPoster();

    QvHttpPoster(const QvHttpPoster&) = delete;
    QvHttpPoster& operator=(const QvHttpPoster&) = delete;

    // Any thread. Returns at once; exactly one of the callbacks follows on the
    // main thread, unless the post is cancelled by ensureClearWaitingPackage()
    // or the poster is destroyed first. The body is sent unchanged.
    void post(const QString& url, const QByteArray& data, Resolve resolve, Reject reject);

    // Blocks for at most `bound` until every accepted post has completed; on
    // time-out, posts whose request has not started yet are dropped (a request
    // already sent keeps running). Meant for termination, on the main thread.
    void ensureClearWaitingPackage(std::chrono::milliseconds bound = kDefaultClearBound);
    // Any thread: that wait, now or later, ends at once as on its time-out (the
    // user asked the installer to stop while it drained).
    void stopWaiting() { mWaitGroup.release(); }

    // When set, every later post goes to this URL whatever the caller gave.
    void setDebugURL(std::optional<QString> url);
    std::optional<QString> debugURL() const;

    // Posts accepted whose request has not completed yet.
    int pendingCount() const { return mWaitGroup.count(); }

private:
    void postData(const QString& postUrl, const QByteArray& postData,
                  std::function<void(const QString&)> resolve, std::function<void(Error)> reject);

    SerialQueue mQueue{"QvRekolQueue"};
    WaitGroup mWaitGroup;
    QNetworkAccessManager* mNetwork = nullptr; // lives on mQueue's thread
    // Bumped by a time-out in ensureClearWaitingPackage(): operations queued
    // under an older generation do not run.
    std::atomic<quint64> mGeneration{0};
    // Outlives nothing: main-thread callbacks check it so that none reaches
    // the caller after the poster is gone.
    std::shared_ptr<int> mAlive = std::make_shared<int>(0);
    mutable std::mutex mDebugMutex;
    std::optional<QString> mDebugURL;
};
