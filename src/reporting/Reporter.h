#pragma once
// The plain install reporter: the result of the installation (a result code
// with three flags) to the table "vexa_tools_install".

#include "base/Enums.h"
#include "base/ReportBlock.h"
#include "rekol/QvRekolClient.h"
#include "reporting/BaseReporter.h"

#include <chrono>
#include <functional>
#include <memory>

class Reporter : public BaseReporter {
public:
    // The process-wide instance, made on first use from QCTRL_PATH and QFMT_PATH
    // in the resources folder. Lives until the application object is destroyed.
    static Reporter& getInstance();

    // A reporter with its own telemetry client (report cache off); without
    // one when telemetry is off (Config::telemetryOffBy).
    Reporter(const QString& qctrlPath, const QString& qfmtPath);
    // The same around a client made elsewhere (tests, other data files).
    explicit Reporter(std::unique_ptr<QvRekolClient> client);

    // The block whose uuid, tid1, tid2, tod1 and tod2 go into every report. Its
    // bSilent and bCoverInstall are facts for the callers and the installation
    // record; they never change a report's flags.
    ReportBlock data() const;
    void setData(const ReportBlock& block);
    void modifyData(const std::function<void(ReportBlock&)>& change);

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

    // Any thread; returns once the post is queued. "result", "silent" and
    // "installtype" follow the result code: raw 1 sends result 1; raw 2-21 and
    // 23-26 send the bSuccess flag; raw 22 and 200 send 3 with silent and
    // installtype 200; raw 100 sends 3 for all three. Otherwise silent is the
    // flag of bSilent and installtype the flag of bCover.
    void report(bool bSuccess, ENUMInstallResult result, bool bSilent, bool bCover, bool force);

    QvRekolClient* client() { return mClient.get(); }

private:
    std::unique_ptr<QvRekolClient> mClient;
    ReportBlock m_block;
};
