#pragma once
// One Rekol table: a name, a number and an ordered list of typed fields, read
// from one definition line of the format file:
//
//   install:12 ver:int name:string flags:byte
//
// Tokens are separated by blanks (U+0020 only; a tab belongs to its token).
// Each token splits at colons with empty parts dropped; parts after the second
// are ignored. The first token is "name:number", every other "field:type".

#include "rekol/KeyFormat.h"

#include <QHash>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class TableFormat {
public:
    using Fields = std::vector<std::unique_ptr<KeyFormat>>;

    // Parses `line`; never fails. Malformed parts are skipped with one warning
    // per line, never stopping the parse:
    //  - no line, or only blanks: no name, no number, no fields (no warning);
    //  - a header of colons only (":" or "::"): the whole line is rejected;
    //  - a header without a number, or one that is not a plain decimal integer
    //    in the 64-bit range: the number is absent, the table is kept;
    //  - a field token without a type, or whose type is not one of the seven
    //    names (matched exactly, so "int\r" or "Int" is not one): that token.
    explicit TableFormat(const std::optional<QString>& line);

    TableFormat(TableFormat&&) noexcept = default;
    TableFormat& operator=(TableFormat&&) noexcept = default;

    const std::optional<QString>& getTableName() const { return mTableName; }
    const std::optional<qint64>& getTableIndex() const { return mTableIndex; }

    // The table's own field objects, in definition order; repeated names kept.
    Fields& getFields() { return mFields; }
    const Fields& getFields() const { return mFields; }

    // Appends one record: each field's wire form in definition order, taking
    // its value from `valueDict` by field name (absent when missing). Throws
    // RekolError::data_invalid, leaving `buffer` unchanged, when a value fails
    // its field's check or a text is too long. The table itself is not changed.
    void write(QByteArray& buffer, const QHash<QString, RekolValue>& valueDict) const;

private:
    void parse(const QString& line);

    std::optional<QString> mTableName;
    std::optional<qint64> mTableIndex;
    Fields mFields;
};
