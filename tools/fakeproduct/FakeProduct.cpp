#include "fakeproduct/FakeProduct.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

namespace FakeProduct {
namespace {

QString shellQuoted(QString text) {
    text.replace('\'', QStringLiteral("'\\''"));
    return '\'' + text + '\'';
}

QString xmlEscaped(QString text) {
    return text.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

bool writeFile(const QString& path, const QByteArray& content,
               QFile::Permissions permissions = {}) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        return false;
    file.close();
    return permissions == QFile::Permissions() || file.setPermissions(permissions);
}

QByteArray programScript(const QString& name, const QString& markerPath) {
    QString script = "#!/bin/bash\n# Lumadoc stand-in: " + name + "\n";
    if (!markerPath.isEmpty())
        script +=
            "printf '%s %s %s\\n' " + name + " \"$$\" \"$*\" >> " + shellQuoted(markerPath) + "\n";
    // One process, named by the path it was started by, until killed.
    script += "exec -a \"$0\" sleep 100000\n";
    return script.toUtf8();
}

QByteArray infoPlist(const QString& version) {
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                          "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                          "<plist version=\"1.0\">\n<dict>\n"
                          "\t<key>CFBundleExecutable</key>\n\t<string>docreader</string>\n"
                          "\t<key>CFBundleIdentifier</key>\n\t<string>com.lumadoc.reader</string>\n"
                          "\t<key>CFBundleShortVersionString</key>\n\t<string>%1</string>\n"
                          "</dict>\n</plist>\n")
        .arg(xmlEscaped(version))
        .toUtf8();
}

bool writePayload(const QString& path, std::int64_t bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    // Incompressible, so no layer can shortcut the copy.
    QByteArray block(1 << 20, Qt::Uninitialized);
    QRandomGenerator random(42);
    random.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
    while (bytes > 0) {
        const qint64 n = std::min<std::int64_t>(bytes, block.size());
        if (file.write(block.constData(), n) != n)
            return false;
        bytes -= n;
    }
    return true;
}

constexpr QFile::Permissions kExecutable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                           QFile::ExeOther;

} // namespace

QStringList programNames() {
    return {"docreader", "docconverter", "memberui", "lmguard", "lmconvert", "doccore"};
}

QString write(const QString& dir, const Options& options) {
    const QString app = dir + "/Lumadoc.app";
    if (QFileInfo::exists(app) && !QDir(app).removeRecursively())
        return {};
    const QString contents = app + "/Contents";
    const QString helperDir = contents + "/Helpers/lmhelper.app/Contents/MacOS";
    if (!QDir().mkpath(contents + "/MacOS") || !QDir().mkpath(helperDir) ||
        !QDir().mkpath(contents + "/Resources"))
        return {};
    bool ok = writeFile(contents + "/Info.plist", infoPlist(options.version));
    for (const QString& name : programNames())
        ok = ok && writeFile(contents + "/MacOS/" + name, programScript(name, options.markerPath),
                             kExecutable);
    ok = ok && writeFile(helperDir + "/lmhelper", programScript("lmhelper", options.markerPath),
                         kExecutable);
    ok = ok && QFile::link("MacOS", contents + "/MacOS_SymLink");
    if (options.payloadBytes > 0)
        ok = ok && writePayload(contents + "/Resources/payload.bin", options.payloadBytes);
    return ok ? app : QString();
}

bool makeDiskImage(const QString& srcDir, const QString& imagePath, const QString& volumeName,
                   QString* error) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("genisoimage", {"-quiet", "-R", "-V", volumeName, "-o", imagePath, srcDir});
    if (!process.waitForStarted(-1)) {
        if (error)
            *error = process.error() == QProcess::FailedToStart
                         ? "genisoimage not found (install the genisoimage package)"
                         : "genisoimage could not start: " + process.errorString();
        return false;
    }
    process.closeWriteChannel();
    // Large payloads take a while; read as it goes so nothing blocks.
    QByteArray output;
    while (process.state() != QProcess::NotRunning) {
        process.waitForFinished(500);
        output += process.readAll().left(4096 - output.size());
    }
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok && error)
        *error =
            "genisoimage failed: " + QString::fromLocal8Bit(output).trimmed().section('\n', 0, 0);
    return ok;
}

QList<Launch> launches(const QString& markerPath) {
    QList<Launch> out;
    QFile file(markerPath);
    if (markerPath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        const QStringList fields = line.split(' ');
        if (fields.size() < 2)
            continue;
        out.append({fields[0], fields[1].toLongLong(), line.section(' ', 2)});
    }
    return out;
}

} // namespace FakeProduct
