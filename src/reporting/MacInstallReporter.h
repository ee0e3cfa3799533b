#pragma once
// The install-point reporter: each install point reached and each click of
// the wizard, to the table "vexa_lmdoc_mac_install".

#include "base/Enums.h"
#include "base/ReportBlock.h"
#include "rekol/QvRekolClient.h"
#include "reporting/BaseReporter.h"

#include <chrono>
#include <functional>
#include <memory>

class MacInstallReporter : public BaseReporter {
public:
    // The process-wide instance, made on first use from QCTRL_PATH and QFMT_PATH
    // in the resources folder. Lives until the application object is destroyed.
    static MacInstallReporter& getInstance();

    // A reporter with its own telemetry client (report cache off); without
    // one when telemetry is off (Config::telemetryOffBy).
    MacInstallReporter(const QString& qctrlPath, const QString& qfmtPath);
    // The same around a client made elsewhere (tests, other data files).
    explicit MacInstallReporter(std::unique_ptr<QvRekolClient> client);

    // baseBlock's uuid, tid1, tid2, tod1 and tod2 go into every report;
    // installPoint is the last real point reported.
    MacInstallReportBlock data() const;
    void setData(const MacInstallReportBlock& block);
    void modifyData(const std::function<void(MacInstallReportBlock&)>& change);

    // Waits at most `bound` for this reporter's posts still in flight.
    void
    ensureClearWaitingPackage(std::chrono::milliseconds bound = QvHttpPoster::kDefaultClearBound);
    // Any thread: that wait ends now, as on its time-out.
    void stopWaiting() {
        if (mClient)
            mClient->stopWaiting();
    }

    // Table and public data for the next report.
    void setPublicData();

    // Any thread; returns once the post is queued. A point of nonePoint sends
    // the last real point reported instead. Takes the processor from the
    // process's last probe (probing when there was none) and reads the OS
    // version once, on the calling thread.
    void report(ENUMInstallPoint point, ENUMInstallClick click, std::int64_t isdefview,
                std::int64_t result, std::int64_t reason, bool force);

    QvRekolClient* client() { return mClient.get(); }

private:
    std::unique_ptr<QvRekolClient> mClient;
    MacInstallReportBlock m_block;
};
