#pragma once
// Arguments that macOS and its tools add to a program's command line, which
// are not the user's: "-psn_0_12345" (the process serial number some launches
// of a double-clicked application carry) and "-NS<Key> <value>" pairs (user
// defaults set for one run; Xcode passes "-NSDocumentRevisionsDebugMode YES").

struct LaunchArguments {
    // Removes those arguments from argv[1..argc) in place, keeping the order of
    // the rest and argv[argc] == nullptr, and returns the new argc. A "-NS..."
    // argument takes the next one with it as its value unless that one starts
    // with "-". Call before anything else reads argv.
    static int dropSystemArguments(int argc, char** argv);
};
