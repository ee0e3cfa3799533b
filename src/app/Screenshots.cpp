#include "app/Screenshots.h"

#include "app/WindowPlacement.h"
#include "base/Globals.h"
#include "base/Log.h"
#include "base/WholeFile.h"
#include "i18n/MultiLanguageUtils.h"
#include "ui/ContentView.h"
#include "ui/ExitAlertWindow.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

namespace {

void setEnv(const char* name, const QString& value) {
    qputenv(name, value.toLocal8Bit());
}

ScreenState downloading(qint64 received, qint64 expected, qint64 secondsLeft) {
    ScreenState s;
    s.installerStatus = INSTALLER_STATUS::Downloading;
    s.totalDownloaded = received;
    s.totalExpectedDownload = expected;
    s.remainTime = secondsLeft;
    s.progress = double(received) / double(expected) * ScreenState::kInstallPhase;
    return s;
}

QPixmap draw(const Screenshots::Still& still) {
    ContentView view; // bound to no flow: it shows only what it is given
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.showState(still.state);
    view.resize(view.sizeHint());
    view.show();
    QCoreApplication::processEvents();
    view.finishAnimations();
    QPixmap picture = view.grab();
    if (still.closePanel) {
        ExitAlertWindow panel;
        panel.setAttribute(Qt::WA_DontShowOnScreen);
        panel.setAttribute(Qt::WA_TranslucentBackground);
        panel.show();
        QCoreApplication::processEvents();
        const QRect frame = WindowPlacement::panelFrame(QRect(QPoint(0, 0), view.size()));
        QPainter(&picture).drawPixmap(frame.topLeft(), panel.grab());
    }
    return picture;
}

} // namespace

QStringList Screenshots::languages() {
    return {QStringLiteral("en"), QStringLiteral("de")};
}

QList<Screenshots::Still> Screenshots::stills() {
    QList<Still> list;
    list.append({QStringLiteral("start"), ScreenState{}, false});
    ScreenState custom;
    custom.isExpanded = true;
    list.append({QStringLiteral("start-custom"), custom, false});
    list.append({QStringLiteral("progress"), downloading(120, 300, 95), false});
    ScreenState installing = downloading(300, 300, 0);
    installing.installerStatus = INSTALLER_STATUS::Installing;
    installing.progress = 0.9;
    list.append({QStringLiteral("installing"), installing, false});
    ScreenState downloadFailed = downloading(120, 300, 95);
    downloadFailed.installerStatus = INSTALLER_STATUS::Download_failed;
    list.append({QStringLiteral("download-failed"), downloadFailed, false});
    ScreenState installFailed = installing;
    installFailed.installerStatus = INSTALLER_STATUS::Install_failed;
    installFailed.progress = 1.08;
    list.append({QStringLiteral("install-failed"), installFailed, false});
    ScreenState running;
    running.isUsingNow = true;
    list.append({QStringLiteral("running-alert"), running, false});
    list.append({QStringLiteral("close-confirm"), downloading(120, 300, 95), true});
    return list;
}

void Screenshots::isolate(const QString& scratch) {
    const QDir root(scratch);
    for (const char* dir :
         {"home/.local/share", "home/.config", "home/.cache", "tmp", "Applications", "resources"})
        root.mkpath(QString::fromLatin1(dir));
    setEnv("HOME", root.filePath("home"));
    setEnv("TMPDIR", root.filePath("tmp"));
    setEnv("XDG_DATA_HOME", root.filePath("home/.local/share"));
    setEnv("XDG_CONFIG_HOME", root.filePath("home/.config"));
    setEnv("XDG_CACHE_HOME", root.filePath("home/.cache"));
    // Qt wants one, private, and says so on standard error without it.
    QFile::setPermissions(root.filePath("tmp"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setEnv("XDG_RUNTIME_DIR", root.filePath("tmp"));
    setEnv("LUMADOC_APPLICATIONS_DIR", root.filePath("Applications"));
    setEnv("LUMADOC_RESOURCE_DIR", root.filePath("resources"));
    setEnv("LUMADOC_DOWNLOAD_BASE_URL", QStringLiteral("http://127.0.0.1:9"));
    setEnv("LUMADOC_WEB_BASE_URL", QStringLiteral("http://127.0.0.1:9"));
#ifdef Q_OS_MACOS
    // macOS finds Application Support and the defaults without HOME: Qt's test
    // mode keeps both under the scratch home instead of ~/Library.
    QStandardPaths::setTestModeEnabled(true);
#endif
}

QString Screenshots::writeAll(const QString& dir, const std::function<bool()>& keepGoing) {
    if (const QString why = makeFolders(dir); !why.isEmpty())
        return "cannot create " + dir + ": " + why;
    for (const QString& language : languages()) {
        MultiLanguageUtils::setLanguage(language);
        for (const Still& still : stills()) {
            if (!keepGoing())
                return QStringLiteral("stopped");
            const QString path = QDir(dir).filePath(still.name + '-' + language + ".png");
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            draw(still).save(&buffer, "PNG");
            // Whole or not at all: a full disk leaves no cut picture behind.
            if (const QString why = replaceFileWhole(path, png); !why.isEmpty())
                return "cannot write " + path + ": " + why;
            logLine(lcUi(), "wrote " + path);
        }
    }
    return {};
}
