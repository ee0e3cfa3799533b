#pragma once
// The operating system's version, read once per process: "14.5.1" gives the
// major version 14 and the combined version 1405 (major x 100 + minor). On
// Linux the kernel release stands in ("6.1.0-18-amd64" gives 6 and 601).
// Safe to use from any thread.

#include <QString>
#include <cstdint>

class MacOSVersion {
public:
    MacOSVersion() = delete;

    // Reads the version now and sets the three values.
    static void updateOsVersion();
    // Sets the three values from a version text as if the system had printed it.
    static void updateOsVersion(const QString& text);
    // The major version, 0 when unknown; reads the version on first use only.
    static std::uint8_t getMainOsVersion();

    // The last version text read; empty before the first read.
    static QString strVersion();
    // Major x 100 + minor; -1 until a version has been read, never -1 after.
    static std::int64_t combinedVersion();

    // Back to the never-read state.
    static void reset();
};
