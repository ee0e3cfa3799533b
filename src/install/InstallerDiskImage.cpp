// Installer: staging folders and disk images.
#include "base/Log.h"
#include "install/Installer.h"

#include <QDir>
#include <QFile>
#include <QUuid>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
fs::path fsPath(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

QString errorText(const std::error_code& ec) {
    return QString::fromLocal8Bit(ec.message().c_str());
}

// Lets the owner delete entries of read-only folders (trees copied from an
// image keep the image's modes).
void makeOwnerWritable(const fs::path& root) {
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(root, ec)))
        return;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
}
} // namespace

Installer::Installer(QString dmgPath, ProductPaths paths, const SystemCommands& commands)
    : m_dmgPath(std::move(dmgPath))
    , m_paths(std::move(paths))
    , m_commands(&commands) {}

QString Installer::generateRandomPath() {
    return QDir::homePath() + '/' + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

void Installer::checkAndCreateFolder(const QString& path) {
    std::error_code ec;
    if (fs::exists(fsPath(path), ec)) {
        logLine(lcInstall(), QStringLiteral("文件夹已存在：") + path);
        return;
    }
    if (fs::create_directories(fsPath(path), ec) || (!ec && fs::is_directory(fsPath(path))))
        logLine(lcInstall(), QStringLiteral("文件夹已创建：") + path);
    else
        logLine(lcInstall(), QStringLiteral("创建文件夹失败：") + errorText(ec));
}

qint64 Installer::treeBytes(const QString& root) {
    qint64 total = 0;
    std::error_code ec;
    const fs::path top = fsPath(root);
    if (!fs::is_directory(fs::symlink_status(top, ec)))
        return fs::is_regular_file(fs::symlink_status(top, ec))
                   ? static_cast<qint64>(fs::file_size(top, ec))
                   : 0;
    for (fs::recursive_directory_iterator it(top, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && !it->is_symlink(ec))
            total += static_cast<qint64>(it->file_size(ec));
    return total;
}

QString Installer::notADiskImage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (file.size() == 0)
        return QStringLiteral("0 bytes");
    // No disk image starts with markup: a captive portal's page, an error page.
    QByteArray head = file.read(512);
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    head = head.trimmed();
    if (!head.startsWith('<'))
        return {};
    QString shown;
    for (const char c : head.left(40)) {
        if (c == '>' || c == '\n' || c == '\r')
            break;
        shown += c >= 0x20 && c < 0x7f ? QChar(c) : QChar('?');
    }
    return "it starts with `" + shown + '`';
}

QString Installer::removeTree(const QString& path) {
    const fs::path p = fsPath(path);
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(p, ec)))
        return {};
    if (fs::remove_all(p, ec) == static_cast<std::uintmax_t>(-1) || ec) {
        makeOwnerWritable(p);
        ec.clear();
        fs::remove_all(p, ec);
    }
    return ec ? errorText(ec) : QString();
}

void Installer::removeFolder(const QString& path) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(fsPath(path), ec))) {
        logLine(lcInstall(), QStringLiteral("文件夹不存在：") + path);
        return;
    }
    const QString error = removeTree(path);
    if (!error.isEmpty())
        logLine(lcInstall(), QStringLiteral("删除文件夹失败：") + error);
    else
        logLine(lcInstall(), QStringLiteral("文件夹已删除：") + path);
}

bool Installer::mountDMG(const QString& dmgPath, const QString& mountPoint,
                         const SystemCommands& commands, const std::function<bool()>& keepGoing) {
    const QString line = commands.attach(dmgPath, mountPoint);
    logLine(lcInstall(), "execute cmd " + line);
    const bool ok = runLine(commands, line, nullptr, nullptr, keepGoing);
    logLine(lcInstall(), ok ? "Mount command executed successfully" : "Mount command failed");
    return ok;
}

bool Installer::demountDMG(const QString& mountPoint, const SystemCommands& commands) {
    const QString line = commands.detach(mountPoint);
    logLine(lcInstall(), line);
    const bool ok = runLine(commands, line);
    if (!ok)
        logLine(lcInstall(), "demountDMG An error occurred");
    return ok;
}
