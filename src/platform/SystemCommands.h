#pragma once
// Every command line or argument list the installer runs against the system,
// per platform. The sets only build text, so both compile and can be checked
// everywhere; only current() is ever executed.
//
// Every path placed in a shell line is single-quoted (a quote inside becomes
// '\''), so blanks, quotes and $(...) in a home, temp or image path reach the
// tool as plain characters. Tools started directly get an argument list.

#include <QString>
#include <QStringList>

// A program started directly, without a shell.
struct ProgramCall {
    QString program;
    QStringList arguments;
    bool detached = false; // start and forget: no waiting, no output

    bool isValid() const { return !program.isEmpty(); }
};

class SystemCommands {
public:
    virtual ~SystemCommands() = default;

    // The set of the platform the installer runs on.
    static const SystemCommands& current();

    // 'text' as one shell word.
    static QString quote(const QString& text);
    // 'text' as an extended regular expression matching exactly itself. A '.'
    // stays as it is: it matches itself, and product paths keep their usual
    // form in the lines.
    static QString regexLiteral(const QString& text);

    // The shell that runs every command line: shell(), shellOptions(), "-c"
    // and the line (shellCall). The options keep the user's start-up files out.
    virtual QString shell() const = 0;
    virtual QStringList shellOptions() const { return {}; }
    ProgramCall shellCall(const QString& line) const {
        return {shell(), shellOptions() + QStringList{"-c", line}};
    }
    // The programs the lines run by name, which the shell finds on PATH.
    virtual QStringList tools() const = 0;

    // Prints the machine's processor name: "arm64" or "aarch64" for 64-bit
    // ARM, a name starting "x86" for Intel.
    virtual QString processorProbe() const = 0;
    // Prints the system version on standard output (standard error untouched).
    virtual ProgramCall osVersion() const = 0;

    // Makes the image's file system readable at mountPoint; status 0 on success.
    virtual QString attach(const QString& image, const QString& mountPoint) const = 0;
    // Prints the image's bundle entries with their sizes ("Size = N" lines),
    // to know the room an attach takes; empty where attaching takes none.
    virtual QString listBundle(const QString& /*image*/) const { return {}; }
    // True when attach makes a private copy that the installer may take
    // apart (an extraction), false for a real, read-only mount.
    virtual bool attachIsPrivateCopy() const { return false; }
    // Undoes attach at mountPoint; fails when nothing is there.
    virtual QString detach(const QString& mountPoint) const = 0;
    // Copies a bundle tree out of the image, modes and links kept; dst must not exist.
    virtual ProgramCall copyTree(const QString& src, const QString& dst) const = 0;
    // Moves a file or folder.
    virtual QString move(const QString& src, const QString& dst) const = 0;

    // Lists the processes whose command line holds one of programs anywhere;
    // status 1 when there is none. Never lists the shell running the line itself.
    virtual QString findRunning(const QStringList& programs) const = 0;
    // Sends SIGTERM to every process running one of programs.
    virtual QString stopRunning(const QStringList& programs) const = 0;
    // Starts program with one argument in the background and returns at once.
    virtual QString startInBackground(const QString& program, const QString& argument) const = 0;
    // Opens the application bundle at appPath with "-from=5". executable is
    // the bundle's CFBundleExecutable (platforms that launch it themselves
    // need it); an invalid call means the launch cannot be built.
    virtual ProgramCall launch(const QString& appPath, const QString& executable) const = 0;
};
