#pragma once
// Editor of the product settings file "common.ini": groups "[name]" and
// entries "key=value", no spaces around "=", keys compared exactly, no
// comments or escapes; every other line is carried through unchanged.
// A setting is named "group/key" (exactly one "/").
//
// Reading splits lines at every newline character on its own (LF, CR, VT, FF,
// NEL, LS, PS: a CRLF gives an empty line between); writing joins them with
// LF and adds none at the end. Each write replaces the whole file once its
// bytes are on the disk, so a failed write leaves the previous file intact.

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

class RegEditer {
public:
    RegEditer() = delete;

    // Stores newValue: an existing entry of the group is replaced in place, a
    // missing one becomes the group's last line (before the next header), a
    // missing group is appended with its entry. Does nothing (and logs) for a
    // malformed name or a file that cannot be read as UTF-8; never creates it.
    // False, with the system's reason in error, when the file could not be
    // read or written (a malformed name is only logged).
    static bool setIniValueWithGroup(const QString& groupAndKey, const QString& newValue,
                                     const QString& path, QString* error = nullptr);
    // Several settings ("group/key", value) in one write, in order: the file
    // holds all of them or, after a failure, none.
    using Entries = std::vector<std::pair<QString, QString>>;
    static bool setIniValuesWithGroup(const Entries& entries, const QString& path,
                                      QString* error = nullptr);
    // The value of key in group: what follows the line's last "=". The default
    // for a malformed name, an unreadable file or a missing entry.
    static QString getIniValueWithGroup(const QString& groupAndKey, const QString& defaultValue,
                                        const QString& filePath);
    // The first entry of key in any group (or before any): the text between its
    // first and second "=". The default when the file cannot be read or has none.
    static QString getIniValue(const QString& key, const QString& defaultValue,
                               const QString& filePath);

    // The same rules on text in memory.
    static std::optional<std::pair<QString, QString>> splitGroupKey(const QString& groupAndKey);
    static QStringList splitLines(const QString& text);
    static QString withValue(const QString& text, const QString& group, const QString& key,
                             const QString& value);
    static std::optional<QString> valueInGroup(const QString& text, const QString& group,
                                               const QString& key);
    static std::optional<QString> firstValue(const QString& text, const QString& key);
};
