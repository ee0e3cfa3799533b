#pragma once
// What an installer run left of its own in the sandbox: entries in home (the
// settings and preference folders aside), package files and download folders
// in the temporary folder, the install journal, and anything beside
// Lumadoc.app in the applications folder.

#include "support/Sandbox.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>

inline QString installJournalPath() {
    return sandbox::dataDir() + "/Lumadoc/install-journal.json";
}

inline QStringList leftovers() {
    QStringList out;
    for (const QString& name :
         QDir(sandbox::home()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        if (name != ".local" && name != ".config") // settings and the window's preferences
            out << "home/" + name;
    for (const QString& name : QDir(sandbox::tempDir())
                                   .entryList({"package.dmg*", "lumadoc-*"},
                                              QDir::AllEntries | QDir::Hidden | QDir::System))
        out << "tmp/" + name;
    if (QFileInfo::exists(installJournalPath()))
        out << "journal";
    for (const QString& name :
         QDir(sandbox::applicationsDir())
             .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        if (name != "Lumadoc.app")
            out << "apps/" + name;
    return out;
}
