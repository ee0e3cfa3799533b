#include "rekol/QvRekolControl.h"
#include "base/DecimalText.h"

#include "base/Config.h"
#include "rekol/QvLogUtil.h"
#include "rekol/QvRekolUtil.h"

#include <QFileInfo>

QvRekolControl::QvRekolControl(const QString& qctrl) {
    loadFile(Config::get().resourcePath(qctrl));
}

QvRekolControl QvRekolControl::fromPath(const QString& path) {
    QvRekolControl control;
    control.loadFile(path);
    return control;
}

QvRekolControl QvRekolControl::fromText(const QString& text) {
    QvRekolControl control;
    control.loadText(text);
    return control;
}

void QvRekolControl::loadFile(const QString& path) {
    if (!QFileInfo::exists(path))
        return;
    QString error;
    const std::optional<QString> text = QvRekolUtil::readTextFile(path, error);
    if (!text) {
        QvLogUtil::e("QvRekolControl => ERROR: load qctrl failed!!! error:" + error);
        return;
    }
    loadText(*text);
}

void QvRekolControl::loadText(const QString& text) {
    std::optional<QString> currentName;
    Section current;
    const auto keep = [&] {
        if (currentName && !current.isEmpty())
            mSections.insert(*currentName, current);
    };
    for (const QString& line : rekol::splitLines(text)) {
        if (std::optional<QString> name = parseSection(line)) {
            keep();
            current.clear();
            currentName = std::move(name);
            continue;
        }
        const qsizetype eq = rekol::findFirst(line, QStringLiteral("="));
        if (eq <= 0 || !currentName)
            continue;
        current.insert(line.left(eq), line.mid(eq + 1));
    }
    keep();
}

std::optional<QString> QvRekolControl::parseSection(const QString& line) {
    // "[" ... "]" greedily, within one stretch of the line free of line
    // terminators (a lone CR, VT, FF, NEL, LS or PS ends a stretch).
    const auto isTerminator = [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
    };
    qsizetype start = 0;
    while (start <= line.size()) {
        qsizetype end = start;
        while (end < line.size() && !isTerminator(line[end]))
            ++end;
        const QStringView stretch = QStringView(line).mid(start, end - start);
        const qsizetype open = stretch.indexOf(u'[');
        const qsizetype close = stretch.lastIndexOf(u']');
        if (open >= 0 && close > open)
            return stretch.mid(open + 1, close - open - 1).toString();
        start = end + 1;
    }
    return std::nullopt;
}

QString QvRekolControl::getPrivateProfileString(const QString& section, const QString& variable,
                                                const QString& defaultValue) const {
    const auto sectionIt = mSections.constFind(section);
    if (sectionIt == mSections.constEnd())
        return defaultValue;
    const QString value = sectionIt->value(variable);
    return value.isEmpty() ? defaultValue : value;
}

qint64 QvRekolControl::getPrivateProfileInt(const QString& section, const QString& variable,
                                            qint64 defaultValue) const {
    const QString text = getPrivateProfileString(section, variable, QString::number(defaultValue));
    return DecimalText::parse(text).value_or(defaultValue);
}

qint64 QvRekolControl::getProductId() const {
    return getPrivateProfileInt(QStringLiteral("common"), QStringLiteral("product"), 0);
}

qint64 QvRekolControl::getPriority(const QString& tableName) const {
    return getPrivateProfileInt(tableName, QStringLiteral("priority"), DEFAULT_PRIORITY);
}

QString QvRekolControl::getServerUrl(qint64 priority) const {
    const QString url = getPrivateProfileString(QStringLiteral("common"),
                                                "server" + QString::number(priority), QString());
    if (url.isEmpty() && priority == DEFAULT_PRIORITY)
        QvLogUtil::e("QvRekolControl => ERROR: missing url for server" +
                     QString::number(DEFAULT_PRIORITY) + "!!!");
    return url;
}

QString QvRekolControl::getServerUrl(const QString& tableName) const {
    return getServerUrl(getPriority(tableName));
}
