#include "rekol/QvRekolHeader.h"

#include "rekol/Crc32.h"
#include "rekol/QvRekolUtil.h"

bool QvRekolHeader::prepare(const QByteArray& body) {
    if (body.size() > MAX_BODY_SIZE)
        return false;
    mSize = static_cast<quint16>(HEADER_SIZE + body.size());
    mVersion = 2;
    mCount = 2;
    mCrc32 = static_cast<quint32>(CRC32(body).hashValue());
    return true;
}

QByteArray QvRekolHeader::getHeaderData() const {
    QByteArray data;
    data.reserve(HEADER_SIZE);
    data += QvRekolUtil::toByteArray(mSize);
    data += QvRekolUtil::toByteArray(mVersion);
    data += QvRekolUtil::toByteArray(mProduct);
    data += QvRekolUtil::toByteArray(mCount);
    data += QvRekolUtil::toByteArray(mCrc32);
    return data;
}

void QvRekolHeader::updateHeader(QByteArray& buffer) const {
    buffer.prepend(getHeaderData());
}

std::optional<QByteArray> QvRekolHeader::frame(const QString& payload, qint64 product) {
    if (product < 0 || product > 0xFFFFFFFFLL)
        return std::nullopt;
    QByteArray packet = payload.toUtf8();
    QvRekolHeader header;
    header.setProduct(static_cast<quint32>(product));
    if (!header.prepare(packet))
        return std::nullopt;
    header.updateHeader(packet);
    return packet;
}
