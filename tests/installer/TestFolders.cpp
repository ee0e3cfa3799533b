#include "TestFolders.h"

#include "fakeproduct/FakeProduct.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <csignal>
#include <cstdlib>

namespace {
void setEnv(const char* name, const QString& value) {
    ::setenv(name, QFile::encodeName(value).constData(), 1);
}
} // namespace

TestFolders::TestFolders(const QString& homeName)
    : m_oldHome(qgetenv("HOME"))
    , m_oldDataHome(qgetenv("XDG_DATA_HOME")) {
    m_home = m_dir.path() + '/' + homeName;
    m_apps = m_dir.path() + "/Applications";
    QDir().mkpath(m_home);
    QDir().mkpath(m_apps);
    setEnv("HOME", m_home);
    setEnv("XDG_DATA_HOME", m_home + "/.local/share");
}

TestFolders::~TestFolders() {
    ::setenv("HOME", m_oldHome.constData(), 1);
    ::setenv("XDG_DATA_HOME", m_oldDataHome.constData(), 1);
    // Trees copied from images may hold read-only folders.
    QDirIterator it(m_dir.path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList TestFolders::homeEntries() const {
    return QDir(m_home).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                  QDir::System);
}

bool processAlive(qint64 pid) {
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && text.size() > close + 2 && text[close + 2] != 'Z';
}

void ProcessReaper::killAll() {
    for (const FakeProduct::Launch& launch : FakeProduct::launches(m_marker)) {
        // Only a fake program still running under its own name is ours.
        QFile cmdline(QString("/proc/%1/cmdline").arg(launch.pid));
        if (launch.pid > 1 && cmdline.open(QIODevice::ReadOnly) &&
            cmdline.readAll().contains("Lumadoc.app")) {
            ::kill(static_cast<pid_t>(launch.pid), SIGKILL);
            (void)QTest::qWaitFor([&] { return !processAlive(launch.pid); }, 5000);
        }
    }
}
