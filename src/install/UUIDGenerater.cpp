#include "install/UUIDGenerater.h"

#include "base/WholeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QRandomGenerator>
#include <QSysInfo>
#include <QUuid>

QString UUIDGenerater::md5Hex(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QString UUIDGenerater::hostPiece(const QString& hostName) {
    QString name = hostName.isEmpty() ? QStringLiteral("Unknown") : hostName;
    name = name.toLower();
    name.replace(QStringLiteral("mac"), QStringLiteral("Mac"));
    return md5Hex(name.toUtf8());
}

QString UUIDGenerater::freeSpacePiece(std::optional<std::int64_t> freeBytes) {
    if (!freeBytes)
        return {};
    const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(*freeBytes));
    return QString::asprintf("%010d", low);
}

QString UUIDGenerater::material(int randomNumber, const QString& uuidText,
                                const QDateTime& localTime, const QString& hostName,
                                std::optional<std::int64_t> freeBytes) {
    QString uuid = uuidText;
    uuid.remove('-');
    return QString::asprintf("%05d", randomNumber) + uuid.toUpper() +
           localTime.toString(QStringLiteral("zzzMMddyyyyHHmmss")) + hostPiece(hostName) +
           freeSpacePiece(freeBytes);
}

QString UUIDGenerater::assembleUUID() {
    const int randomNumber = static_cast<int>(QRandomGenerator::system()->bounded(100000));
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const qint64 free = freeBytes(QDir::homePath());
    return md5Hex(material(randomNumber, uuid, QDateTime::currentDateTime(),
                           QSysInfo::machineHostName(),
                           free >= 0 ? std::optional<std::int64_t>(free) : std::nullopt)
                      .toUtf8());
}
