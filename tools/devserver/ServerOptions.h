#pragma once
// Command-line options of lumadoc-devserver, parsed once at start.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <limits>

struct ServerOptions {
    quint16 port = 0; // 0: any free port
    QString root;     // folder served under /mac/dl/

    // Package delivery.
    qint64 throttle = 0;   // bytes per second, 0 for no limit
    bool chunked = false;  // no Content-Length, chunked transfer encoding
    bool redirect = false; // /mac/dl/<f> answers 302 to /mac/dl/r/<f>

    // Faults, applied to the first failFirst package requests only.
    qint64 failFirst = std::numeric_limits<qint64>::max();
    int status = 0;          // answer this status instead of the file (0: off)
    qint64 dropAfter = -1;   // close the connection after this many body bytes
    qint64 stallAfter = -1;  // stop sending after this many body bytes, keep it open
    qint64 stallFor = -1;    // milliseconds before a stalled body goes on (-1: never)
    qint64 lieLength = 0;    // announce this many bytes more than are sent, then close
    bool tamperBody = false; // flip one byte in the middle of the body
    qint64 extraBody = 0;    // zero bytes sent after the file, as part of the body

    // Ranges and validators.
    bool ignoreRange = false; // answer every range request with the whole file
    // How range requests are answered, whatever their If-Range says (a proxy
    // that ignores it): "ignore-if-range" (the current file's range),
    // "no-validator" (no ETag, no Last-Modified), "wrong-start" (the range
    // starts 4096 bytes before the one asked); empty: as HTTP says.
    QString rangeReply;
    qint64 manifestThrottle = 0; // manifest and signature bytes per second, 0 for no limit

    // Signed manifests ("<package>.json", "<package>.json.sig").
    QString signKey;                   // Ed25519 private key (PEM); empty: none published
    QString manifestVersion = "1.0.0"; // "version" of every manifest
    QDateTime manifestExpires;         // "expires"; invalid: 30 days after it is made
    bool manifestWrongFile = false;    // "file" names another package
    bool noSignature = false;          // the .json.sig answers 404

    QString keygenDir;  // "keygen DIR": write a key pair into DIR and exit
    QString requestLog; // JSON lines, one per request; empty for none

    // Telemetry.
    QByteArray rekolReply = "result=1";
    int rekolStatus = 200;
    bool rekolHang = false;
    QString telemetryLog; // JSON lines; empty for none

    // Parses the application's arguments; prints help or an error and exits
    // the process on --help or a bad value.
    static ServerOptions parse(const QStringList& arguments);
};
