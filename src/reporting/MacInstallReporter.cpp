#include "reporting/MacInstallReporter.h"

#include "base/Globals.h"
#include "install/Installer.h"
#include "install/MacOSVersion.h"
#include "reporting/SharedInstance.h"

namespace {

qint64 chipCode(OS_TYPE type) {
    switch (type) {
    case OS_TYPE::x86:
        return 1;
    case OS_TYPE::arm:
        return 2;
    case OS_TYPE::unknown:
        break;
    }
    return 0;
}

} // namespace

MacInstallReporter& MacInstallReporter::getInstance() {
    return SharedInstance<MacInstallReporter>::get();
}

MacInstallReporter::MacInstallReporter(const QString& qctrlPath, const QString& qfmtPath)
    : MacInstallReporter(makeClient(qctrlPath, qfmtPath)) {}

MacInstallReporter::MacInstallReporter(std::unique_ptr<QvRekolClient> client)
    : mClient(std::move(client)) {}

MacInstallReportBlock MacInstallReporter::data() const {
    std::lock_guard lock(m_mutex);
    return m_block;
}

void MacInstallReporter::setData(const MacInstallReportBlock& block) {
    std::lock_guard lock(m_mutex);
    m_block = block;
}

void MacInstallReporter::modifyData(const std::function<void(MacInstallReportBlock&)>& change) {
    std::lock_guard lock(m_mutex);
    change(m_block);
}

void MacInstallReporter::ensureClearWaitingPackage(std::chrono::milliseconds bound) {
    if (mClient)
        mClient->ensureClearWaitingPackage(bound);
}

void MacInstallReporter::setPublicData() {
    std::lock_guard lock(m_mutex);
    const ReportBlock& base = m_block.baseBlock;
    setReportTable(MAC_PRIVATE_TABLE_NAME);
    fillPublicData({base.uuid, base.tid1, base.tid2, base.tod1, base.tod2, 0, 3201, 1, 502,
                    countryCode(), currentLanguage()});
}

void MacInstallReporter::report(ENUMInstallPoint point, ENUMInstallClick click,
                                std::int64_t isdefview, std::int64_t result, std::int64_t reason,
                                bool force) {
    std::lock_guard lock(m_mutex);
    setPublicData();
    if (point != ENUMInstallPoint::nonePoint)
        m_block.installPoint = point;
    else
        point = m_block.installPoint;

    m_properties["os"] = qint64(MacOSVersion::getMainOsVersion());
    // A probe starts a shell and uname on the caller's thread, the install
    // queue among them: the flow's own answer, not a probe per report.
    m_properties["chip"] = chipCode(Installer::knownOSArch());
    m_properties["product_id"] = qint64(502);
    m_properties["point"] = qint64(rawValue(point));
    m_properties["click"] = qint64(rawValue(click));
    m_properties["isdefview"] = qint64(isdefview);
    m_properties["reserved1"] = qint64(6);
    m_properties["reserved2"] = qint64(0);
    m_properties["ver"] = qint64(1);
    m_properties["result"] = qint64(result);
    m_properties["reason"] = qint64(reason);

    if (mClient)
        mClient->report(MAC_PRIVATE_TABLE_NAME, toString().value_or(QString()), force);
}
