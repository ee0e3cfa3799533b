#include "base/AppBundle.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kSuffix = QStringLiteral(".app");

// The path with its links resolved when it exists, else only tidied.
QString resolved(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}
} // namespace

QString AppBundle::enclosingBundle(const QString& executablePath) {
    if (executablePath.isEmpty())
        return {};
    const QFileInfo macos(QFileInfo(resolved(executablePath)).path());
    const QFileInfo contents(macos.path());
    const QFileInfo bundle(contents.path());
    // macOS file systems usually ignore case; so does the Finder for ".app".
    if (macos.fileName() != QLatin1String("MacOS") ||
        contents.fileName() != QLatin1String("Contents") ||
        !bundle.fileName().endsWith(kSuffix, Qt::CaseInsensitive) ||
        bundle.fileName().size() == kSuffix.size())
        return {};
    return bundle.filePath();
}

QString AppBundle::resourceDir(const QString& executablePath) {
    const QString bundle = enclosingBundle(executablePath);
    if (!bundle.isEmpty())
        return bundle + "/Contents/Resources";
    return QDir::cleanPath(QFileInfo(resolved(executablePath)).path() +
                           "/../share/lumadoc-installer");
}

QString AppBundle::installerName(const QString& executablePath) {
    const QString bundle = enclosingBundle(executablePath);
    if (bundle.isEmpty())
        return QFileInfo(executablePath).fileName();
    const QString name = QFileInfo(bundle).fileName();
    return name.left(name.size() - kSuffix.size());
}
