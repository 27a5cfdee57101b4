// Placeholder until the builder lands: the command exists but refuses.
#include "BuildCommand.h"

#include <cstdio>

int RunBuildCommand(int, char**)
{
    std::fprintf(stderr, "tarnpack: build is not available yet\n");
    return 2;
}
