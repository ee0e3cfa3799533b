// The settings file's line rules on arbitrary text: the setter's output must
// hold the new entry where the grouped getter finds it, keep every other
// line, and the getters must never fail.
#include "install/RegEditer.h"

#include <cstddef>
#include <cstdint>

namespace {
// Input: key NUL group NUL value NUL file text.
QStringList fields(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList out;
    for (const QByteArray& part : bytes.split('\0'))
        out << QString::fromUtf8(part);
    while (out.size() < 4)
        out << QString();
    return out;
}

bool isNewline(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QStringList f = fields(data, size);
    const QString& key = f[0];
    const QString& group = f[1];
    const QString& value = f[2];
    const QString text = f.mid(3).join(QChar(0));

    RegEditer::firstValue(text, key);
    RegEditer::splitGroupKey(key + '/' + group);
    const QString updated = RegEditer::withValue(text, group, key, value);

    // Names and values the installer writes: no newline, no "=", no "[" or "]".
    for (const QString& s : {key, group, value})
        for (const QChar c : s)
            if (isNewline(c) || c == '=' || c == '[' || c == ']' || c == '/')
                return 0;
    if (key.isEmpty())
        return 0;
    const QStringList before = RegEditer::splitLines(text);
    const QStringList after = RegEditer::splitLines(updated);
    // One line replaced, or one or two lines added.
    if (after.size() < before.size() || after.size() > before.size() + 2)
        __builtin_trap();
    // A line that merely mentions the header is a header to the getter even
    // when it also starts with the key: a known reading, not checked here.
    const QString header = '[' + group + ']';
    for (const QString& line : before)
        if (line.contains(header) && line != header)
            return 0;
    const std::optional<QString> read = RegEditer::valueInGroup(updated, group, key);
    if (!read || *read != value)
        __builtin_trap();
    // Writing the same value again changes nothing.
    if (RegEditer::withValue(updated, group, key, value) != updated)
        __builtin_trap();
    return 0;
}
