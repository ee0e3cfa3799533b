#include "support/TreeSnapshot.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <filesystem>

QMap<QString, QString> snapshotTree(const QString& root) {
    QMap<QString, QString> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString mode = QString::number(int(info.permissions()), 16);
        QString entry;
        if (info.isSymLink()) {
            entry =
                "link " +
                QFile::decodeName(
                    std::filesystem::read_symlink(QFile::encodeName(path).toStdString()).c_str());
        } else if (info.isDir()) {
            entry = "dir " + mode;
        } else {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            QCryptographicHash hash(QCryptographicHash::Sha256);
            hash.addData(&file);
            entry = "file " + mode + ' ' + hash.result().toHex();
        }
        out.insert(QDir(root).relativeFilePath(path), entry);
    }
    return out;
}
