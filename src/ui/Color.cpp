#include "ui/Color.h"

QColor Color::hex(const QString& hex) {
    qsizetype begin = 0;
    qsizetype end = hex.size();
    while (begin < end && !hex[begin].isLetterOrNumber())
        ++begin;
    while (end > begin && !hex[end - 1].isLetterOrNumber())
        --end;
    const QStringView trimmed = QStringView(hex).mid(begin, end - begin);

    // Leading hexadecimal digits only; the rest of the text is ignored.
    quint64 value = 0;
    for (QChar c : trimmed) {
        const int digit = QStringLiteral("0123456789abcdef").indexOf(c.toLower());
        if (digit < 0)
            break;
        value = (value << 4) | static_cast<quint64>(digit);
    }

    int a = 255, r = 0, g = 0, b = 0;
    switch (trimmed.size()) {
    case 3:
        r = int((value >> 8) & 0xF) * 17;
        g = int((value >> 4) & 0xF) * 17;
        b = int(value & 0xF) * 17;
        break;
    case 6:
        r = int((value >> 16) & 0xFF);
        g = int((value >> 8) & 0xFF);
        b = int(value & 0xFF);
        break;
    case 8:
        a = int((value >> 24) & 0xFF);
        r = int((value >> 16) & 0xFF);
        g = int((value >> 8) & 0xFF);
        b = int(value & 0xFF);
        break;
    default:
        break;
    }
    return QColor(r, g, b, a);
}
