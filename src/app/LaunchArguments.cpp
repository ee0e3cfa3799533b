#include "app/LaunchArguments.h"

#include <cstring>

int LaunchArguments::dropSystemArguments(int argc, char** argv) {
    int kept = argc > 0 ? 1 : 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strncmp(arg, "-psn_", 5) == 0)
            continue;
        if (std::strncmp(arg, "-NS", 3) == 0 && arg[3] != '\0') {
            if (i + 1 < argc && argv[i + 1][0] != '-')
                ++i;
            continue;
        }
        argv[kept++] = argv[i];
    }
    if (argc > 0)
        argv[kept] = nullptr;
    return kept;
}
