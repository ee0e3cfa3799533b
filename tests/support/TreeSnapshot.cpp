#include "support/TreeSnapshot.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <filesystem>

Tree snapshotTree(const QString& root) {
    Tree out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        // A FIFO or device is named, never read: a read could block.
        QString entry = (info.isDir()    ? "dir "
                         : info.isFile() ? "file "
                                         : "special ") +
                        QString::number(int(info.permissions()), 16);
        if (info.isSymLink()) {
            const auto target = std::filesystem::read_symlink(QFile::encodeName(path).constData());
            entry = "link " + QFile::decodeName(target.c_str());
        } else if (info.isFile()) {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            QCryptographicHash hash(QCryptographicHash::Sha256);
            hash.addData(&file);
            entry += ' ' + hash.result().toHex();
        }
        out.insert(QDir(root).relativeFilePath(path), entry);
    }
    return out;
}
