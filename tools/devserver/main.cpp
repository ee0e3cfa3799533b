// lumadoc-devserver: a small HTTP/1.1 server on 127.0.0.1 that serves package
// files and accepts telemetry posts, for the demo and the tests.

#include "HttpServer.h"
#include "ManifestSigner.h"
#include "ServerOptions.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("lumadoc-devserver");
    QCoreApplication::setApplicationVersion(LUMADOC_VERSION);
    const ServerOptions options = ServerOptions::parse(QCoreApplication::arguments());
    if (!options.keygenDir.isEmpty()) {
        QString error;
        const QByteArray publicKey = ManifestSigner::generateKeyPair(options.keygenDir, &error);
        if (publicKey.isEmpty()) {
            std::fprintf(stderr, "lumadoc-devserver: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("%s\n", publicKey.constData());
        return 0;
    }

    HttpServer server(options);
    if (!options.telemetryLog.isEmpty() && !server.telemetryLog().isOpen()) {
        std::fprintf(stderr, "lumadoc-devserver: cannot open %s: %s\n",
                     qPrintable(options.telemetryLog),
                     qPrintable(server.telemetryLog().errorString()));
        return 1;
    }
    if (server.signer() && !server.signer()->isValid()) {
        std::fprintf(stderr, "lumadoc-devserver: %s\n", qPrintable(server.signer()->error()));
        return 1;
    }
    if (!server.start()) {
        std::fprintf(stderr, "lumadoc-devserver: cannot listen on 127.0.0.1:%u: %s\n", options.port,
                     qPrintable(server.errorString()));
        return 1;
    }
    std::printf("listening on 127.0.0.1:%u\n", server.serverPort());
    std::fflush(stdout);
    return app.exec();
}
