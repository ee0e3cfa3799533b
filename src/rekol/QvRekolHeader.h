#pragma once
// The 13-byte header in front of every Rekol packet. All fields little-endian,
// packed without gaps (so `product` and `crc32` sit at odd offsets):
//
//   0      2    3            7      9            13
//   +------+----+------------+------+------------+-------------------+
//   | size |ver | product    |count | crc32      | body (n bytes)    |
//   | u16  | u8 | u32        | u16  | u32        | payload, UTF-8    |
//   +------+----+------------+------+------------+-------------------+
//
//   size    = 13 + n (so n is at most 65522)
//   version = 2, count = 2
//   crc32   = CRC-32 of the body alone, starting value 0

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

class QvRekolHeader {
public:
    static constexpr int HEADER_SIZE = 13;
    static constexpr qsizetype MAX_BODY_SIZE = 0xFFFF - HEADER_SIZE; // 65522

    QvRekolHeader() = default;

    quint16 size() const { return mSize; }
    void setSize(quint16 v) { mSize = v; }
    quint8 version() const { return mVersion; }
    void setVersion(quint8 v) { mVersion = v; }
    quint32 product() const { return mProduct; }
    void setProduct(quint32 v) { mProduct = v; }
    quint16 count() const { return mCount; }
    void setCount(quint16 v) { mCount = v; }
    quint32 crc32() const { return mCrc32; }
    void setCrc32(quint32 v) { mCrc32 = v; }

    // Sets size, version, count and crc32 for `body`. Returns false, leaving
    // every field as it was, when the body is longer than MAX_BODY_SIZE.
    bool prepare(const QByteArray& body);

    // Inserts the 13 header bytes at the front of `buffer`.
    void updateHeader(QByteArray& buffer) const;

    // The whole packet (header, then the payload's UTF-8 bytes) for `product`.
    // No value when it cannot be framed: body over MAX_BODY_SIZE bytes, or a
    // product outside 0..4294967295.
    static std::optional<QByteArray> frame(const QString& payload, qint64 product);

private:
    QByteArray getHeaderData() const;

    quint16 mSize = 0;
    quint8 mVersion = 0;
    quint32 mProduct = 0;
    quint16 mCount = 0;
    quint32 mCrc32 = 0;
};
