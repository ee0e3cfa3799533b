#include "ServerOptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const QString& message) {
    std::fprintf(stderr, "lumadoc-devserver: %s\n", qPrintable(message));
    std::exit(2);
}

qint64 number(const QCommandLineParser& parser, const QString& name, qint64 min, qint64 max) {
    bool ok = false;
    const qint64 value = parser.value(name).toLongLong(&ok);
    if (!ok || value < min || value > max)
        fail(QStringLiteral("--%1 needs a whole number from %2 to %3").arg(name).arg(min).arg(max));
    return value;
}

} // namespace

ServerOptions ServerOptions::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Package and telemetry server for the Lumadoc installer's demo and tests.\n"
        "Serves the files of a folder as /mac/dl/<name> (also /mac/dl/old/<name>, which\n"
        "redirects to /mac/dl/<name>) and accepts telemetry posts on /rekol/<anything>.\n"
        "Listens on 127.0.0.1 only and prints \"listening on 127.0.0.1:<port>\" when ready.\n"
        "With --sign-key it also publishes /mac/dl/<name>.json and <name>.json.sig, the\n"
        "Ed25519-signed manifest of each package.\n"
        "\"lumadoc-devserver keygen DIR\" writes a new key pair into DIR (package-key.pem,\n"
        "package-key.pub holding the base64 public key) and prints the public key.");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QList<QCommandLineOption> options = {
        {"port", "Port to listen on; 0 picks a free one (default 0).", "port", "0"},
        {"root", "Folder whose files are served under /mac/dl/ (default: current folder).", "dir"},
        {"throttle", "Send package bodies at most this many bytes per second.", "bytes"},
        {"chunked", "Send packages without Content-Length, in chunked transfer encoding."},
        {"redirect", "Answer /mac/dl/<f> with a 302 to /mac/dl/r/<f>, which serves <f>."},
        {"fail-first",
         "Apply --status, --drop-after, --stall-after, --lie-length, --tamper-body and "
         "--extra-body to the first <k> package requests only (default: all).",
         "k"},
        {"status",
         "Answer package requests with this HTTP status and a short body (with "
         "--stall-after: the file's bytes, stalled there).",
         "code"},
        {"drop-after", "Close the connection after sending this many body bytes.", "bytes"},
        {"stall-after", "Stop sending after this many body bytes; keep the connection open.",
         "bytes"},
        {"stall-for", "With --stall-after: go on sending after this many milliseconds.", "ms"},
        {"lie-length", "Announce a Content-Length this many bytes larger than the body sent.",
         "bytes"},
        {"tamper-body", "Flip one byte in the middle of package bodies."},
        {"extra-body", "Send this many zero bytes after package bodies, as part of them.", "bytes"},
        {"ignore-range", "Answer range requests with the whole file (status 200)."},
        {"range-reply",
         "Answer range requests whatever their If-Range: ignore-if-range (as asked), "
         "no-validator (without ETag and Last-Modified), wrong-start (from 4096 bytes earlier); "
         "or weak-etag: send a weak ETag, which no If-Range matches.",
         "kind"},
        {"manifest-throttle", "Send manifests and signatures at most this many bytes per second.",
         "bytes"},
        {"sign-key",
         "Publish a manifest signed with this Ed25519 private key (PEM) beside every "
         "package.",
         "file"},
        {"manifest-version", "\"version\" of the manifests (default 1.0.0).", "version"},
        {"manifest-expires",
         "\"expires\" of the manifests, e.g. 2027-01-31T00:00:00Z (default: 30 days ahead).",
         "time"},
        {"manifest-wrong-file", "Manifests name another file than the package they describe."},
        {"no-signature", "Publish manifests without their .json.sig (answered 404)."},
        {"request-log", "Append one JSON line per request (bytes of the body sent) to this file.",
         "file"},
        {"rekol-reply", "Body of the answer to telemetry posts (default \"result=1\").", "text"},
        {"rekol-status", "HTTP status of the answer to telemetry posts (default 200).", "code"},
        {"rekol-hang", "Never answer telemetry posts (they are still logged)."},
        {"telemetry-log", "Append one JSON line per telemetry post to this file.", "file"},
    };
    parser.addOptions(options);
    if (!parser.parse(arguments))
        fail(parser.errorText() + " (see --help)");
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    ServerOptions o;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() == 2 && positional[0] == "keygen") {
        o.keygenDir = positional[1];
        return o;
    }
    if (positional.value(0) == "keygen")
        fail("keygen needs exactly one folder: keygen DIR");
    if (!positional.isEmpty())
        fail("unexpected argument " + positional.first());

    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    o.port = static_cast<quint16>(number(parser, "port", 0, 65535));
    o.root = QDir(parser.isSet("root") ? parser.value("root") : QDir::currentPath()).absolutePath();
    if (!QDir(o.root).exists())
        fail("no such folder: " + o.root);
    if (parser.isSet("throttle"))
        o.throttle = number(parser, "throttle", 1, kMax);
    o.chunked = parser.isSet("chunked");
    o.redirect = parser.isSet("redirect");
    if (parser.isSet("fail-first"))
        o.failFirst = number(parser, "fail-first", 0, kMax);
    if (parser.isSet("status"))
        o.status = static_cast<int>(number(parser, "status", 100, 599));
    if (parser.isSet("drop-after"))
        o.dropAfter = number(parser, "drop-after", 0, kMax);
    if (parser.isSet("stall-after"))
        o.stallAfter = number(parser, "stall-after", 0, kMax);
    if (parser.isSet("stall-for"))
        o.stallFor = number(parser, "stall-for", 0, std::numeric_limits<int>::max());
    if (parser.isSet("lie-length"))
        o.lieLength = number(parser, "lie-length", 1, kMax / 2);
    o.tamperBody = parser.isSet("tamper-body");
    if (parser.isSet("extra-body"))
        o.extraBody = number(parser, "extra-body", 1, kMax / 2);
    o.ignoreRange = parser.isSet("ignore-range");
    o.rangeReply = parser.value("range-reply");
    if (!o.rangeReply.isEmpty() &&
        !QStringList{"ignore-if-range", "no-validator", "wrong-start", "weak-etag"}.contains(
            o.rangeReply))
        fail("--range-reply needs ignore-if-range, no-validator, wrong-start or weak-etag");
    if (parser.isSet("manifest-throttle"))
        o.manifestThrottle = number(parser, "manifest-throttle", 1, kMax);
    o.signKey = parser.value("sign-key");
    if (parser.isSet("manifest-version"))
        o.manifestVersion = parser.value("manifest-version");
    if (parser.isSet("manifest-expires")) {
        o.manifestExpires = QDateTime::fromString(parser.value("manifest-expires"), Qt::ISODate);
        if (!o.manifestExpires.isValid())
            fail("--manifest-expires needs a time such as 2027-01-31T00:00:00Z");
    }
    o.manifestWrongFile = parser.isSet("manifest-wrong-file");
    o.noSignature = parser.isSet("no-signature");
    o.requestLog = parser.value("request-log");
    if (parser.isSet("rekol-reply"))
        o.rekolReply = parser.value("rekol-reply").toUtf8();
    if (parser.isSet("rekol-status"))
        o.rekolStatus = static_cast<int>(number(parser, "rekol-status", 100, 599));
    o.rekolHang = parser.isSet("rekol-hang");
    o.telemetryLog = parser.value("telemetry-log");
    return o;
}
