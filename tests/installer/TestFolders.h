#pragma once
// Helpers for the installer tests: a private home and applications folder per
// test (tree snapshots come with it), and a reaper that kills every
// fake product process a test started, whatever the test's outcome.

#include "fakeproduct/FakeProduct.h"
#include "support/TreeSnapshot.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

// Points HOME (and XDG_DATA_HOME) at a fresh folder named homeName inside a
// temporary folder, with an applications folder beside it; restores both on
// destruction.
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

    // Entries directly in the home folder (staging folders would show here).
    QStringList homeEntries() const;

private:
    QTemporaryDir m_dir;
    QString m_home;
    QString m_apps;
    QByteArray m_oldHome;
    QByteArray m_oldDataHome;
};

// Kills every process recorded in the marker file when it goes away.
class ProcessReaper {
public:
    explicit ProcessReaper(QString markerPath)
        : m_marker(std::move(markerPath)) {}
    ~ProcessReaper() { killAll(); }
    ProcessReaper(const ProcessReaper&) = delete;
    ProcessReaper& operator=(const ProcessReaper&) = delete;

    void killAll();

private:
    QString m_marker;
};

// Fake product options of a version, recording its starts in `marker` when given.
inline FakeProduct::Options productOptions(const QString& version, const QString& marker = {}) {
    FakeProduct::Options options;
    options.version = version;
    options.markerPath = marker;
    return options;
}

// True while a process with this pid exists and is not a zombie.
bool processAlive(qint64 pid);
