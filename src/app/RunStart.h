#pragma once
// What every run of the installer does around its work, window or not.

#include <QString>
#include <cstdio>

class CommandLine;
class InstanceLock;

namespace RunStart {

void print(std::FILE* stream, const QString& text);

// One installer at a time: the lock is held until the process ends. Then what
// earlier installs left is settled, before any report or download.
enum class TakeOver { Done, AnotherRuns, NoLock };
TakeOver takeOver(InstanceLock& lock);

// What this run made goes, also after a stop request.
void settleOwnRun();

// Says once why no reports will be sent, if none will.
void checkTelemetry(bool verbose);

} // namespace RunStart

// The window and the stills: in a module the installer opens only for them
// (see main.cpp), so its own start-up stays free of the window's libraries.
extern "C" int lumadocRunWindow(int argc, char** argv, const CommandLine& line);
