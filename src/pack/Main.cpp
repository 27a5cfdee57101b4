// tarnpack: builds setup programs (`build`) and lists, tests and extracts
// their archives (`list`, `test`, `extract`). Dispatch only; the commands
// live in ReadCommands.cpp and project/BuildCommand.cpp.
#include <stdio.h>
#include <string.h>

#include <exception>
#include <new>

#include "BuildCommand.h"
#include "ReadCommands.h"
#include "TarnVersion.h"

static const char UsageText[] =
    "usage: tarnpack build PROJECT -o setup.exe [options]   make a setup program (tarnpack build --help)\n"
    "       tarnpack list FILE            list the entries of an archive or setup program\n"
    "       tarnpack test FILE            decode every entry and check its CRC\n"
    "       tarnpack extract FILE DIR     extract every entry under DIR\n"
    "       tarnpack --help | -h | help   show this text\n"
    "       tarnpack --version            show the version\n";

// Asked for, the usage goes to stdout with success; after a wrong command
// line it goes to stderr with the usage status.
static int Usage(FILE* Out, int Status)
{
    fputs(UsageText, Out);
    return Status;
}

static bool IsHelpWord(const char* Word)
{
    return strcmp(Word, "--help") == 0 || strcmp(Word, "-h") == 0 || strcmp(Word, "help") == 0;
}

static int RunCommand(int ArgCount, char** Args)
{
    if (ArgCount < 2) return Usage(stderr, ExitNoArchive);
    const char* Command = Args[1];
    int Rest = ArgCount - 2;
    char** RestArgs = Args + 2;
    if (IsHelpWord(Command)) return Usage(stdout, ExitOk);
    if (strcmp(Command, "--version") == 0) {
        printf("tarnpack %s\n", TARN_VERSION_TEXT);
        return ExitOk;
    }
    if (strcmp(Command, "list") == 0) return RunListCommand(Rest, RestArgs);
    if (strcmp(Command, "test") == 0) return RunTestCommand(Rest, RestArgs);
    if (strcmp(Command, "extract") == 0) return RunExtractCommand(Rest, RestArgs);
    if (strcmp(Command, "build") == 0) return RunBuildCommand(Rest, RestArgs);
    fprintf(stderr, "tarnpack: unknown command \"%s\"\n", Command);
    return Usage(stderr, ExitNoArchive);
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
