#pragma once
// What a Downloader shares with its transfer: the owner's callbacks, the
// cancel flag, and the progress figures kept on the main thread. Held by
// shared pointer, so steps already queued never outlive it.

#include "install/Downloader.h"

#include <QFile>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>

struct DownloadShared {
    using Clock = std::chrono::steady_clock;

    // Set by startDownload before the transfer starts; not changed afterwards.
    std::function<void(qint64, qint64, double)> onProgress;
    std::function<void(const QString&)> onDownloadSuccess;
    std::function<void()> onDownloadFailed;
    // Why the run's folder for the part file could not be made ("cannot create <folder>:
    // <reason>"), if it could not.
    QString folderProblem;
    // Why the part file could not be opened: that folder's own reason says the most.
    QString cannotOpen(const QFile& file) const {
        return folderProblem.isEmpty()
                   ? "cannot write " + file.fileName() + ": " + file.errorString()
                   : folderProblem;
    }

    // Set when the Downloader is destroyed; no callback starts afterwards.
    std::atomic<bool> cancelled = false;

    // Set before onDownloadFailed is called.
    void setFailure(Downloader::Failure failure) {
        std::lock_guard lock(failureMutex);
        this->failure = std::move(failure);
    }
    Downloader::Failure lastFailure() const {
        std::lock_guard lock(failureMutex);
        return failure;
    }

    // Main thread only.
    float downloadProgress = 0;
    std::optional<double> estimatedTimeRemaining;
    qint64 downloadedBytes = 0;

    // The progress step, on the main thread: `didWrite` bytes were written
    // by this event, `totalWritten` so far of `totalExpected` (-1: unknown).
    // Updates the figures above and calls onProgress with whole MiB written,
    // whole MiB expected and the estimated seconds left, which is the bytes
    // still expected divided by the average speed since `start`.
    void progressStep(qint64 didWrite, qint64 totalWritten, qint64 totalExpected,
                      Clock::time_point start);

private:
    mutable std::mutex failureMutex;
    Downloader::Failure failure;
};
