#include "install/RegEditer.h"

#include "base/Log.h"
#include "base/SmallFile.h"
#include "base/WholeFile.h"
#include "install/ProcessRunner.h"

#include <QFile>

namespace {
bool isNewline(char16_t c) {
    return c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 || c == 0x2028 ||
           c == 0x2029;
}

bool isHeader(const QString& line) {
    return line.startsWith('[') && line.endsWith(']');
}

std::optional<QString> readUtf8(const QString& path, QString& error) {
    const std::optional<QByteArray> bytes = readSmallFile(path, error);
    if (!bytes)
        return std::nullopt;
    std::optional<QString> text = ProcessRunner::decodeUtf8(*bytes);
    if (!text)
        error = QStringLiteral("not UTF-8 text");
    return text;
}
} // namespace

std::optional<std::pair<QString, QString>> RegEditer::splitGroupKey(const QString& groupAndKey) {
    const QStringList parts = groupAndKey.split('/');
    if (parts.size() != 2)
        return std::nullopt;
    return std::make_pair(parts[0], parts[1]);
}

QStringList RegEditer::splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isNewline(text[i].unicode())) {
            lines << text.mid(start, i - start);
            start = i + 1;
        }
    }
    lines << text.mid(start);
    return lines;
}

QString RegEditer::withValue(const QString& text, const QString& group, const QString& key,
                             const QString& value) {
    const QString header = '[' + group + ']';
    const QString prefix = key + '=';
    const QString entry = prefix + value;
    QStringList out;
    bool inGroup = false;
    bool written = false;
    bool copyRest = false;
    for (const QString& line : splitLines(text)) {
        if (copyRest || (inGroup && written)) {
            out << line;
        } else if (inGroup && line.startsWith(prefix)) {
            out << entry;
            written = true;
        } else if (line.contains(header)) {
            out << line;
            inGroup = true;
        } else if (inGroup && isHeader(line)) {
            out << entry << line;
            written = true;
            copyRest = true;
        } else {
            out << line;
        }
    }
    if (!written) {
        if (!inGroup)
            out << header;
        out << entry;
    }
    return out.join('\n');
}

std::optional<QString> RegEditer::valueInGroup(const QString& text, const QString& group,
                                               const QString& key) {
    const QString header = '[' + group + ']';
    const QString prefix = key + '=';
    bool inGroup = false;
    for (const QString& line : splitLines(text)) {
        const bool isOwnHeader = line.contains(header);
        if (isOwnHeader)
            inGroup = true;
        else if (inGroup && isHeader(line))
            inGroup = false;
        if ((isOwnHeader || inGroup) && line.startsWith(prefix))
            return line.mid(line.lastIndexOf('=') + 1);
    }
    return std::nullopt;
}

std::optional<QString> RegEditer::firstValue(const QString& text, const QString& key) {
    const QString prefix = key + '=';
    for (const QString& line : splitLines(text)) {
        if (!line.startsWith(prefix))
            continue;
        const qsizetype first = line.indexOf('=');
        const qsizetype second = line.indexOf('=', first + 1);
        return second < 0 ? line.mid(first + 1) : line.mid(first + 1, second - first - 1);
    }
    return std::nullopt;
}

bool RegEditer::setIniValueWithGroup(const QString& groupAndKey, const QString& newValue,
                                     const QString& path, QString* error) {
    return setIniValuesWithGroup({{groupAndKey, newValue}}, path, error);
}

bool RegEditer::setIniValuesWithGroup(const Entries& entries, const QString& path, QString* error) {
    bool anyNamed = false;
    for (const auto& entry : entries) {
        const bool named = splitGroupKey(entry.first).has_value();
        if (!named)
            logLine(lcSettings(), "Invalid format for groupName/key");
        anyNamed = anyNamed || named;
    }
    if (!anyNamed)
        return true; // a caller's slip, not the file's
    QString reason;
    const std::optional<QString> text = readUtf8(path, reason);
    if (!text) {
        logLine(lcSettings(), "Failed to read the file");
    } else {
        QString updated = *text;
        for (const auto& [groupAndKey, value] : entries)
            if (const auto name = splitGroupKey(groupAndKey))
                updated = withValue(updated, name->first, name->second, value);
        // Values already in place cost no write: each write is flushed to disk.
        if (updated != *text)
            reason = replaceFileWhole(path, updated.toUtf8());
        if (reason.isEmpty()) {
            logLine(lcSettings(), "File updated successfully");
            return true;
        }
        logLine(lcSettings(), "Failed to write the file: " + reason);
    }
    if (error)
        *error = reason;
    return false;
}

QString RegEditer::getIniValueWithGroup(const QString& groupAndKey, const QString& defaultValue,
                                        const QString& filePath) {
    const auto name = splitGroupKey(groupAndKey);
    if (!name) {
        logLine(lcSettings(), "Invalid format for groupName/key");
        return defaultValue;
    }
    QString error;
    const std::optional<QString> text = readUtf8(filePath, error);
    if (!text) {
        logLine(lcSettings(), "Failed to read the file");
        return defaultValue;
    }
    return valueInGroup(*text, name->first, name->second).value_or(defaultValue);
}

QString RegEditer::getIniValue(const QString& key, const QString& defaultValue,
                               const QString& filePath) {
    QString error;
    const std::optional<QByteArray> read = readSmallFile(filePath, error);
    if (!read) {
        logLine(lcSettings(), "Error reading file: " + error);
        return defaultValue;
    }
    const QByteArray& bytes = *read;
    // Not UTF-8: take the bytes as Latin-1 rather than fail.
    const QString text = ProcessRunner::decodeUtf8(bytes).value_or(QString::fromLatin1(bytes));
    return firstValue(text, key).value_or(defaultValue);
}
