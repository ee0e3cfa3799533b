#pragma once
// Downloads the product's disk image into the run's private temporary folder
// (InstallJournal::tempFolder(), mode 0700) as "package.dmg", reporting progress on the main thread
// and the outcome on the download's own serial queue.
//
// Use: set the three callbacks, then call startDownload() once. One instance
// per attempt; it is not reused. The owner then receives
//   - onProgress any number of times, on the main thread, in event order;
//   - then exactly one of onDownloadSuccess(path) or onDownloadFailed(), on
//     the download's serial queue (a background thread). Work started from
//     there (the install) runs on that queue.
// Progress steps are queued to the main thread, so one may arrive after the
// outcome; nothing orders the two.
//
// With a package key (Settings::publicKey), the signed manifest beside the
// package is fetched and checked first, and the body must match its size and
// SHA-256; without one, "package signature not checked: no key configured" is
// logged and any body is taken.
//
// The body is written to partPath() and renamed to packagePath() when whole.
// A part left by an earlier attempt of this process is continued with a range
// request ("If-Range" with the earlier reply's ETag, else its Last-Modified);
// a 200 answer starts again from zero, and so does a 206 whose validator is
// not the part's or whose range does not start where the part ends.
//
// Failure means: no connection, a transfer (manifest, signature or package)
// idle for the time-out or slower than the low-speed limit, a reply with HTTP
// status 400 or above, a body shorter than its announced length or cut off,
// not enough free space for the announced length, a file that cannot be
// written, a package that fails verification (deleted then), or a file that
// cannot be moved to "package.dmg". Success always names a complete new file,
// with one limit: a body without a length (chunked) that the server cuts off
// is not always told from a complete one by Qt's HTTP client; the disk image
// step rejects such a file. Redirects are followed unless they lead from https
// to http; proxies come from the system (http_proxy, https_proxy, no_proxy on
// Linux); TLS is verified.
//
// Destroying the Downloader cancels a running transfer; no callback starts
// afterwards. It may be destroyed from any thread, also from inside its own
// success or failure callback (the retry path does that). Destroyed from
// another thread while an outcome callback runs, it waits for that callback
// to return.

#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// How one download attempt behaves; see Downloader.
struct DownloadSettings {
    // A transfer that receives nothing for this long fails.
    std::chrono::milliseconds transferTimeout = std::chrono::seconds(60);
    // A transfer that receives fewer than lowSpeedBytesPerSecond on
    // average over any lowSpeedWindow fails.
    qint64 lowSpeedBytesPerSecond = 1024;
    std::chrono::milliseconds lowSpeedWindow = std::chrono::seconds(60);
    // Base64 of the raw Ed25519 package key; empty: packages are not checked.
    QString publicKey;
    // CFBundleShortVersionString of the installed application; empty: none.
    QString installedVersion;

    // The configured key and the installed application's version.
    static DownloadSettings current();
};

class DownloadTransfer;
class SerialQueue;
struct DownloadShared;

class Downloader {
public:
    // Whole MiB received, whole MiB expected (0 when unknown), estimated
    // seconds left (negative when the size is unknown).
    using ProgressCallback =
        std::function<void(qint64 writtenMiB, qint64 expectedMiB, double secondsLeft)>;
    using SuccessCallback = std::function<void(const QString& packagePath)>;
    using FailureCallback = std::function<void()>;

    using Settings = DownloadSettings;

    // Why the last attempt failed, for the user; `Transfer` failures are
    // network problems and carry the log's wording.
    struct Failure {
        // LocalFile: the part file could not be written ("cannot write <path>: <reason>").
        enum class Kind { Transfer, Verification, DiskSpace, LocalFile };
        Kind kind = Kind::Transfer;
        QString reason; // "wrong hash", "not enough disk space in /tmp", ...
    };

    explicit Downloader(Settings settings = Settings::current());
    ~Downloader();

    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // Read by startDownload; setting them later has no effect. A missing
    // callback is skipped.
    ProgressCallback onProgress;
    SuccessCallback onDownloadSuccess;
    FailureCallback onDownloadFailed;

    // Logs "Starting download from <url>" and starts the GET; returns at once.
    // Only the first call on an instance does anything.
    void startDownload(const QUrl& url);

    // Main thread only: the latest figures of the progress step (fraction of
    // the expected size, seconds left; no value before the first step).
    float downloadProgress() const;
    std::optional<double> estimatedTimeRemaining() const;

    // Any thread, once onDownloadFailed has been called: why.
    Failure failure() const;

    // "<the run's temporary folder>/package.dmg" (under TMPDIR on Unix).
    static QString packagePath();
    // "<the run's temporary folder>/package.dmg.part": the body while it arrives.
    static QString partPath();
    // Bytes as whole MiB, truncated toward zero: 1048575 -> 0, 1048576 -> 1.
    static qint64 wholeMiB(qint64 bytes);

private:
    Settings m_settings;
    std::shared_ptr<DownloadShared> m_shared;
    std::unique_ptr<SerialQueue> m_queue;
    DownloadTransfer* m_transfer = nullptr; // lives on m_queue, deleted there
};
