// InstallFlow: the success path (settings, services, reports, launch).
#include "flow/InstallFlow.h"

#include "base/Globals.h"
#include "base/Log.h"
#include "base/PhaseClock.h"
#include "install/Installer.h"
#include "install/ProductPaths.h"
#include "install/RegEditer.h"
#include "platform/SerialQueue.h"
#include "reporting/MacInstallReporter.h"
#include "reporting/Reporter.h"

namespace {
QString flag(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}
} // namespace

void InstallFlow::installSuccess() {
    // Settings writes, services and the launch take a few hundred milliseconds of file
    // and process work; they run in order on the install queue so the window keeps
    // drawing. The choices can no longer change: the start screen is gone.
    workQueue().post([this] {
        recordSuccess();
        start2Use();
    });
}

void InstallFlow::recordSuccess() {
    const std::optional<QString>& ini = g_commonFilePath();
    // The first write that fails says why; the install still counts.
    QString failure;
    if (!m_isOverwriteInstallation) {
        if (ini) {
            RegEditer::Entries choices{
                {"product/setDefault", flag(m_isSetDefault)},
                {"product/setOfdDefault", flag(m_userProfileModel.isAssotiateOFD())}};
            if (m_isPermitInstallService)
                choices.emplace_back("product/engageService", "1");
            RegEditer::setIniValuesWithGroup(choices, *ini, &failure);
        } else {
            logLine(lcFlow(), "no settings file: the installation choices are not recorded");
        }
        Installer::shutDownServices();
    }
    Reporter& plain = Reporter::getInstance();
    if (failure.isEmpty())
        failure = Installer::recordPackageDetail(plain.data(), m_isOverwriteInstallation);
    reportPlain(ENUMInstallResult::installSuccess);
    reportPlain(ENUMInstallResult::installSuccessSettings);

    MacInstallReporter& points = MacInstallReporter::getInstance();
    if (failure.isEmpty())
        failure =
            Installer::recordPackageDetail(points.data().baseBlock, m_isOverwriteInstallation);
    if (!failure.isEmpty() && ini) {
        const QString line = "could not record the installation in " + *ini + ": " + failure;
        logLine(lcFlow(), line);
        writeTerminalLine(stderr, ("lumadoc-installer: " + line + '\n').toUtf8());
    }
    const qint64 version = Installer::checkPackageVersion(ProductPaths().app());
    points.modifyData([version](MacInstallReportBlock& b) { b.baseBlock.lastVer = version; });
    reportPoint(ENUMInstallPoint::installComplete, ENUMInstallClick::none, m_isSetDefault ? 1 : 0,
                1);
    PhaseClock::mark("settings");
}

void InstallFlow::start2Use() {
    if (m_isPermitInstallService)
        Installer::resumeServices();
    reportPoint(ENUMInstallPoint::applicationStart, ENUMInstallClick::none, m_isSetDefault ? 1 : 0,
                1);
    m_productStarted = Installer::startUse();
    PhaseClock::mark("launch");
    onMain([this] {
        if (m_host.finished)
            m_host.finished(INSTALLER_STATUS::Install_success);
        m_host.terminate();
    });
}
