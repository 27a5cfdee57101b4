// The build command: argument handling, the order of the work (scan, check,
// read, pack, write beside the target, verify, rename), progress and summary.
// The checks live in ProjectChecks, the archive writing in the codec.
#include "BuildCommand.h"

#include "ArchiveWriter.h"
#include "Diagnostics.h"
#include "PeResources.h"
#include "ProjectChecks.h"
#include "ProjectScan.h"
#include "SetupResources.h"
#include "SetupSigning.h"
#include "SetupVerify.h"
#include "StoredArchive.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace PackBuild;

namespace {

enum ExitStatus { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

const char StubFileName[] = "tarn-setup.exe";
const char StubEnvironment[] = "TARN_STUB";

const char UsageText[] =
    "usage: tarnpack build PROJECT -o SETUP.EXE [--stub FILE] [--level N] [--store] [--no-verify]\n"
    "                      [--sign-pkcs12 FILE]\n"
    "  PROJECT       folder with Presetup/ (setup resources) and Data/ (files to install)\n"
    "  -o FILE       the setup program to write\n"
    "  --stub FILE   the setup stub (default: $TARN_STUB, else tarn-setup.exe beside tarnpack)\n"
    "  --level N     compression level, 1 (fastest) to 5 (best); default 3\n"
    "  --store       store the files without compression\n"
    "  --no-verify   do not read the result back with the setup's reader\n"
    "  --sign-pkcs12 FILE  sign the setup (osslsigncode) with this certificate and key;\n"
    "                the password comes from $TARN_SIGN_PASSWORD\n";

struct BuildOptions {
    std::string Project;
    std::string Output;
    std::string Stub;
    int Level = PackLevelDefault;
    bool Store = false;
    bool Verify = true;
    std::string SignPkcs12; // empty: not signed
};

// One line on stderr rewritten in place, only when stderr is a terminal.
class ProgressLine {
public:
    ProgressLine() : Enabled(isatty(fileno(stderr)) != 0) {}
    void Show(const char* Phase, uint64_t Done, uint64_t Total)
    {
        if (!Enabled) return;
        auto Now = std::chrono::steady_clock::now();
        if (Done < Total && Now - LastShown < std::chrono::milliseconds(100)) return;
        LastShown = Now;
        int Percent = Total ? (int)(Done * 100 / Total) : 100;
        std::fprintf(stderr, "\r%-10s %3d%%  %.1f of %.1f MB ", Phase, Percent, Done / 1e6, Total / 1e6);
        std::fflush(stderr);
        Dirty = true;
    }
    void Clear()
    {
        if (!Dirty) return;
        std::fprintf(stderr, "\r%60s\r", "");
        std::fflush(stderr);
        Dirty = false;
    }

private:
    bool Enabled;
    bool Dirty = false;
    std::chrono::steady_clock::time_point LastShown{};
};

int UsageError(const std::string& Text)
{
    std::fprintf(stderr, "tarnpack build: %s\n%s", Text.c_str(), UsageText);
    return ExitUsage;
}

bool ParseArguments(int ArgCount, char** Args, BuildOptions& Options, std::string& Problem)
{
    for (int I = 0; I < ArgCount; ++I) {
        std::string Arg = Args[I];
        bool HasValue = I + 1 < ArgCount;
        if (Arg == "-o" || Arg == "--stub" || Arg == "--level" || Arg == "--sign-pkcs12") {
            if (!HasValue) {
                Problem = Arg + " needs a value";
                return false;
            }
            std::string Value = Args[++I];
            if (Arg == "-o") {
                Options.Output = Value;
            } else if (Arg == "--stub") {
                Options.Stub = Value;
            } else if (Arg == "--sign-pkcs12") {
                Options.SignPkcs12 = Value;
            } else {
                char* End = nullptr;
                long Level = std::strtol(Value.c_str(), &End, 10);
                if (Value.empty() || *End || Level < PackLevelFastest || Level > PackLevelBest) {
                    Problem = "--level takes a number from " + std::to_string(PackLevelFastest) + " to " +
                              std::to_string(PackLevelBest);
                    return false;
                }
                Options.Level = (int)Level;
            }
        } else if (Arg == "--store") {
            Options.Store = true;
        } else if (Arg == "--no-verify") {
            Options.Verify = false;
        } else if (!Arg.empty() && Arg[0] == '-') {
            Problem = "unknown option " + Arg;
            return false;
        } else if (Options.Project.empty()) {
            Options.Project = Arg;
        } else {
            Problem = "more than one project given";
            return false;
        }
    }
    if (Options.Project.empty()) Problem = "no project folder given";
    else if (Options.Output.empty()) Problem = "no output file given (-o)";
    return Problem.empty();
}

// --stub, else $TARN_STUB, else tarn-setup.exe in the folder of this program.
std::string FindStub(const std::string& Given, std::string& Tried)
{
    if (!Given.empty()) return Given;
    if (const char* FromEnvironment = std::getenv(StubEnvironment)) {
        if (*FromEnvironment) return FromEnvironment;
    }
    std::error_code Error;
    fs::path Self = fs::read_symlink("/proc/self/exe", Error);
    if (!Error) {
        fs::path Beside = Self.parent_path() / StubFileName;
        if (fs::is_regular_file(Beside, Error)) return Beside.string();
        Tried = Beside.string();
    }
    return std::string();
}

bool ReadFileBytes(const fs::path& Path, std::vector<uint8_t>& Bytes)
{
    std::ifstream In(Path, std::ios::binary | std::ios::ate);
    if (!In) return false;
    std::streamoff Size = In.tellg();
    if (Size < 0) return false;
    Bytes.resize((size_t)Size);
    In.seekg(0);
    In.read((char*)Bytes.data(), Size);
    return In.gcount() == Size;
}

bool WriteFileBytes(const fs::path& Path, const std::vector<uint8_t>& Stub, const std::vector<uint8_t>& Archive)
{
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    if (!Out) return false;
    Out.write((const char*)Stub.data(), (std::streamsize)Stub.size());
    Out.write((const char*)Archive.data(), (std::streamsize)Archive.size());
    Out.close();
    return !Out.fail();
}

struct PackInput {
    const ProjectFile* File;
    PackEntry Entry;
};

std::string FormatSize(uint64_t Bytes)
{
    char Text[32];
    if (Bytes < 10 * 1024) std::snprintf(Text, sizeof Text, "%llu bytes", (unsigned long long)Bytes);
    else if (Bytes < 10 * 1024 * 1024) std::snprintf(Text, sizeof Text, "%.1f KiB", Bytes / 1024.0);
    else std::snprintf(Text, sizeof Text, "%.1f MiB", Bytes / (1024.0 * 1024.0));
    return Text;
}

// The entries move into the writer's list and back, so the payload is held once.
std::vector<uint8_t> PackArchive(std::vector<PackInput>& Inputs, const BuildOptions& Options,
                                 ProgressLine& Progress)
{
    if (Options.Store) {
        std::vector<StoredEntry> Entries;
        for (const PackInput& Input : Inputs)
            Entries.push_back({Input.Entry.Name, &Input.Entry.Data, Input.Entry.DosTime});
        return WriteStoredArchive(Entries);
    }
    std::vector<PackEntry> Entries;
    for (PackInput& Input : Inputs) Entries.push_back(std::move(Input.Entry));
    PackSettings Settings;
    Settings.Level = Options.Level;
    Settings.Progress = [&](uint64_t Done, uint64_t Total) { Progress.Show("packing", Done, Total); };
    std::vector<uint8_t> Archive = WriteArchive(Entries, Settings, nullptr);
    for (size_t I = 0; I < Inputs.size(); ++I) Inputs[I].Entry = std::move(Entries[I]);
    return Archive;
}

// Presetup first: the setup unpacks that group before anything else and stops
// at the first entry outside it.
bool ReadInputs(const ProjectTree& Tree, std::vector<PackInput>& Inputs, uint64_t& InputSize)
{
    InputSize = 0;
    for (const std::vector<ProjectFile>* Group : {&Tree.Presetup, &Tree.Data})
        for (const ProjectFile& File : *Group) {
            PackInput Input{&File, {}};
            Input.Entry.Name = File.ArchiveName;
            Input.Entry.DosTime = DosTimeFromUnixTime(File.ModifiedUnix);
            if (!ReadFileBytes(File.SourcePath, Input.Entry.Data)) {
                std::fprintf(stderr, "%s: error: cannot be read; nothing written\n", File.RelativePath.c_str());
                return false;
            }
            InputSize += Input.Entry.Data.size();
            Inputs.push_back(std::move(Input));
        }
    return true;
}

bool VerifyPartial(const fs::path& Partial, const std::vector<PackInput>& Inputs, ProgressLine& Progress)
{
    std::vector<ExpectedEntry> Expected;
    for (const PackInput& Input : Inputs) Expected.push_back({Input.Entry.Name, &Input.Entry.Data});
    auto Report = [&](uint64_t Done, uint64_t Total) { Progress.Show("verifying", Done, Total); };
    std::string Problem;
    bool Verified = VerifySetupFile(Partial.string(), Expected, Report, Problem);
    Progress.Clear();
    if (!Verified) std::fprintf(stderr, "tarnpack build: verification failed: %s; nothing written\n", Problem.c_str());
    return Verified;
}

// The signed file replaces the partial one; it is read back as well, since
// the signature is data after the archive.
bool SignPartial(const fs::path& Partial, const BuildOptions& Options, const SetupResourcePlan& Resources)
{
    fs::path Signed = Partial;
    Signed += ".signed";
    std::string Problem;
    std::error_code Error;
    if (!SignSetupFile(Partial.string(), Signed.string(), {Options.SignPkcs12, Resources.ProductName}, Problem)) {
        std::fprintf(stderr, "tarnpack build: signing failed; nothing written: %s\n", Problem.c_str());
        return false;
    }
    fs::rename(Signed, Partial, Error);
    if (Error) {
        fs::remove(Signed, Error);
        std::fprintf(stderr, "tarnpack build: cannot write %s\n", Partial.string().c_str());
        return false;
    }
    return true;
}

// Written beside the target and renamed only after the read-back, so a failed
// build never leaves a setup that looks finished.
bool WriteVerifiedSetup(const BuildOptions& Options, const StubImage& Stub, const std::vector<uint8_t>& Archive,
                        const std::vector<PackInput>& Inputs, const SetupResourcePlan& Resources,
                        bool StubRewritten, ProgressLine& Progress)
{
    fs::path Output = Options.Output;
    fs::path Partial = Output;
    Partial += ".partial";
    std::error_code Error;
    if (!WriteFileBytes(Partial, Stub.Bytes, Archive)) {
        fs::remove(Partial, Error);
        std::fprintf(stderr, "tarnpack build: cannot write %s\n", Partial.string().c_str());
        return false;
    }
    // A stub with a checksum gets one for the whole setup (its resources changed).
    if (StubRewritten && !UpdateFileChecksum(Partial.string())) {
        fs::remove(Partial, Error);
        std::fprintf(stderr, "tarnpack build: cannot write %s\n", Partial.string().c_str());
        return false;
    }
    bool Signing = !Options.SignPkcs12.empty();
    if ((Options.Verify && !VerifyPartial(Partial, Inputs, Progress)) ||
        (Signing && !SignPartial(Partial, Options, Resources)) ||
        (Options.Verify && Signing && !VerifyPartial(Partial, Inputs, Progress))) {
        fs::remove(Partial, Error);
        return false;
    }
    fs::permissions(Partial, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec, Error);
    fs::rename(Partial, Output, Error);
    if (Error) {
        fs::remove(Partial, Error);
        std::fprintf(stderr, "tarnpack build: cannot create %s\n", Output.string().c_str());
        return false;
    }
    return true;
}

struct BuildFigures {
    size_t PresetupFiles, DataFiles;
    uint64_t InputSize, ArchiveSize, StubSize;
    double PackSeconds, TotalSeconds;
    int Warnings;
};

void PrintSummary(const BuildOptions& Options, const BuildFigures& Figures)
{
    double Ratio = Figures.InputSize ? 100.0 * Figures.ArchiveSize / Figures.InputSize : 0.0;
    std::printf("%s: %zu files (%zu Presetup, %zu Data), %s packed to %s (%.1f %%)\n", Options.Output.c_str(),
                Figures.PresetupFiles + Figures.DataFiles, Figures.PresetupFiles, Figures.DataFiles,
                FormatSize(Figures.InputSize).c_str(), FormatSize(Figures.ArchiveSize).c_str(), Ratio);
    std::string Method = Options.Store ? "stored" : "packed at level " + std::to_string(Options.Level);
    std::printf("  %s, %.1f MB/s, %s%s; %.1f s in all\n", Method.c_str(),
                Figures.PackSeconds > 0 ? Figures.InputSize / 1e6 / Figures.PackSeconds : 0.0,
                Options.Verify ? "verified" : "not verified", Options.SignPkcs12.empty() ? "" : ", signed",
                Figures.TotalSeconds);
    std::printf("  stub %s + archive %s = %s; %d warning(s)\n", FormatSize(Figures.StubSize).c_str(),
                FormatSize(Figures.ArchiveSize).c_str(), FormatSize(Figures.StubSize + Figures.ArchiveSize).c_str(),
                Figures.Warnings);
}

double SecondsSince(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

} // namespace

int RunBuildCommand(int ArgCount, char** Args)
{
    BuildOptions Options;
    std::string Problem;
    if (!ParseArguments(ArgCount, Args, Options, Problem)) return UsageError(Problem);

    auto Started = std::chrono::steady_clock::now();
    std::error_code Error;
    if (!fs::is_directory(Options.Project, Error)) {
        std::fprintf(stderr, "tarnpack build: %s is not a folder\n", Options.Project.c_str());
        return ExitFailed;
    }
    if (!Options.SignPkcs12.empty() && access(Options.SignPkcs12.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "tarnpack build: cannot read the certificate %s\n", Options.SignPkcs12.c_str());
        return ExitFailed;
    }
    std::string Tried;
    StubImage Stub;
    Stub.Path = FindStub(Options.Stub, Tried);
    if (Stub.Path.empty()) {
        std::fprintf(stderr, "tarnpack build: no stub given; use --stub FILE or set %s%s%s\n", StubEnvironment,
                     Tried.empty() ? "" : " (not found: ", Tried.empty() ? "" : (Tried + ")").c_str());
        return ExitUsage;
    }

    DiagnosticList Checks;
    bool StubRead = ReadFileBytes(Stub.Path, Stub.Bytes);
    if (!StubRead) Checks.Error(Stub.Path, 0, "cannot read the stub");
    ProjectTree Tree = ScanProject(Options.Project, Checks);
    CheckProject(Tree, Checks);
    // The stub is checked as it will be written: with the setup's own resources.
    SetupResourcePlan Resources = PlanSetupResources(Tree, fs::path(Options.Output).filename().string(), Checks);
    bool StubRewritten = false;
    if (StubRead && Checks.ErrorCount() == 0) ApplySetupResources(Resources, Stub, Checks, StubRewritten);
    if (StubRead) CheckStub(Stub, Checks);
    Checks.Print(stderr);
    if (Checks.ErrorCount() > 0) {
        std::fprintf(stderr, "tarnpack build: %d error(s), %d warning(s); nothing written\n", Checks.ErrorCount(),
                     Checks.WarningCount());
        return ExitFailed;
    }

    std::vector<PackInput> Inputs;
    uint64_t InputSize = 0;
    if (!ReadInputs(Tree, Inputs, InputSize)) return ExitFailed;

    ProgressLine Progress;
    auto PackStarted = std::chrono::steady_clock::now();
    std::vector<uint8_t> Archive = PackArchive(Inputs, Options, Progress);
    double PackSeconds = SecondsSince(PackStarted);
    Progress.Clear();
    if (Stub.Bytes.size() + Archive.size() >= MaxPayloadSize) {
        std::fprintf(stderr, "tarnpack build: the setup would be %llu bytes; it must stay below 2 GiB; "
                             "nothing written\n", (unsigned long long)(Stub.Bytes.size() + Archive.size()));
        return ExitFailed;
    }
    if (!WriteVerifiedSetup(Options, Stub, Archive, Inputs, Resources, StubRewritten, Progress)) return ExitFailed;

    PrintSummary(Options, {Tree.Presetup.size(), Tree.Data.size(), InputSize, Archive.size(), Stub.Bytes.size(),
                           PackSeconds, SecondsSince(Started), Checks.WarningCount()});
    return ExitOk;
}
