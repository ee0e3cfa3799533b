#pragma once
// The telemetry control file (qctrl.dat): product number, server URL per
// priority and priority per table. A small sectioned key=value text:
//
//   [common]
//   product=7
//   server2=https://telemetry.example/report
//   [vexa_tools_install]
//   priority=2
//
//  - A line with a "[" and a later "]" is a section header, named by the text
//    between its first "[" and its last "]" (this test comes first).
//  - Otherwise a line whose first "=" is not its first character is an entry;
//    key and value are not trimmed, the value may hold further "=".
//  - Every other line, and any entry before the first header, is ignored.
//  - A section is kept only if it got an entry; a repeated section with
//    entries replaces the earlier one, an empty repetition leaves it.
// Loaded once; afterwards only read, so lookups need no lock.

#include <QHash>
#include <QString>
#include <optional>

class QvRekolControl {
public:
    static constexpr qint64 DEFAULT_PRIORITY = 2;

    using Section = QHash<QString, QString>;

    // Loads `qctrl`, a file name in the resources folder (Config::resourcePath).
    // Never fails: a missing file leaves no sections and logs nothing; a file
    // that cannot be read as text leaves no sections and logs one error.
    explicit QvRekolControl(const QString& qctrl);

    // The same, from a full path.
    static QvRekolControl fromPath(const QString& path);
    // The same, from the file's text.
    static QvRekolControl fromText(const QString& text);

    // "product" of [common]; 0 when missing or not a plain decimal integer.
    qint64 getProductId() const;
    // "priority" of the table's own section; DEFAULT_PRIORITY when missing.
    qint64 getPriority(const QString& tableName) const;
    // "server<priority>" of [common]; empty when missing. A missing URL for
    // DEFAULT_PRIORITY logs one error on every lookup; other priorities, none.
    QString getServerUrl(qint64 priority) const;
    // getServerUrl(getPriority(tableName)).
    QString getServerUrl(const QString& tableName) const;

    const QHash<QString, Section>& sections() const { return mSections; }

private:
    QvRekolControl() = default;
    void loadFile(const QString& path);
    void loadText(const QString& text);

    static std::optional<QString> parseSection(const QString& line);
    QString getPrivateProfileString(const QString& section, const QString& variable,
                                    const QString& defaultValue) const;
    qint64 getPrivateProfileInt(const QString& section, const QString& variable,
                                qint64 defaultValue) const;

    QHash<QString, Section> mSections;
};
