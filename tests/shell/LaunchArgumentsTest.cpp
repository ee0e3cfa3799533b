#include "app/LaunchArguments.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
// The arguments left after the program name, and argv's terminator checked.
std::vector<std::string> kept(std::vector<std::string> args) {
    args.insert(args.begin(), "LumadocInstaller");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = LaunchArguments::dropSystemArguments(int(args.size()), argv.data());
    EXPECT_EQ(argv[size_t(argc)], nullptr);
    return {argv.begin() + 1, argv.begin() + argc};
}
} // namespace

TEST(LaunchArguments, SystemArgumentsGoTheUsersStay) {
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        {{}, {}},
        {{"-psn_0_1234567"}, {}},
        {{"-psn_0_1", "--silent"}, {"--silent"}},
        {{"-NSDocumentRevisionsDebugMode", "YES", "--autostart"}, {"--autostart"}},
        {{"--screenshot", "docs", "-NSQuitAlwaysKeepsWindows", "NO"}, {"--screenshot", "docs"}},
        // A value never starts with "-": the next option is the user's.
        {{"-NSHighlightFocus", "--silent"}, {"--silent"}},
        {{"-NSTreatUnknownArgumentsAsOpen", "-psn_0_9", "x"}, {"x"}},
        // Not the system's: these still reach the parser and its error.
        {{"-NS", "--bogus", "psn_0_1", "--psn_0_1", "-ns"},
         {"-NS", "--bogus", "psn_0_1", "--psn_0_1", "-ns"}},
    };
    for (const auto& [given, expected] : cases)
        EXPECT_EQ(kept(given), expected) << ::testing::PrintToString(given);

    char* none[] = {nullptr};
    EXPECT_EQ(LaunchArguments::dropSystemArguments(0, none), 0);
}
