// tarnpack: builds setup programs (`build`) and lists, tests and extracts
// their archives (`list`, `test`, `extract`). Dispatch only; the commands
// live in ReadCommands.cpp and project/BuildCommand.cpp.
#include <stdio.h>
#include <string.h>

#include <exception>
#include <new>

#include "BuildCommand.h"
#include "ReadCommands.h"

static int Usage()
{
    fprintf(stderr,
            "usage: tarnpack list FILE            list the entries of an archive or setup program\n"
            "       tarnpack test FILE            decode every entry and check its CRC\n"
            "       tarnpack extract FILE DIR     extract every entry under DIR\n"
            "       tarnpack build PROJECT -o setup.exe [options]\n");
    return ExitNoArchive;
}

static int RunCommand(int ArgCount, char** Args)
{
    if (ArgCount < 2) return Usage();
    const char* Command = Args[1];
    int Rest = ArgCount - 2;
    char** RestArgs = Args + 2;
    if (strcmp(Command, "list") == 0) return RunListCommand(Rest, RestArgs);
    if (strcmp(Command, "test") == 0) return RunTestCommand(Rest, RestArgs);
    if (strcmp(Command, "extract") == 0) return RunExtractCommand(Rest, RestArgs);
    if (strcmp(Command, "build") == 0) return RunBuildCommand(Rest, RestArgs);
    fprintf(stderr, "tarnpack: unknown command \"%s\"\n", Command);
    return Usage();
}

// The builder uses the standard library: whatever it throws (memory running
// out, first of all) ends the command with a message, never in terminate().
int main(int ArgCount, char** Args)
{
    try {
        return RunCommand(ArgCount, Args);
    } catch (const std::bad_alloc&) {
        fprintf(stderr, "tarnpack: out of memory\n");
    } catch (const std::exception& Failure) {
        fprintf(stderr, "tarnpack: internal error: %s\n", Failure.what());
    }
    return ExitDamaged;
}
