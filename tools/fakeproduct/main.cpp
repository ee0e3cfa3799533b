// lumadoc-fakeproduct <out.dmg> [--product-version X] [--payload-mb N] [--marker FILE]
// Writes a disk image holding a stand-in Lumadoc.app (see FakeProduct.h).
#include "fakeproduct/FakeProduct.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {
int usage(const QString& message) {
    std::fprintf(stderr, "lumadoc-fakeproduct: %s (see --help)\n", qPrintable(message));
    return 2;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("lumadoc-fakeproduct");
    QCoreApplication::setApplicationVersion(LUMADOC_VERSION);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Writes a disk image holding a stand-in Lumadoc.app, for the installer's demo\n"
        "and tests. Its programs record each start (program and arguments) in a file.");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption productVersion(
        "product-version", "Version of the stand-in application (default 3.2.1).", "version");
    const QCommandLineOption payload("payload-mb", "Add <n> MiB of data to the application.", "n");
    const QCommandLineOption marker(
        "marker", "File the application's programs append their starts to.", "file");
    parser.addOptions({productVersion, payload, marker});
    parser.addPositionalArgument("out.dmg", "The disk image to write.");
    if (!parser.parse(app.arguments()))
        return usage(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    if (parser.positionalArguments().size() != 1)
        return usage("needs exactly one output file");
    const QString out = parser.positionalArguments().first();

    FakeProduct::Options options;
    if (parser.isSet(productVersion))
        options.version = parser.value(productVersion);
    if (parser.isSet(payload)) {
        bool ok = false;
        const qint64 mb = parser.value(payload).toLongLong(&ok);
        if (!ok || mb < 0 || mb > 1024 * 1024)
            return usage("--payload-mb needs a whole number of MiB from 0 to 1048576");
        options.payloadBytes = mb * 1024 * 1024;
    }
    if (parser.isSet(marker))
        options.markerPath = QFileInfo(parser.value(marker)).absoluteFilePath();

    QTemporaryDir work;
    if (!work.isValid() || FakeProduct::write(work.path(), options).isEmpty()) {
        std::fprintf(stderr, "lumadoc-fakeproduct: cannot write the application\n");
        return 1;
    }
    QString error;
    if (!FakeProduct::makeDiskImage(work.path(), out, QStringLiteral("Lumadoc"), &error)) {
        std::fprintf(stderr, "lumadoc-fakeproduct: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(QFileInfo(out).absoluteFilePath()));
    return 0;
}
