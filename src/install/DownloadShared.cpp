#include "install/DownloadShared.h"

#include "install/Downloader.h"

void DownloadShared::progressStep(qint64 didWrite, qint64 totalWritten, qint64 totalExpected,
                                  Clock::time_point start) {
    if (cancelled)
        return;
    downloadProgress = static_cast<float>(totalWritten) / static_cast<float>(totalExpected);
    downloadedBytes += didWrite;
    // A plain average since the start: no smoothing, no window. An unknown
    // total (-1) gives negative figures, which the owner must tolerate.
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const qint64 remaining = totalExpected - totalWritten;
    const double speed = static_cast<double>(downloadedBytes) / elapsed;
    estimatedTimeRemaining = static_cast<double>(remaining) / speed;
    if (onProgress)
        onProgress(Downloader::wholeMiB(totalWritten), Downloader::wholeMiB(totalExpected),
                   *estimatedTimeRemaining);
}
