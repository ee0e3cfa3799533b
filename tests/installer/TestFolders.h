#pragma once
// A private home and applications folder per installer test; tree snapshots
// and the fake product come with it.

#include "base/Config.h"
#include "fakeproduct/FakeProduct.h"
#include "support/Sandbox.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>

// HOME (and XDG_DATA_HOME) and the applications folder point into a fresh
// temporary folder until destruction.
class TestFolders {
public:
    explicit TestFolders(const QString& homeName = QStringLiteral("home"))
        : m_home(m_dir.path() + '/' + homeName)
        , m_apps(m_dir.path() + "/Applications") {
        QDir().mkpath(m_home);
        QDir().mkpath(m_apps);
        // What the journal settles is rebuilt from the configured applications folder.
        for (const auto& [name, value] : {std::pair<const char*, QString>{"HOME", m_home},
                                          {"XDG_DATA_HOME", m_home + "/.local/share"},
                                          {"LUMADOC_APPLICATIONS_DIR", m_apps}}) {
            m_saved.append({name, qgetenv(name)});
            qputenv(name, QFile::encodeName(value));
        }
        Config::reload();
    }
    ~TestFolders() {
        for (const auto& [name, value] : m_saved)
            qputenv(name, value);
        Config::reload();
        // Trees copied from images may hold read-only folders.
        QDirIterator it(root(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            QFile::setPermissions(it.next(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString root() const { return m_dir.path(); }
    QString home() const { return m_home; }
    QString apps() const { return m_apps; }
    QString marker() const { return m_dir.path() + "/marker.txt"; }
    QString dataDir() const { return sandbox::dataDirUnder(m_home); }
    // Entries directly in the home folder but the settings folders (under
    // dataDir(): ".local", or ".qttest" on macOS), where staging folders would show.
    QStringList homeEntries() const {
        QStringList entries = QDir(m_home).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                     QDir::Hidden | QDir::System);
        entries.removeAll(QDir(m_home).relativeFilePath(dataDir()).section('/', 0, 0));
        return entries;
    }

private:
    QTemporaryDir m_dir;
    QString m_home, m_apps;
    QList<std::pair<const char*, QByteArray>> m_saved;
};

// Fake product options of a version, recording its starts in `marker` when given.
inline FakeProduct::Options productOptions(const QString& version, const QString& marker = {}) {
    return {version, marker};
}
