#pragma once
// The installed product's fixed paths, all derived from one applications
// folder: Config's ("~/Applications" on Linux, "/Applications" on macOS), any
// folder in tests.

#include <QString>
#include <QStringList>

class ProductPaths {
public:
    // Rooted at Config::get().applicationsDir.
    ProductPaths();
    explicit ProductPaths(const QString& applicationsDir);

    const QString& applicationsDir() const { return m_applicationsDir; }

    // "<apps>/Lumadoc.app": replaced as a whole.
    QString app() const;
    // "<app>/Contents/Info.plist".
    QString infoPlist() const;
    // The user-facing programs under Contents/MacOS and Contents/MacOS_SymLink
    // (six paths); any of them running means the product is in use.
    QStringList userPrograms() const;
    // Background services lmguard, lmconvert, doccore under Contents/MacOS.
    QStringList services() const;
    // The protection service, lmguard.
    QString protectionService() const;
    // "<app>/Contents/Helpers/lmhelper.app/Contents/MacOS/lmhelper".
    QString helper() const;

    static constexpr const char* kAppName = "Lumadoc.app";

private:
    QString m_applicationsDir;
};
