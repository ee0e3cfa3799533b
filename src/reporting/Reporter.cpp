#include "reporting/Reporter.h"

#include "base/Globals.h"
#include "install/MacOSVersion.h"
#include "reporting/SharedInstance.h"

Reporter& Reporter::getInstance() {
    return SharedInstance<Reporter>::get();
}

Reporter::Reporter(const QString& qctrlPath, const QString& qfmtPath)
    : Reporter(makeClient(qctrlPath, qfmtPath)) {}

Reporter::Reporter(std::unique_ptr<QvRekolClient> client)
    : mClient(std::move(client)) {}

ReportBlock Reporter::data() const {
    std::lock_guard lock(m_mutex);
    return m_block;
}

void Reporter::setData(const ReportBlock& block) {
    std::lock_guard lock(m_mutex);
    m_block = block;
}

void Reporter::modifyData(const std::function<void(ReportBlock&)>& change) {
    std::lock_guard lock(m_mutex);
    change(m_block);
}

void Reporter::ensureClearWaitingPackage(std::chrono::milliseconds bound) {
    if (mClient)
        mClient->ensureClearWaitingPackage(bound);
}

void Reporter::setPublicData() {
    std::lock_guard lock(m_mutex);
    setReportTable(PRIVATE_TABLE_NAME);
    fillPublicData({m_block.uuid, m_block.tid1, m_block.tid2, m_block.tod1, m_block.tod2, 0, 3201,
                    1, 502, countryCode(), currentLanguage()});
}

void Reporter::report(bool bSuccess, ENUMInstallResult result, bool bSilent, bool bCover,
                      bool force) {
    std::lock_guard lock(m_mutex);
    setPublicData();

    const int raw = rawValue(result);
    // The flags are the caller's arguments alone: the server's figures count an
    // overwrite installation only where the caller says so (result 2), not from the block.
    qint64 reportResult = bSuccess ? 1 : 0;
    qint64 silent = bSilent ? 1 : 0;
    qint64 installType = bCover ? 1 : 0;
    switch (raw) {
    case 1:
        reportResult = 1;
        break;
    case 22:
    case 200:
        reportResult = 3;
        silent = installType = 200;
        break;
    case 100:
        reportResult = silent = installType = 3;
        break;
    default:
        break;
    }

    m_properties["result"] = reportResult;
    m_properties["reason"] = qint64(raw);
    m_properties["installtype"] = installType;
    m_properties["silent"] = silent;
    m_properties["os"] = qint64(MacOSVersion::getMainOsVersion());
    m_properties["product_id"] = qint64(502);
    m_properties["version"] = qint64(6);
    m_properties["parentproce"] = qint64(1);
    m_properties["lastday"] = qint64(1);
    m_properties["before_tid1"] = qint64(1);
    m_properties["before_tid2"] = qint64(1);

    if (mClient)
        mClient->report(PRIVATE_TABLE_NAME, toString().value_or(QString()), force);
}
