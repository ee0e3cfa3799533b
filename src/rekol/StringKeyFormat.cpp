#include "rekol/StringKeyFormat.h"

#include "rekol/QvRekolUtil.h"

void StringKeyFormat::write(QByteArray& buffer) const {
    writeWithLength(buffer, getByteData());
}

QByteArray StringKeyFormat::getByteData() const {
    return rekol::encode(getKeyValueAsString());
}

QString StringKeyFormat::getKeyValueAsString() const {
    const RekolValue& value = keyValue();
    if (const auto* text = std::get_if<QString>(&value))
        return *text;
    if (const auto* number = std::get_if<qint64>(&value))
        return QString::number(*number);
    if (const auto* flag = std::get_if<bool>(&value))
        return *flag ? QStringLiteral("true") : QStringLiteral("false");
    return {};
}
