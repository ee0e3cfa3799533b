#pragma once
// Where the installer's own bundle, name and data files are, from the path of
// its executable alone. A macOS application is a folder
//
//     <name>.app/Contents/MacOS/<executable>
//     <name>.app/Contents/Resources/qfmt.dat, qctrl.dat, ...
//
// whose name carries the installer's version and channel
// ("X_v3.2.1_ab12_101.202.303.404 (1).app"). An executable anywhere else (the
// Linux build and install trees) keeps its data in <exe dir>/../share/lumadoc-installer
// and is named by its own file name. The rules are the same on every platform.

#include <QString>

struct AppBundle {
    // The "<name>.app" folder whose Contents/MacOS holds the executable, empty
    // when there is none. Symbolic links are resolved while the path exists.
    static QString enclosingBundle(const QString& executablePath);

    // The folder of the data files: the bundle's Contents/Resources, else
    // <exe dir>/../share/lumadoc-installer.
    static QString resourceDir(const QString& executablePath);

    // The bundle's folder name without ".app", else the executable's file name
    // (whose dots belong to the name). Empty for an empty path.
    static QString installerName(const QString& executablePath);
};
