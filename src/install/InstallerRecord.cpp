// Installer: the installation record (package name, identifiers, times) and
// the installed application's version.
#include "base/AppBundle.h"
#include "base/DecimalText.h"
#include "base/Globals.h"
#include "base/Log.h"
#include "install/Installer.h"
#include "install/PropertyList.h"
#include "install/RegEditer.h"
#include "install/UUIDGenerater.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <filesystem>
#include <utility>
#include <vector>

QString Installer::strUUid;

namespace {
using Pairs = RegEditer::Entries;

QString textForm(const Pairs& pairs) {
    QStringList items;
    for (const auto& [key, value] : pairs)
        items << '"' + key + "\": \"" + value + '"';
    return '[' + items.join(", ") + ']';
}

QString now() {
    return QString::number(QDateTime::currentSecsSinceEpoch());
}
} // namespace

QString Installer::installerName() {
    if (!QCoreApplication::instance())
        return {};
    return AppBundle::installerName(QCoreApplication::applicationFilePath());
}

void Installer::getPackageInfo(ReportBlock& block) {
    getPackageInfo(block, installerName(), g_commonFilePath());
}

void Installer::getPackageInfo(ReportBlock& block, const QString& name,
                               const std::optional<QString>& settingsPath) {
    if (settingsPath) {
        const QString generated =
            RegEditer::getIniValueWithGroup("product/generated", "0", *settingsPath);
        if (generated == "0") {
            if (strUUid.isEmpty())
                strUUid = assembleUUID();
            block.uuid = strUUid;
            block.svrid = strUUid;
        } else {
            block.uuid = RegEditer::getIniValueWithGroup("product/uuid", "", *settingsPath);
            block.svrid = RegEditer::getIniValueWithGroup("product/svrid", "", *settingsPath);
        }
    }
    if (name.isEmpty()) {
        logLine(lcSettings(), QStringLiteral("无法获取应用程序名称"));
        return;
    }
    logLine(lcSettings(), QStringLiteral("应用程序名称：") + name);
    applyPackageName(name, block);
}

void Installer::applyPackageName(const QString& name, ReportBlock& block) {
    const QStringList parts = name.split('_');
    if (parts.size() < 4)
        return;
    const qsizetype v = parts[1].lastIndexOf('v');
    block.version = v < 0 ? parts[1] : parts[1].mid(v + 1);
    block.shortCode = parts[2];

    const QStringList numbers = parts[3].split('.');
    if (numbers.size() < 4)
        return;
    block.tid1 = DecimalText::parse(numbers[0]).value_or(0);
    block.tid2 = DecimalText::parse(numbers[1]).value_or(0);
    block.tod1 = DecimalText::parse(numbers[2]).value_or(0);
    // A copy saved as "name (1)" keeps its number: the suffix is ignored.
    const qsizetype space = numbers[3].indexOf(' ');
    block.tod2 = space < 0 ? DecimalText::parse(numbers[3]).value_or(0)
                           : DecimalText::parse(QStringView(numbers[3]).left(space)).value_or(1);
}

QString Installer::recordPackageDetail(const ReportBlock& block, bool isOverwrite) {
    return recordPackageDetail(block, isOverwrite, g_commonFilePath());
}

QString Installer::recordPackageDetail(const ReportBlock& block, bool isOverwrite,
                                       const std::optional<QString>& settingsPath) {
    Pairs pairs;
    if (isOverwrite) {
        pairs.emplace_back("product/cover_install", "1");
        logLine(lcSettings(), QStringLiteral("overwrite installation with：") + textForm(pairs));
        if (!settingsPath)
            return {};
        pairs.emplace_back("product/cover_installtime", now());
    } else {
        pairs.emplace_back("product/version", block.version);
        pairs.emplace_back("product/shortCode", block.shortCode);
        pairs.emplace_back("product/tid1", QString::number(block.tid1));
        pairs.emplace_back("product/tid2", QString::number(block.tid2));
        pairs.emplace_back("product/tod1", QString::number(block.tod1));
        pairs.emplace_back("product/tod2", QString::number(block.tod2));
        pairs.emplace_back("product/cover_install", "0");
        logLine(lcSettings(), QStringLiteral("completely installation with：") + textForm(pairs));
        if (!settingsPath)
            return {};
        if (RegEditer::getIniValue("generated", "0", *settingsPath) == "0") {
            pairs.emplace_back("product/generated", "1");
            pairs.emplace_back("product/uuid", block.uuid);
            pairs.emplace_back("product/svrid", block.svrid);
        }
        pairs.emplace_back("product/installtime", now());
    }
    // One write: the record is whole or, after a failure, the previous one.
    QString error;
    RegEditer::setIniValuesWithGroup(pairs, *settingsPath, &error);
    return error;
}

std::int64_t Installer::checkPackageVersion(const QString& appPath) {
    const PropertyList plist = PropertyList::readFile(appPath + "/Contents/Info.plist");
    switch (plist.status()) {
    case PropertyList::Status::Unreadable:
    case PropertyList::Status::Malformed:
        logLine(lcSettings(), "Failed to read plist file: " + plist.error());
        return -1;
    case PropertyList::Status::NotDictionary:
        logLine(lcSettings(), "Failed to cast plist content to dictionary.");
        return -1;
    case PropertyList::Status::Ok:
        break;
    }
    const std::optional<QString> version = plist.valueOfKeyContaining("CFBundleShortVersionString");
    if (!version)
        return -1;
    std::int64_t last = -1;
    for (const QString& piece : version->split('.', Qt::SkipEmptyParts))
        if (const auto number = DecimalText::parse(piece))
            last = *number;
    return last;
}

QString Installer::bundleExecutable(const QString& appPath) {
    return PropertyList::readFile(appPath + "/Contents/Info.plist")
        .stringValue("CFBundleExecutable")
        .value_or(QString());
}

QString Installer::bundleProblem(const QString& appPath) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path app(QFile::encodeName(appPath).toStdString());
    if (!fs::is_directory(fs::symlink_status(app, ec)))
        return QStringLiteral("not a folder");
    const PropertyList plist = PropertyList::readFile(appPath + "/Contents/Info.plist");
    if (plist.status() != PropertyList::Status::Ok)
        return QStringLiteral("no readable Info.plist");
    const QString executable = plist.stringValue("CFBundleExecutable").value_or(QString());
    if (executable.isEmpty() || executable.contains('/') || executable == "." || executable == "..")
        return QStringLiteral("no CFBundleExecutable");
    const fs::path program =
        app / "Contents" / "MacOS" / QFile::encodeName(executable).toStdString();
    const fs::file_status status = fs::symlink_status(program, ec);
    const fs::perms anyExec =
        fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    if (!fs::is_regular_file(status) || (status.permissions() & anyExec) == fs::perms::none)
        return "no program " + executable + " in Contents/MacOS";
    return {};
}
