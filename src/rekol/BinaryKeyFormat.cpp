#include "rekol/BinaryKeyFormat.h"

#include "rekol/QvRekolUtil.h"

bool BinaryKeyFormat::isDataValid() const {
    return std::holds_alternative<QString>(keyValue());
}

void BinaryKeyFormat::write(QByteArray& buffer) const {
    writeWithLength(buffer, getByteData());
}

QByteArray BinaryKeyFormat::getByteData() const {
    const auto* text = std::get_if<QString>(&keyValue());
    return text ? rekol::toBinary(*text) : QByteArray();
}
