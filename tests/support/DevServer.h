#pragma once
// Runs the real lumadoc-devserver for a test: a child process on 127.0.0.1,
// serving a fresh temporary folder under /mac/dl/ and logging telemetry posts
// to a fresh file. The process is killed when the object goes away.

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

class DevServer {
public:
    // Starts the server with `options` (see lumadoc-devserver --help) and waits up to 10 s
    // for it to listen. Check isRunning() before use.
    explicit DevServer(const QStringList& options = {});
    ~DevServer();

    DevServer(const DevServer&) = delete;
    DevServer& operator=(const DevServer&) = delete;

    // True once the server has reported its port and while it runs.
    bool isRunning() const;

    quint16 port() const { return m_port; }
    QString baseUrl() const; // "http://127.0.0.1:<port>", no trailing slash

    // The folder served under /mac/dl/; files may be added at any time.
    QString packageDir() const;
    // Writes `content` to packageDir()/name and returns its URL.
    QString addPackage(const QString& name, const QByteArray& content) const;
    QString packageUrl(const QString& name) const; // baseUrl() + "/mac/dl/" + name

    // Telemetry posts received so far, one object per post:
    // {"path", "table", "appid", "client", "data", "headers"} (see the server's help).
    QList<QJsonObject> telemetry() const;
    // Processes events until at least `count` posts have arrived; false on time-out.
    bool waitForTelemetry(int count, int timeoutMs = 5000) const;

    // Requests answered so far: {"method", "target", "range", "ifRange",
    // "status", "sent"}; a package body's entry comes once it has been sent.
    QList<QJsonObject> requests() const;
    // requests() of the disk images only (no manifests or signatures).
    QList<QJsonObject> packageRequests() const;

    // Runs "lumadoc-devserver keygen <dir>": the private key's path is
    // <dir>/package-key.pem; returns the public key's base64 (empty on failure).
    static QString makeKeyPair(const QString& dir);

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};
