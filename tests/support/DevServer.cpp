#include "support/DevServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QTest>
#include <csignal>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

const QByteArray kReadyLine = "listening on 127.0.0.1:";

QList<QJsonObject> readJsonLines(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QList<QJsonObject> entries;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (const QJsonDocument document = QJsonDocument::fromJson(line); document.isObject())
            entries.append(document.object());
    return entries;
}

} // namespace

DevServer::DevServer(const QStringList& options) {
    QDir(m_dir.path()).mkpath("packages");
    // Request lines go to the test's own stderr, next to its failures.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifdef __linux__
    // A test process that dies (a crash, a sanitizer abort) takes its server along.
    // macOS has no such switch: there the destructor alone stops the server.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
#endif
    m_process.start(QStringLiteral(LUMADOC_BIN_DIR "/lumadoc-devserver"),
                    QStringList{"--root", packageDir(), "--telemetry-log",
                                m_dir.filePath("telemetry.jsonl"), "--request-log",
                                m_dir.filePath("requests.jsonl")} +
                        options);
    if (!m_process.waitForStarted(10000))
        return;
    QDeadlineTimer deadline(10000);
    while (!m_process.canReadLine() && !deadline.hasExpired() &&
           m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    const QByteArray line = m_process.readLine().trimmed();
    if (line.startsWith(kReadyLine))
        m_port = static_cast<quint16>(line.mid(kReadyLine.size()).toUInt());
}

DevServer::~DevServer() {
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool DevServer::isRunning() const {
    return m_port != 0 && m_process.state() == QProcess::Running;
}

QString DevServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QString DevServer::packageDir() const {
    return m_dir.filePath("packages");
}

QString DevServer::addPackage(const QString& name, const QByteArray& content) const {
    QFile file(packageDir() + '/' + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write test package %s", qPrintable(file.fileName()));
    return packageUrl(name);
}

QString DevServer::packageUrl(const QString& name) const {
    return baseUrl() + "/mac/dl/" + name;
}

QList<QJsonObject> DevServer::telemetry() const {
    return readJsonLines(m_dir.filePath("telemetry.jsonl"));
}

QList<QJsonObject> DevServer::requests() const {
    return readJsonLines(m_dir.filePath("requests.jsonl"));
}

QString DevServer::makeKeyPair(const QString& dir) {
    QProcess keygen;
    keygen.start(QStringLiteral(LUMADOC_BIN_DIR "/lumadoc-devserver"), {"keygen", dir});
    if (!keygen.waitForFinished(10000) || keygen.exitCode() != 0)
        return {};
    return QString::fromLatin1(keygen.readAllStandardOutput()).trimmed();
}

bool DevServer::waitForTelemetry(int count, int timeoutMs) const {
    return QTest::qWaitFor([&] { return telemetry().size() >= count; }, timeoutMs);
}

QList<QJsonObject> DevServer::packageRequests() const {
    QList<QJsonObject> found = requests();
    found.removeIf([](const QJsonObject& r) { return !r["target"].toString().endsWith(".dmg"); });
    return found;
}
