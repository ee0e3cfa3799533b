// lumadoc-fakeproduct <out.dmg> [--version X] [--payload-mb N] [--marker FILE]
// Writes a disk image holding a stand-in Lumadoc.app (see FakeProduct.h).
#include "fakeproduct/FakeProduct.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {
int usage() {
    std::fprintf(stderr, "usage: lumadoc-fakeproduct <out.dmg> [--version X] [--payload-mb N] "
                         "[--marker FILE]\n");
    return 2;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString out;
    FakeProduct::Options options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--version" && hasValue) {
            options.version = args[++i];
        } else if (arg == "--payload-mb" && hasValue) {
            bool ok = false;
            const qint64 mb = args[++i].toLongLong(&ok);
            if (!ok || mb < 0)
                return usage();
            options.payloadBytes = mb * 1024 * 1024;
        } else if (arg == "--marker" && hasValue) {
            options.markerPath = QFileInfo(args[++i]).absoluteFilePath();
        } else if (arg.startsWith("--") || !out.isEmpty()) {
            return usage();
        } else {
            out = arg;
        }
    }
    if (out.isEmpty())
        return usage();

    QTemporaryDir work;
    if (!work.isValid() || FakeProduct::write(work.path(), options).isEmpty()) {
        std::fprintf(stderr, "lumadoc-fakeproduct: cannot write the application\n");
        return 1;
    }
    if (!FakeProduct::makeDiskImage(work.path(), out)) {
        std::fprintf(stderr, "lumadoc-fakeproduct: genisoimage failed\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(QFileInfo(out).absoluteFilePath()));
    return 0;
}
