#pragma once
// One typed field of a Rekol table: its name, type name, fixed width and the
// value to encode. Subclasses, one per type name of the format file:
//
//   "int" IntKeyFormat (4)      "int64" Int64KeyFormat (8)
//   "short" ShortKeyFormat (2)  "byte" ByteKeyFormat (1)
//   "bit" BitKeyFormat (0)      "string" StringKeyFormat (0)
//   "binary" BinaryKeyFormat (0)
//
// Integers are written little-endian. A value a field cannot hold is never
// wrapped: integers out of range encode as zeros, and texts whose encoding
// would overflow their 16-bit length are refused with RekolError::data_invalid.

#include "rekol/RekolError.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <variant>

// A field's value: absent (monostate), a text, an integer or a boolean.
using RekolValue = std::variant<std::monostate, QString, qint64, bool>;

class KeyFormat {
public:
    KeyFormat() = default;
    virtual ~KeyFormat() = default;

    // The field object for a type name, matched exactly; null for any other name.
    static std::unique_ptr<KeyFormat> create(const QString& typeName);

    const std::optional<QString>& keyName() const { return mKeyName; }
    void setKeyName(std::optional<QString> name) { mKeyName = std::move(name); }
    const std::optional<QString>& keyType() const { return mKeyType; }
    void setKeyType(std::optional<QString> type) { mKeyType = std::move(type); }
    qint64 typeSize() const { return mTypeSize; }
    void setTypeSize(qint64 size) { mTypeSize = size; }
    const RekolValue& keyValue() const { return mKeyValue; }
    void setKeyValue(RekolValue value) { mKeyValue = std::move(value); }

    // Appends the field's wire form. Base: the first typeSize() bytes of
    // getByteData(). Does not check the value (callers check isDataValid()
    // first); an invalid integer writes zeros. Throws RekolError::data_invalid,
    // leaving `buffer` unchanged, only for a text too long for its length prefix.
    virtual void write(QByteArray& buffer) const;

    // The field's bytes without any length prefix. Base: one zero byte.
    virtual QByteArray getByteData() const;

    // Whether keyValue() can be encoded. Base: always.
    virtual bool isDataValid() const;

protected:
    KeyFormat(const char* typeName, qint64 typeSize);

    // Appends a 16-bit little-endian length and then `bytes`; throws
    // RekolError::data_invalid (appending nothing) past 65535 bytes.
    static void writeWithLength(QByteArray& buffer, const QByteArray& bytes);

private:
    std::optional<QString> mKeyName;
    std::optional<QString> mKeyType;
    qint64 mTypeSize = 0;
    RekolValue mKeyValue;
};

// The validating append: throws RekolError::data_invalid (buffer unchanged)
// when the field's value fails isDataValid(), else appends the first
// typeSize() bytes of getByteData() -- nothing for "bit", "string", "binary".
void appendRekolValue(QByteArray& buffer, const KeyFormat& field);
