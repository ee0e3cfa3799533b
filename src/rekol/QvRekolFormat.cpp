#include "rekol/QvRekolFormat.h"

#include "base/Config.h"
#include "rekol/QvLogUtil.h"
#include "rekol/QvRekolUtil.h"

#include <QFileInfo>

QvRekolFormat::QvRekolFormat(const QString& qfmt) {
    loadFile(Config::get().resourcePath(qfmt));
}

QvRekolFormat QvRekolFormat::fromPath(const QString& path) {
    QvRekolFormat format;
    format.loadFile(path);
    return format;
}

QvRekolFormat QvRekolFormat::fromText(const QString& text) {
    QvRekolFormat format;
    format.loadText(text);
    return format;
}

const TableFormat* QvRekolFormat::getTable(const QString& tableName) const {
    const auto it = mTableDict.find(tableName);
    return it == mTableDict.end() ? nullptr : &it->second;
}

void QvRekolFormat::loadFile(const QString& path) {
    if (!QFileInfo::exists(path))
        return;
    QString error;
    const std::optional<QString> text = QvRekolUtil::readTextFile(path, error);
    if (!text) {
        QvLogUtil::e("QvRekolControl => ERROR: load qfmt failed!!! error:" + error);
        return;
    }
    loadText(*text);
}

void QvRekolFormat::loadText(const QString& text) {
    for (const QString& line : rekol::splitLines(text)) {
        TableFormat table(line);
        // A line of blanks, or one rejected by the table parser, has no name.
        if (!table.getTableName())
            continue;
        const QString name = *table.getTableName();
        mTableDict.insert_or_assign(name, std::move(table));
    }
}
