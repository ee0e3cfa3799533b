#include "rekol/KeyFormat.h"

#include "rekol/BinaryKeyFormat.h"
#include "rekol/BitKeyFormat.h"
#include "rekol/IntegerKeyFormat.h"
#include "rekol/QvRekolUtil.h"
#include "rekol/StringKeyFormat.h"

#include <algorithm>

KeyFormat::KeyFormat(const char* typeName, qint64 typeSize)
    : mKeyType(QString::fromLatin1(typeName))
    , mTypeSize(typeSize) {}

std::unique_ptr<KeyFormat> KeyFormat::create(const QString& typeName) {
    if (typeName == u"int")
        return std::make_unique<IntKeyFormat>();
    if (typeName == u"int64")
        return std::make_unique<Int64KeyFormat>();
    if (typeName == u"short")
        return std::make_unique<ShortKeyFormat>();
    if (typeName == u"byte")
        return std::make_unique<ByteKeyFormat>();
    if (typeName == u"bit")
        return std::make_unique<BitKeyFormat>();
    if (typeName == u"string")
        return std::make_unique<StringKeyFormat>();
    if (typeName == u"binary")
        return std::make_unique<BinaryKeyFormat>();
    return nullptr;
}

namespace {

// The first typeSize bytes of `data`, or all of it when shorter.
QByteArray prefix(const QByteArray& data, qint64 typeSize) {
    const qint64 n = std::clamp<qint64>(typeSize, 0, data.size());
    return data.first(static_cast<qsizetype>(n));
}

} // namespace

void KeyFormat::write(QByteArray& buffer) const {
    buffer += prefix(getByteData(), mTypeSize);
}

QByteArray KeyFormat::getByteData() const {
    return QByteArray(1, '\0');
}

bool KeyFormat::isDataValid() const {
    return true;
}

void KeyFormat::writeWithLength(QByteArray& buffer, const QByteArray& bytes) {
    if (bytes.size() > 0xFFFF)
        throw RekolError::data_invalid;
    buffer += QvRekolUtil::toByteArray(static_cast<quint16>(bytes.size()));
    buffer += bytes;
}

void appendRekolValue(QByteArray& buffer, const KeyFormat& field) {
    if (!field.isDataValid())
        throw RekolError::data_invalid;
    buffer += prefix(field.getByteData(), field.typeSize());
}
