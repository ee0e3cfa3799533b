#pragma once
// A property list file (XML or binary) whose top level is a dictionary, read
// with CoreFoundation on macOS and libplist elsewhere. Entries are met in the
// reader's own order: the file's with libplist, the dictionary's with
// CoreFoundation.

#include <QString>
#include <memory>
#include <optional>

class PropertyList {
public:
    enum class Status { Ok, Unreadable, Malformed, NotDictionary };

    // Reads and parses the file at path; status() says how far it got.
    static PropertyList readFile(const QString& path);
    // Parses bytes already in memory.
    static PropertyList fromBytes(const QByteArray& bytes);

    Status status() const { return m_status; }
    // Why the file could not be read or parsed.
    const QString& error() const { return m_error; }

    // The text form of the first entry whose key contains part: strings as
    // they are, numbers in decimal, booleans as 1 or 0, anything else empty.
    std::optional<QString> valueOfKeyContaining(const QString& part) const;
    // The string value of key; no value when missing or not a string.
    std::optional<QString> stringValue(const QString& key) const;

private:
    // Large enough for any bundle's Info.plist, small enough to refuse a runaway file.
    static constexpr qint64 kMaxBytes = 16 * 1024 * 1024;
    // Both readers recurse once per level, and so does freeing the result: a few
    // thousand levels overflow a thread's stack. A bundle's lists are a few deep.
    static constexpr int kMaxDepth = 128;
    // A binary list may name one object many times, and libplist copies it each
    // time: forty levels of two references each would be 2^40 entries.
    static constexpr quint64 kMaxEntries = 100000;

    // True, with the status and error set, for bytes no reader should be given.
    bool refuses(const QByteArray& bytes);

    struct Free {
        void operator()(void* node) const;
    };
    std::unique_ptr<void, Free> m_root;
    Status m_status = Status::Unreadable;
    QString m_error;
};
