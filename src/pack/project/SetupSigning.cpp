// Signing with osslsigncode; see SetupSigning.h. The password reaches it on
// its standard input ("-readpass -"), so it appears neither on a command
// line nor in a file.
#include "SetupSigning.h"

#include "Diagnostics.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace PackBuild {

namespace {

const char SignTool[] = "osslsigncode";
const size_t MaxToolOutput = 4096; // kept for the message when signing fails

// Runs the tool with Input on its stdin; its stdout and stderr go to Output.
// Returns its exit status, or -1 when it could not be started.
int RunTool(const std::vector<std::string>& Args, const std::string& Input, std::string& Output)
{
    int ToTool[2], FromTool[2];
    if (pipe(ToTool) != 0) return -1;
    if (pipe(FromTool) != 0) {
        close(ToTool[0]);
        close(ToTool[1]);
        return -1;
    }
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, ToTool[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&Actions, FromTool[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&Actions, FromTool[1], STDERR_FILENO);
    for (int Fd : {ToTool[0], ToTool[1], FromTool[0], FromTool[1]}) posix_spawn_file_actions_addclose(&Actions, Fd);
    std::vector<char*> Argv;
    for (const std::string& Arg : Args) Argv.push_back(const_cast<char*>(Arg.c_str()));
    Argv.push_back(nullptr);
    pid_t Child = 0;
    int Started = posix_spawnp(&Child, Argv[0], &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    close(ToTool[0]);
    close(FromTool[1]);
    if (Started != 0) {
        close(ToTool[1]);
        close(FromTool[0]);
        return -1;
    }
    // A tool that ends without reading must not end us with SIGPIPE.
    void (*OldHandler)(int) = std::signal(SIGPIPE, SIG_IGN);
    for (size_t Done = 0; Done < Input.size();) {
        ssize_t Count = write(ToTool[1], Input.data() + Done, Input.size() - Done);
        if (Count < 0 && errno == EINTR) continue;
        if (Count <= 0) break;
        Done += (size_t)Count;
    }
    close(ToTool[1]);
    std::signal(SIGPIPE, OldHandler);
    char Buffer[512];
    for (;;) {
        ssize_t Count = read(FromTool[0], Buffer, sizeof Buffer);
        if (Count < 0 && errno == EINTR) continue;
        if (Count <= 0) break;
        if (Output.size() < MaxToolOutput) Output.append(Buffer, (size_t)Count);
    }
    close(FromTool[0]);
    int Status = 0;
    while (waitpid(Child, &Status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

} // namespace

bool SignSetupFile(const std::string& Input, const std::string& Output, const SigningRequest& Request,
                   std::string& Problem)
{
    std::vector<std::string> Args = {SignTool, "sign", "-pkcs12", Request.Pkcs12Path, "-readpass", "-", "-h", "sha256"};
    if (!Request.Description.empty()) {
        Args.push_back("-n");
        Args.push_back(Request.Description);
    }
    Args.insert(Args.end(), {"-in", Input, "-out", Output});
    const char* Password = std::getenv(SigningPasswordVariable);
    std::string ToolOutput;
    unlink(Output.c_str()); // osslsigncode will not write over a file
    int Status = RunTool(Args, std::string(Password ? Password : "") + "\n", ToolOutput);
    if (Status == 0) return true;
    unlink(Output.c_str());
    const int NotFound = 127; // the shell's status for a command it cannot run
    if (Status < 0 || Status == NotFound)
        return Refuse(Problem, std::string("cannot run ") + SignTool + " (install the osslsigncode package)");
    // Its message, one indented line per line.
    Problem = std::string(SignTool) + " said:";
    size_t Start = 0;
    while (Start < ToolOutput.size()) {
        size_t End = ToolOutput.find('\n', Start);
        if (End == std::string::npos) End = ToolOutput.size();
        std::string Line = ToolOutput.substr(Start, End - Start);
        if (!Line.empty() && Line.back() == '\r') Line.pop_back();
        if (!Line.empty()) Problem += "\n    " + Line;
        Start = End + 1;
    }
    return false;
}

} // namespace PackBuild
