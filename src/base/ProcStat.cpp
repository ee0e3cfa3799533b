#include "base/ProcStat.h"

#include <QFile>

QList<QByteArray> procStatFields(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    const qsizetype end = line.lastIndexOf(')');
    if (end < 0)
        return {};
    return line.mid(end + 2).trimmed().split(' ');
}
