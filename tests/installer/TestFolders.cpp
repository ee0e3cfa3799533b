#include "TestFolders.h"

#include "base/Config.h"
#include "support/Sandbox.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>

namespace {
void setEnv(const char* name, const QString& value) {
    ::setenv(name, QFile::encodeName(value).constData(), 1);
}
} // namespace

TestFolders::TestFolders(const QString& homeName)
    : m_oldHome(qgetenv("HOME"))
    , m_oldDataHome(qgetenv("XDG_DATA_HOME"))
    , m_oldApps(qgetenv("LUMADOC_APPLICATIONS_DIR")) {
    m_home = m_dir.path() + '/' + homeName;
    m_apps = m_dir.path() + "/Applications";
    QDir().mkpath(m_home);
    QDir().mkpath(m_apps);
    setEnv("HOME", m_home);
    setEnv("XDG_DATA_HOME", m_home + "/.local/share");
    // What the journal settles is rebuilt from the configured applications folder.
    setEnv("LUMADOC_APPLICATIONS_DIR", m_apps);
    Config::reload();
}

TestFolders::~TestFolders() {
    ::setenv("HOME", m_oldHome.constData(), 1);
    ::setenv("XDG_DATA_HOME", m_oldDataHome.constData(), 1);
    ::setenv("LUMADOC_APPLICATIONS_DIR", m_oldApps.constData(), 1);
    Config::reload();
    // Trees copied from images may hold read-only folders.
    QDirIterator it(m_dir.path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString TestFolders::dataDir() const {
    return sandbox::dataDirUnder(m_home);
}

QStringList TestFolders::homeEntries() const {
    QStringList entries = QDir(m_home).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                 QDir::Hidden | QDir::System);
    // The settings folders' own tree: ".local", or ".qttest" on macOS.
    entries.removeAll(QDir(m_home).relativeFilePath(dataDir()).section('/', 0, 0));
    return entries;
}
