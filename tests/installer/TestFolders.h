#pragma once
// Helpers for the installer tests: a private home and applications folder per
// test (tree snapshots come with it), and fake product options.

#include "fakeproduct/FakeProduct.h"
#include "support/TreeSnapshot.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

// Points HOME (and XDG_DATA_HOME) at a fresh folder named homeName inside a
// temporary folder, and the configured applications folder at one beside it;
// restores them on destruction.
class TestFolders {
public:
    explicit TestFolders(const QString& homeName = QStringLiteral("home"));
    ~TestFolders();
    TestFolders(const TestFolders&) = delete;
    TestFolders& operator=(const TestFolders&) = delete;

    QString root() const { return m_dir.path(); }
    QString home() const { return m_home; }
    QString apps() const { return m_apps; }
    QString marker() const { return m_dir.path() + "/marker.txt"; }
    // The folder that holds the product's settings folder under this home.
    QString dataDir() const;

    // Entries directly in the home folder but the settings folders (under
    // dataDir()), where staging folders would show.
    QStringList homeEntries() const;

private:
    QTemporaryDir m_dir;
    QString m_home;
    QString m_apps;
    QByteArray m_oldHome;
    QByteArray m_oldDataHome;
    QByteArray m_oldApps;
};

// Fake product options of a version, recording its starts in `marker` when given.
inline FakeProduct::Options productOptions(const QString& version, const QString& marker = {}) {
    FakeProduct::Options options;
    options.version = version;
    options.markerPath = marker;
    return options;
}
