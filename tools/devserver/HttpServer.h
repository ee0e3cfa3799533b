#pragma once
// The devserver's listening socket on 127.0.0.1. Each accepted connection
// serves one request (Connection: close) through an HttpConnection.

#include "ManifestSigner.h"
#include "ServerOptions.h"
#include "TelemetryLog.h"

#include <QTcpServer>
#include <memory>

class HttpServer : public QTcpServer {
    Q_OBJECT
public:
    explicit HttpServer(const ServerOptions& options);

    // Binds 127.0.0.1 on the configured port; false with errorString() when it cannot.
    bool start();

    const ServerOptions& options() const { return m_options; }
    TelemetryLog& telemetryLog() { return m_telemetryLog; }
    TelemetryLog& requestLog() { return m_requestLog; }
    // The manifest signer with --sign-key, else null.
    ManifestSigner* signer() { return m_signer.get(); }

    // Ordinal of a new package request, from 0; faults apply while it is
    // below --fail-first.
    qint64 nextPackageRequest() { return m_packageRequests++; }

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    ServerOptions m_options;
    TelemetryLog m_telemetryLog;
    TelemetryLog m_requestLog;
    std::unique_ptr<ManifestSigner> m_signer;
    qint64 m_packageRequests = 0;
};
