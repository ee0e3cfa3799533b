#pragma once
// Installation identifiers: 32 lower-case hexadecimal digits, the MD5 of
// material that mixes randomness, the time, the host and the home volume's
// free space. Nothing can be read back out of one.
//
//   material = random "%05d" | UUID, no "-", upper case (32)
//            | local time "SSSMMddyyyyHHmmss" (17) | MD5 hex of the host name (32)
//            | free bytes of the home volume "%010d" of the low 32 bits (optional)

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

class UUIDGenerater {
public:
    UUIDGenerater() = delete;

    // A new identifier; each call differs. Never fails.
    static QString assembleUUID();

    // The pieces, given their sources.
    static QString material(int randomNumber, const QString& uuidText, const QDateTime& localTime,
                            const QString& hostName, std::optional<std::int64_t> freeBytes);
    // MD5 of bytes as 32 lower-case hexadecimal digits.
    static QString md5Hex(const QByteArray& bytes);
    // The host piece: "Unknown" for no name, lower-cased, "mac" made "Mac", hashed.
    static QString hostPiece(const QString& hostName);
    // "%010d" of the low 32 bits read as signed; empty without a value.
    static QString freeSpacePiece(std::optional<std::int64_t> freeBytes);
};

// The identifier maker the installation record and the reporters call.
inline QString assembleUUID() {
    return UUIDGenerater::assembleUUID();
}
