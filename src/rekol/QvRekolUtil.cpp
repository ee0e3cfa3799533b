#include "rekol/QvRekolUtil.h"

#include "base/SmallFile.h"

#include "rekol/QvLogUtil.h"

#include <QFile>
#include <QStringDecoder>

std::uint8_t QvRekolUtil::getByteToBinary(std::uint8_t byte) {
    if (byte >= '0' && byte <= '9')
        return byte - '0';
    if (byte >= 'a' && byte <= 'f')
        return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F')
        return byte - 'A' + 10;
    QvLogUtil::e("QvRekolUtil => error to convert byte to binary");
    return 0;
}

std::optional<QString> QvRekolUtil::readTextFile(const QString& path, QString& error) {
    const std::optional<QByteArray> read = readSmallFile(path, error);
    if (!read)
        return std::nullopt;
    const QByteArray& bytes = *read;
    const auto encoding = QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8);
    QStringDecoder decoder(encoding);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        error = QStringLiteral("The file is not valid %1 text.")
                    .arg(QString::fromLatin1(QStringConverter::nameForEncoding(encoding)));
        return std::nullopt;
    }
    return text;
}

namespace rekol {

QByteArray asByteArray(const QString& text) {
    return text.toUtf8();
}

QByteArray encode(const QString& text) {
    QByteArray bytes = text.toUtf8();
    for (char& c : bytes)
        c = static_cast<char>(static_cast<std::uint8_t>(c) ^ TEXT_MASK);
    return bytes;
}

QByteArray toBinary(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const qsizetype count = utf8.size() / 2;
    QByteArray out(count, Qt::Uninitialized);
    for (qsizetype i = 0; i < count; ++i) {
        const auto high = QvRekolUtil::getByteToBinary(static_cast<std::uint8_t>(utf8[2 * i]));
        const auto low = QvRekolUtil::getByteToBinary(static_cast<std::uint8_t>(utf8[2 * i + 1]));
        out[i] = static_cast<char>(high * 16 + low);
    }
    return out;
}

std::uint8_t asCode(const QString& text) {
    if (text.isEmpty() || text.front().unicode() > 0xFF)
        return 0;
    return static_cast<std::uint8_t>(text.front().unicode());
}

qsizetype findFirst(const QString& text, const QString& other) {
    if (other.isEmpty())
        return -1;
    return text.indexOf(other, 0, Qt::CaseSensitive);
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype lf = text.indexOf(u'\n', start);
        const qsizetype end = lf < 0 ? text.size() : lf;
        QStringView line = QStringView(text).mid(start, end - start);
        // Only a CR right before an LF is part of the break.
        if (lf >= 0 && line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty())
            lines.append(line.toString());
        start = end + 1;
    }
    return lines;
}

} // namespace rekol
