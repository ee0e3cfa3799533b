#include "support/InstallScenario.h"

#include "base/Config.h"
#include "fakeproduct/FakeProduct.h"
#include "reporting/MacInstallReporter.h"
#include "reporting/Reporter.h"
#include "reporting/SharedInstance.h"
#include "support/Files.h"
#include "support/ProgramRun.h"
#include "support/Sandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <algorithm>

namespace {

const char* kPointNames[] = {"nonePoint",       "showInterface",    "installNow",   "downloadStart",
                             "downloadFail",    "downloadComplete", "installStart", "installFail",
                             "installComplete", "applicationStart"};

} // namespace

InstallScenario::InstallScenario(const QStringList& serverOptions, const QString& telemetryUrl)
    : m_server(std::make_unique<DevServer>(serverOptions)) {
    const QString url =
        telemetryUrl.isEmpty() ? m_server->baseUrl() + "/rekol/report" : telemetryUrl;
    QFile::copy(LUMADOC_SOURCE_DIR "/resources/data/qfmt.dat", m_resources.filePath("qfmt.dat"));
    writeFile(m_resources.filePath("qctrl.dat"),
              ("[common]\nproduct=502\nserver0=" + url + "\nserver2=" + url + "\n").toUtf8());
}

InstallScenario::~InstallScenario() {
    // The fake product's programs run until killed; none may outlive the test.
    QProcess::execute("pkill", {"-KILL", "-f", sandbox::applicationsDir() + "/"});
}

bool InstallScenario::serveProduct(const QString& version, qint64 payloadBytes) {
    const QString source = m_work.filePath("image-" + version);
    FakeProduct::Options options;
    options.version = version;
    options.markerPath = markerPath();
    options.payloadBytes = payloadBytes;
    if (FakeProduct::write(source, options).isEmpty())
        return false;
    const QString image = m_server->packageDir() + "/lumadoc_x86_64.dmg";
    QFile::remove(image);
    QFile::remove(m_server->packageDir() + "/lumadoc_arm64.dmg");
    return FakeProduct::makeDiskImage(source, image) &&
           QFile::copy(image, m_server->packageDir() + "/lumadoc_arm64.dmg");
}

QString InstallScenario::servedApp(const QString& version) const {
    return m_work.filePath("image-" + version) + "/Lumadoc.app";
}

void InstallScenario::serveRaw(const QByteArray& bytes) {
    m_server->addPackage("lumadoc_x86_64.dmg", bytes);
    m_server->addPackage("lumadoc_arm64.dmg", bytes);
}

QString InstallScenario::installPrevious(const QString& version) {
    FakeProduct::Options options;
    options.version = version;
    options.markerPath = markerPath();
    return FakeProduct::write(sandbox::applicationsDir(), options);
}

void InstallScenario::applyToThisProcess() const {
    qputenv("LUMADOC_RESOURCE_DIR", m_resources.path().toLocal8Bit());
    qputenv("LUMADOC_DOWNLOAD_BASE_URL", m_server->baseUrl().toLocal8Bit());
    // Configuration and reporters are made once per process: an earlier scenario's
    // would send this one's downloads and reports to a server that is gone.
    Config::reload();
    SharedInstance<Reporter>::reset();
    SharedInstance<MacInstallReporter>::reset();
}

QProcessEnvironment InstallScenario::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LUMADOC_RESOURCE_DIR", m_resources.path());
    env.insert("LUMADOC_DOWNLOAD_BASE_URL", m_server->baseUrl());
    return env;
}

QString InstallScenario::markerPath() const {
    return m_work.filePath("launches.txt");
}

QString InstallScenario::settingsPath() const {
    return sandbox::dataDir() + "/Lumadoc/reg/common.ini";
}

QList<QJsonObject> InstallScenario::reports() const {
    QList<QJsonObject> all = m_server->telemetry();
    std::stable_sort(all.begin(), all.end(), [](const QJsonObject& a, const QJsonObject& b) {
        return a["data"].toObject()["#time"].toString() < b["data"].toObject()["#time"].toString();
    });
    return all;
}

QStringList InstallScenario::labels() const {
    QStringList result;
    for (const QJsonObject& report : reports())
        result << label(report);
    return result;
}

QString InstallScenario::label(const QJsonObject& report) {
    const QJsonObject properties = report["data"].toObject()["properties"].toObject();
    if (report["table"].toString() == "vexa_tools_install")
        return QString("result %1").arg(properties["reason"].toInt());
    const int point = properties["point"].toInt();
    const int click = properties["click"].toInt();
    QString name = point >= 0 && point <= 9 ? kPointNames[point] : QString::number(point);
    if (click != 0)
        name += QString(" click %1").arg(click);
    return name;
}

::testing::AssertionResult InstallScenario::inOrder(const QList<QJsonObject>& reports,
                                                    const QStringList& expected) {
    QStringList got;
    for (const QJsonObject& report : reports)
        got << label(report);
    const QString all = got.join(", ");
    if (got.size() != expected.size())
        return ::testing::AssertionFailure() << "reports: " << all.toStdString();
    QList<qsizetype> found;
    for (const QString& name : expected) {
        const qsizetype at = got.indexOf(name);
        if (at < 0)
            return ::testing::AssertionFailure()
                   << "missing " << name.toStdString() << " in " << all.toStdString();
        found << at;
        got[at].clear();
    }
    const auto time = [&](qsizetype at) {
        return reports[at]["data"].toObject()["#time"].toString();
    };
    for (qsizetype i = 1; i < found.size(); ++i) {
        const qsizetype a = found[i - 1], b = found[i];
        // One reporter's reports of the same millisecond arrive in the order sent.
        const bool sameReporter = reports[a]["table"] == reports[b]["table"];
        if (time(a) > time(b) || (time(a) == time(b) && sameReporter && a > b))
            return ::testing::AssertionFailure()
                   << expected[i - 1].toStdString() << " after " << expected[i].toStdString();
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult InstallScenario::telemetryOff(const ProgramRun& run,
                                                         const QString& reason) const {
    // The exit waits for posts in flight: any post would be in by now.
    if (const qsizetype posts = m_server->telemetry().size(); posts != 0)
        return ::testing::AssertionFailure() << posts << " posts";
    if (run.log.count("telemetry off") != 1 ||
        !run.log.contains("telemetry off (" + reason + ")") || run.log.contains("[QvRekol]"))
        return ::testing::AssertionFailure() << "log: " << run.log.toStdString();
    if (QFileInfo::exists(sandbox::home() + "/Documents/rekol") || !run.err.isEmpty())
        return ::testing::AssertionFailure() << "kept reports or said: " << run.err.toStdString();
    return ::testing::AssertionSuccess();
}
