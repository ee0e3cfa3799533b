#pragma once
// A stand-in for the product, for tests, benchmarks and the demo.
//
// write() lays out <dir>/Lumadoc.app:
//   Contents/Info.plist            XML; CFBundleExecutable docreader,
//                                  CFBundleShortVersionString <version>
//   Contents/MacOS/{docreader,docconverter,memberui,lmguard,lmconvert,doccore}
//   Contents/MacOS_SymLink -> MacOS
//   Contents/Helpers/lmhelper.app/Contents/MacOS/lmhelper
//   Contents/Resources/payload.bin (only with payloadBytes > 0)
//
// Every program is a small bash script that appends "<name> <pid> <args>" to
// the marker file (when one is set) and then runs until killed, as a single
// process whose command line is "<path it was started by> 100000", so
// `pgrep -f '^<path>( |$)'` finds it and killing that pid leaves nothing behind.
//
// makeDiskImage() turns a folder into an ISO 9660 image with Rock Ridge
// (genisoimage -R): modes and symbolic links survive, and both `7zz x` and
// hdiutil read it.

#include <QString>
#include <QStringList>
#include <cstdint>

namespace FakeProduct {

struct Options {
    QString version = QStringLiteral("3.2.1");
    QString markerPath;            // empty: the programs record nothing
    std::int64_t payloadBytes = 0; // size of Contents/Resources/payload.bin
};

// The user-facing and service programs under Contents/MacOS.
QStringList programNames();

// Writes <dir>/Lumadoc.app (dir is created when missing, an existing bundle
// is replaced). Returns the bundle's path, empty on failure.
QString write(const QString& dir, const Options& options = {});

// Makes an image of srcDir's contents at imagePath. True on success; else
// `error` (when given) says why in one line, naming a missing genisoimage.
bool makeDiskImage(const QString& srcDir, const QString& imagePath,
                   const QString& volumeName = QStringLiteral("Lumadoc"), QString* error = nullptr);

// One line of the marker file.
struct Launch {
    QString program;
    std::int64_t pid = 0;
    QString arguments;
};
// The marker's lines, oldest first; empty when there is no marker.
QList<Launch> launches(const QString& markerPath);

} // namespace FakeProduct
