#include "platform/ProcessScan.h"

#include "base/ProcStat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <unistd.h>

#ifdef Q_OS_LINUX
namespace {
// Links resolved; empty when nothing is there.
QString canonical(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

QString linkTarget(const QString& link) {
    return QFileInfo(link).symLinkTarget();
}

bool runs(const QString& procDir, const QSet<QString>& wanted) {
    if (wanted.contains(linkTarget(procDir + "/exe")))
        return true;
    QFile cmdline(procDir + "/cmdline");
    if (!cmdline.open(QIODevice::ReadOnly))
        return false;
    // An interpreter's script is the second word ("/bin/sh <script>").
    const QList<QByteArray> words = cmdline.read(64 * 1024).split('\0');
    QString cwd;
    for (qsizetype i = 0; i < std::min<qsizetype>(2, words.size()); ++i) {
        QString word = QFile::decodeName(words[i]);
        if (word.isEmpty())
            continue;
        if (!word.startsWith('/')) {
            if (cwd.isEmpty())
                cwd = linkTarget(procDir + "/cwd");
            if (cwd.isEmpty())
                continue;
            word = cwd + '/' + word;
        }
        if (wanted.contains(canonical(word)))
            return true;
    }
    return false;
}
} // namespace
#endif

QList<qint64> processesRunning(const QStringList& programs) {
    QList<qint64> found;
#ifdef Q_OS_LINUX
    QSet<QString> wanted;
    for (const QString& program : programs)
        if (const QString path = canonical(program); !path.isEmpty())
            wanted.insert(path);
    if (wanted.isEmpty())
        return found;
    const qint64 self = ::getpid();
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (isPid && pid != self && runs("/proc/" + entry, wanted))
            found << pid;
    }
#else
    Q_UNUSED(programs);
#endif
    return found;
}

QList<qint64> lineageOfThisProcess() {
    QList<qint64> lineage{::getpid()};
#ifdef Q_OS_LINUX
    while (lineage.last() > 1 && lineage.size() < 4096) {
        const QList<QByteArray> fields = procStatFields(lineage.last());
        const qint64 parent = fields.size() > 1 ? fields[1].toLongLong() : 0;
        if (parent <= 0)
            break;
        lineage << parent;
    }
#endif
    return lineage;
}
