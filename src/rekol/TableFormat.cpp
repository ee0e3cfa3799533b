#include "rekol/TableFormat.h"
#include "base/DecimalText.h"

#include "rekol/QvLogUtil.h"
#include "rekol/QvRekolUtil.h"

TableFormat::TableFormat(const std::optional<QString>& line) {
    if (line)
        parse(*line);
}

void TableFormat::parse(const QString& line) {
    const QStringList tokens = line.split(u' ', Qt::SkipEmptyParts);
    if (tokens.isEmpty())
        return;

    const QStringList header = tokens.front().split(u':', Qt::SkipEmptyParts);
    if (header.isEmpty()) {
        QvLogUtil::w(QStringLiteral("TableFormat => skipped a definition without a table name"));
        return;
    }
    mTableName = header[0];
    if (header.size() > 1)
        mTableIndex = DecimalText::parse(header[1]);

    int skipped = 0;
    for (qsizetype i = 1; i < tokens.size(); ++i) {
        const QStringList parts = tokens[i].split(u':', Qt::SkipEmptyParts);
        std::unique_ptr<KeyFormat> field =
            parts.size() >= 2 ? KeyFormat::create(parts[1]) : nullptr;
        if (!field) {
            ++skipped;
            continue;
        }
        field->setKeyName(parts[0]);
        mFields.push_back(std::move(field));
    }
    if (skipped > 0)
        QvLogUtil::w(QStringLiteral("TableFormat => skipped %1 malformed field(s) in table %2")
                         .arg(skipped)
                         .arg(*mTableName));
}

void TableFormat::write(QByteArray& buffer, const QHash<QString, RekolValue>& valueDict) const {
    QByteArray record;
    for (const auto& field : mFields) {
        // A fresh field per record, so writing never touches the shared table.
        std::unique_ptr<KeyFormat> item = KeyFormat::create(field->keyType().value_or(QString()));
        if (!item)
            throw RekolError::data_invalid;
        item->setKeyName(field->keyName());
        item->setKeyValue(valueDict.value(field->keyName().value_or(QString())));
        if (!item->isDataValid())
            throw RekolError::data_invalid;
        item->write(record);
    }
    buffer += record;
}
