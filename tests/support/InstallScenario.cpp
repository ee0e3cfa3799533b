#include "support/InstallScenario.h"

#include "base/Config.h"
#include "fakeproduct/FakeProduct.h"
#include "reporting/MacInstallReporter.h"
#include "reporting/Reporter.h"
#include "reporting/SharedInstance.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

QString time(const QJsonObject& report) {
    return report["data"]["#time"].toString();
}

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
    stopProduct(); // none may outlive the test
}

bool InstallScenario::serveProduct(const QString& version, qint64 payloadBytes) {
    FakeProduct::Options options;
    options.version = version;
    options.markerPath = markerPath();
    options.payloadBytes = payloadBytes;
    const QString dir = m_work.filePath("image-" + version), image = m_work.filePath("image.dmg");
    QFile::remove(image);
    return !FakeProduct::write(dir, options).isEmpty() && FakeProduct::makeDiskImage(dir, image) &&
           (serveRaw(readFile(image)), true);
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

Tree InstallScenario::reinstallPrevious() {
    stopProduct();
    QDir(installedApp()).removeRecursively();
    return snapshotTree(installPrevious());
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

QProcessEnvironment InstallScenario::offline() const {
    QProcessEnvironment env = environment();
    env.insert("LUMADOC_DOWNLOAD_BASE_URL", "http://127.0.0.1:9");
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
    std::stable_sort(all.begin(), all.end(),
                     [](const QJsonObject& a, const QJsonObject& b) { return time(a) < time(b); });
    return all;
}

QString InstallScenario::label(const QJsonObject& report) {
    static const char* points[] = {
        "nonePoint",        "showInterface", "installNow",  "downloadStart",   "downloadFail",
        "downloadComplete", "installStart",  "installFail", "installComplete", "applicationStart"};
    const QJsonObject properties = report["data"]["properties"].toObject();
    if (report["table"].toString() == "vexa_tools_install")
        return QString("result %1").arg(properties["reason"].toInt());
    const int point = properties["point"].toInt(), click = properties["click"].toInt();
    return (point >= 0 && point <= 9 ? points[point] : QString::number(point)) +
           (click ? QString(" click %1").arg(click) : QString());
}

QStringList InstallScenario::labels() const {
    const QList<QJsonObject> posts = reports();
    QStringList result;
    std::transform(posts.begin(), posts.end(), std::back_inserter(result), label);
    return result;
}

::testing::AssertionResult InstallScenario::sent(const QStringList& expected) const {
    m_server->waitForTelemetry(expected.size(), 10000);
    const QList<QJsonObject> posts = reports();
    QStringList got;
    std::transform(posts.begin(), posts.end(), std::back_inserter(got), label);
    const std::string all = got.join(", ").toStdString();
    if (got.size() != expected.size())
        return ::testing::AssertionFailure() << "reports: " << all;
    QList<qsizetype> found;
    for (const QString& name : expected) {
        found << got.indexOf(name);
        if (found.last() < 0)
            return ::testing::AssertionFailure() << "no " << name.toStdString() << " in " << all;
        got[found.last()].clear();
    }
    // posts are in time order; one reporter's posts of the same millisecond in the order sent.
    for (qsizetype i = 1; i < found.size(); ++i) {
        const QJsonObject &a = posts[found[i - 1]], &b = posts[found[i]];
        if (found[i - 1] > found[i] && (time(a) != time(b) || a["table"] == b["table"]))
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

QStringList leftovers() {
    const auto all = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    QStringList out;
    for (const QString& name : QDir(sandbox::home()).entryList(all))
        if (name != ".local" && name != ".config") // settings and the window's preferences
            out << "home/" + name;
    for (const QString& name :
         QDir(sandbox::tempDir()).entryList({"package.dmg*", "lumadoc-*"}, all))
        out << "tmp/" + name;
    if (QFileInfo::exists(installJournalPath()))
        out << "journal";
    for (const QString& name : QDir(sandbox::applicationsDir()).entryList(all))
        if (name != "Lumadoc.app")
            out << "apps/" + name;
    return out;
}

::testing::AssertionResult ended(const ProgramRun& run, int status, const QString& says,
                                 const Tree& tree, const QString& app, bool clean) {
    QStringList wrong;
    if (run.status != status)
        wrong << QString("status %1").arg(run.status);
    if (!run.err.contains(QRegularExpression(says)))
        wrong << "no `" + says + "`";
    if (snapshotTree(app) != tree)
        wrong << app + " changed";
    if (clean && !leftovers().isEmpty())
        wrong << "left " + leftovers().join(", ");
    if (wrong.isEmpty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << (wrong.join("; ") + "; said: " + run.err).toStdString();
}
