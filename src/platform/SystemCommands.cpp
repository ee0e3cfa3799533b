#include "platform/SystemCommands.h"

#include "platform/LinuxCommands.h"
#include "platform/MacCommands.h"

const SystemCommands& SystemCommands::current() {
    // Never destroyed: threads still ending at exit (a reporter's, the install
    // queue's) may ask for it after static destructors have begun.
#ifdef Q_OS_MACOS
    static const SystemCommands* const commands = new MacCommands;
#else
    static const SystemCommands* const commands = new LinuxCommands;
#endif
    return *commands;
}

QString SystemCommands::quote(const QString& text) {
    QString quoted = text;
    quoted.replace('\'', QStringLiteral("'\\''"));
    return '\'' + quoted + '\'';
}

QString SystemCommands::regexLiteral(const QString& text) {
    static const QString special = QStringLiteral("\\^$*+?()[]{}|");
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (special.contains(c))
            out += '\\';
        out += c;
    }
    return out;
}
