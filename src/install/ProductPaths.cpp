#include "install/ProductPaths.h"

#include "base/Config.h"

ProductPaths::ProductPaths()
    : ProductPaths(Config::get().applicationsDir) {}

ProductPaths::ProductPaths(const QString& applicationsDir)
    : m_applicationsDir(applicationsDir) {
    while (m_applicationsDir.size() > 1 && m_applicationsDir.endsWith('/'))
        m_applicationsDir.chop(1);
}

QString ProductPaths::app() const {
    return (m_applicationsDir == "/" ? QString() : m_applicationsDir) + '/' + kAppName;
}

QString ProductPaths::infoPlist() const {
    return app() + "/Contents/Info.plist";
}

QStringList ProductPaths::userPrograms() const {
    QStringList out;
    for (const char* dir : {"/Contents/MacOS/", "/Contents/MacOS_SymLink/"})
        for (const char* name : {"docreader", "docconverter", "memberui"})
            out << app() + dir + name;
    return out;
}

QStringList ProductPaths::services() const {
    QStringList out;
    for (const char* name : {"lmguard", "lmconvert", "doccore"})
        out << app() + "/Contents/MacOS/" + name;
    return out;
}

QString ProductPaths::protectionService() const {
    return app() + "/Contents/MacOS/lmguard";
}

QString ProductPaths::helper() const {
    return app() + "/Contents/Helpers/lmhelper.app/Contents/MacOS/lmhelper";
}
