// The build command: argument handling, the order of the work (scan, check,
// read, pack, write beside the target, verify, rename), progress and summary.
// The checks live in ProjectChecks, the archive writing in the codec.
#include "BuildCommand.h"

#include "ArchiveVerify.h"
#include "SetupRules.h"
#include "ArchiveWriter.h"
#include "Diagnostics.h"
#include "PeResources.h"
#include "ProjectChecks.h"
#include "ProjectScan.h"
#include "SetupResources.h"
#include "SetupSigning.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace PackBuild;

namespace {

enum ExitStatus { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

const char StubFileName[] = "tarn-setup.exe";
// Where an installed tarnpack finds the stub: PREFIX/share/tarn beside PREFIX/bin.
const char InstalledStubFolder[] = "../share/tarn";
const int MaxThreads = 64;
const char StubEnvironment[] = "TARN_STUB";
// The convention of reproducible builds: no time written is later than this
// (seconds since 1970, UTC), and times are written in UTC.
const char SourceDateEnvironment[] = "SOURCE_DATE_EPOCH";

// Every option the parser below takes is listed here (`tarnpack build --help`).
const char UsageText[] =
    "usage: tarnpack build PROJECT -o SETUP.EXE [--stub FILE] [--level N] [--store] [--threads N] [--no-verify]\n"
    "                      [--sign-pkcs12 FILE]\n"
    "  PROJECT       folder with Presetup/ (setup resources) and Data/ (files to install)\n"
    "  -o FILE       the setup program to write\n"
    "  --stub FILE   the setup stub (default: $TARN_STUB, else tarn-setup.exe beside tarnpack,\n"
    "                else ../share/tarn/tarn-setup.exe from tarnpack's folder)\n"
    "  --level N     compression level, 1 (fastest) to 5 (best); default 3\n"
    "  --store       store the files without compression\n"
    "  --threads N   threads that compress (default: one per core); the setup is the same for any N\n"
    "  --no-verify   do not read the result back with the setup's reader\n"
    "  --sign-pkcs12 FILE  sign the setup (osslsigncode) with this certificate and key;\n"
    "                the password comes from $TARN_SIGN_PASSWORD\n"
    "  -h, --help    show this text\n";

struct BuildOptions {
    bool Reproducible = false; // SOURCE_DATE_EPOCH is set ...
    int64_t SourceDate = 0;    // ... to this
    std::string Project;
    std::string Output;
    std::string Stub;
    int Level = PackLevelDefault; // PackLevelStore for --store
    int Threads = 0;              // 0: one per core
    bool Verify = true;
    bool Help = false;
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
    bool Store = false; // wins over --level wherever it stands
    for (int I = 0; I < ArgCount; ++I) {
        std::string Arg = Args[I];
        bool HasValue = I + 1 < ArgCount;
        if (Arg == "-o" || Arg == "--stub" || Arg == "--level" || Arg == "--threads" || Arg == "--sign-pkcs12") {
            if (!HasValue) return Refuse(Problem, Arg + " needs a value");
            std::string Value = Args[++I];
            if (Arg == "-o") {
                Options.Output = Value;
            } else if (Arg == "--stub") {
                Options.Stub = Value;
            } else if (Arg == "--sign-pkcs12") {
                Options.SignPkcs12 = Value;
            } else {
                bool Threads = Arg == "--threads";
                int Least = Threads ? 1 : PackLevelFastest, Most = Threads ? MaxThreads : PackLevelBest;
                char* End = nullptr;
                long Number = std::strtol(Value.c_str(), &End, 10);
                if (Value.empty() || *End || Number < Least || Number > Most)
                    return Refuse(Problem, Arg + " takes a number from " + std::to_string(Least) + " to " +
                                               std::to_string(Most));
                (Threads ? Options.Threads : Options.Level) = (int)Number;
            }
        } else if (Arg == "--store") {
            Store = true;
        } else if (Arg == "--no-verify") {
            Options.Verify = false;
        } else if (Arg == "--help" || Arg == "-h") {
            Options.Help = true;
            return true;
        } else if (!Arg.empty() && Arg[0] == '-')
            return Refuse(Problem, "unknown option " + Arg);
        else if (Options.Project.empty()) {
            Options.Project = Arg;
        } else
            return Refuse(Problem, "more than one project given");
    }
    if (Store) Options.Level = PackLevelStore;
    if (const char* Epoch = std::getenv(SourceDateEnvironment)) {
        char* End = nullptr;
        errno = 0;
        long long Seconds = std::strtoll(Epoch, &End, 10);
        if (!*Epoch || *End || errno || Seconds < 0)
            return Refuse(Problem, std::string(SourceDateEnvironment) + " must be a number of seconds since 1970");
        Options.Reproducible = true;
        Options.SourceDate = Seconds;
    }
    if (Options.Project.empty())
        Problem = "no project folder given";
    else if (Options.Output.empty())
        Problem = "no output file given (-o)";
    return Problem.empty();
}

// --stub, else $TARN_STUB, else tarn-setup.exe in the folder of this program
// (a build tree), else in ../share/tarn from there (an installed tarnpack).
// Tried lists the places looked at in vain.
std::string FindStub(const std::string& Given, std::string& Tried)
{
    if (!Given.empty()) return Given;
    if (const char* FromEnvironment = std::getenv(StubEnvironment)) {
        if (*FromEnvironment) return FromEnvironment;
    }
    std::error_code Error;
    fs::path Self = fs::read_symlink("/proc/self/exe", Error);
    if (Error) return std::string();
    fs::path Folder = Self.parent_path();
    for (const fs::path& Candidate : {Folder / StubFileName, Folder / InstalledStubFolder / StubFileName}) {
        fs::path Clean = Candidate.lexically_normal();
        if (fs::is_regular_file(Clean, Error)) return Clean.string();
        Tried += (Tried.empty() ? "" : ", ") + Clean.string();
    }
    return std::string();
}

std::string FormatSize(uint64_t Bytes)
{
    char Text[32];
    if (Bytes < 10 * 1024)
        std::snprintf(Text, sizeof Text, "%llu bytes", (unsigned long long)Bytes);
    else if (Bytes < 10 * 1024 * 1024)
        std::snprintf(Text, sizeof Text, "%.1f KiB", Bytes / 1024.0);
    else
        std::snprintf(Text, sizeof Text, "%.1f MiB", Bytes / (1024.0 * 1024.0));
    return Text;
}

// A file's entry; the writer reads the file when it packs it. A
// reproducible build writes no time later than SOURCE_DATE_EPOCH.
PackEntry EntryOf(const ProjectFile& File, const BuildOptions& Options, int64_t& Modified)
{
    Modified = Options.Reproducible ? std::min(File.ModifiedUnix, Options.SourceDate) : File.ModifiedUnix;
    return {File.ArchiveName, DosTimeFromUnix(Modified, Options.Reproducible), File.SourcePath.string(), {}};
}

// Presetup first: the setup unpacks that group before anything else and stops
// at the first entry outside it.
std::vector<PackEntry> EntriesOf(const ProjectTree& Tree, const BuildOptions& Options, uint64_t& InputSize)
{
    std::vector<PackEntry> Entries;
    InputSize = 0;
    int64_t Modified;
    for (const std::vector<ProjectFile>* Group : {&Tree.Presetup, &Tree.Data})
        for (const ProjectFile& File : *Group) {
            Entries.push_back(EntryOf(File, Options, Modified));
            InputSize += File.Size;
        }
    return Entries;
}

// The uninstaller's own archive: the setup script and texts, and the marker
// that tells the stub it is an uninstaller. No payload.
std::vector<PackEntry> UninstallerEntriesOf(const ProjectTree& Tree, const BuildOptions& Options, int64_t& Newest)
{
    std::vector<PackEntry> Entries;
    Newest = 0;
    int64_t Modified;
    for (const ProjectFile* File : UninstallerPresetupFiles(Tree)) {
        Entries.push_back(EntryOf(*File, Options, Modified));
        Newest = std::max(Newest, Modified);
    }
    const char MarkerText[] = "; This program is an uninstaller.\r\n";
    Entries.push_back({std::string(PresetupFolder) + "\\" + UninstallerMarkerName,
                       DosTimeFromUnix(Newest, Options.Reproducible), "",
                       std::vector<uint8_t>(MarkerText, MarkerText + sizeof MarkerText - 1)});
    return Entries;
}

double SecondsSince(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

// The stub and then the archive, written beside the target as
// "<target>.partial", read back and renamed only then, so a failed build
// never leaves a setup that looks finished. False (and nothing left behind)
// on any failure, which is reported on stderr.
bool WriteVerifiedSetup(const BuildOptions& Options, const StubImage& Stub, const std::vector<PackEntry>& Entries,
                        const SetupResourcePlan& Resources, bool StubRewritten, ProgressLine& Progress,
                        uint64_t& ArchiveSize, double& PackSeconds)
{
    fs::path Output = Options.Output;
    fs::path Partial = Output;
    Partial += ".partial";
    std::error_code Error;
    auto Fail = [&](const std::string& Text, const std::string& After = "") {
        Progress.Clear();
        fs::remove(Partial, Error);
        std::fprintf(stderr, "tarnpack build: %s; nothing written%s\n", Text.c_str(), After.c_str());
        return false;
    };

    std::FILE* File = std::fopen(Partial.c_str(), "w+b");
    if (!File || std::fwrite(Stub.Bytes.data(), 1, Stub.Bytes.size(), File) != Stub.Bytes.size()) {
        if (File) std::fclose(File);
        return Fail("cannot write " + Partial.string());
    }
    PackSettings Settings;
    Settings.Level = Options.Level;
    Settings.Threads = Options.Threads;
    Settings.Progress = [&](uint64_t Done, uint64_t Total) { Progress.Show("packing", Done, Total); };
    FileOutput Archive(File);
    std::string Problem;
    auto PackStarted = std::chrono::steady_clock::now();
    bool Packed = WriteArchive(Entries, Settings, Archive, nullptr, &Problem);
    PackSeconds = SecondsSince(PackStarted);
    ArchiveSize = Archive.Size();
    bool Closed = std::fclose(File) == 0;
    if (!Packed) return Fail(Problem);
    if (!Closed) return Fail("cannot write " + Partial.string());
    if (Stub.Bytes.size() + ArchiveSize >= PackMaxSetupSize)
        return Fail("the setup would be " + std::to_string(Stub.Bytes.size() + ArchiveSize) +
                    " bytes; it must stay below 2 GiB");

    // A stub with a checksum gets one for the whole setup (its resources changed).
    if (StubRewritten && !UpdateFileChecksum(Partial.string())) return Fail("cannot write " + Partial.string());

    auto Verify = [&]() {
        auto Report = [&](uint64_t Done, uint64_t Total) { Progress.Show("verifying", Done, Total); };
        bool Verified = VerifyArchiveFile(Partial.string(), &Entries, Report, &Problem);
        Progress.Clear();
        return Verified;
    };
    if (Options.Verify && !Verify()) return Fail("verification failed: " + Problem);
    if (!Options.SignPkcs12.empty()) {
        // The signed file replaces the partial one and is read back as well:
        // the signature is data after the archive.
        fs::path Signed = Partial;
        Signed += ".signed";
        // osslsigncode's own lines follow, so "nothing written" comes first.
        if (!SignSetupFile(Partial.string(), Signed.string(), {Options.SignPkcs12, Resources.ProductName}, Problem))
            return Fail("signing failed", ": " + Problem);
        fs::rename(Signed, Partial, Error);
        if (Error) {
            fs::remove(Signed, Error);
            return Fail("cannot write " + Partial.string());
        }
        if (Options.Verify && !Verify()) return Fail("verification of the signed setup failed: " + Problem);
    }
    fs::permissions(Partial,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec,
                    Error);
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
    std::string Method =
        Options.Level == PackLevelStore ? "stored" : "packed at level " + std::to_string(Options.Level);
    std::printf("  %s, %.1f MB/s, %s%s; %.1f s in all\n", Method.c_str(),
                Figures.PackSeconds > 0 ? Figures.InputSize / 1e6 / Figures.PackSeconds : 0.0,
                Options.Verify ? "verified" : "not verified", Options.SignPkcs12.empty() ? "" : ", signed",
                Figures.TotalSeconds);
    std::printf("  stub %s + archive %s = %s; %d warning(s)\n", FormatSize(Figures.StubSize).c_str(),
                FormatSize(Figures.ArchiveSize).c_str(), FormatSize(Figures.StubSize + Figures.ArchiveSize).c_str(),
                Figures.Warnings);
}

} // namespace

int RunBuildCommand(int ArgCount, char** Args)
{
    BuildOptions Options;
    std::string Problem;
    if (!ParseArguments(ArgCount, Args, Options, Problem)) return UsageError(Problem);
    if (Options.Help) {
        std::fputs(UsageText, stdout);
        return ExitOk;
    }

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

    uint64_t InputSize = 0;
    std::vector<PackEntry> Entries = EntriesOf(Tree, Options, InputSize);
    ProgressLine Progress;
    uint64_t ArchiveSize = 0;
    double PackSeconds = 0;

    // The uninstaller is made (and signed) first, beside the setup, and
    // carried in the setup's archive between the Presetup files and the payload.
    fs::path Uninstaller;
    if (ProjectMakesUninstaller(Tree)) {
        BuildOptions UninstallerOptions = Options;
        UninstallerOptions.Output = Options.Output + ".uninstall";
        int64_t Newest = 0;
        std::vector<PackEntry> UninstallerEntries = UninstallerEntriesOf(Tree, Options, Newest);
        uint64_t UninstallerSize = 0;
        double UninstallerSeconds = 0;
        if (!WriteVerifiedSetup(UninstallerOptions, Stub, UninstallerEntries, Resources, StubRewritten, Progress,
                                UninstallerSize, UninstallerSeconds))
            return ExitFailed;
        Uninstaller = UninstallerOptions.Output;
        Entries.insert(Entries.begin() + (std::ptrdiff_t)Tree.Presetup.size(),
                       {UninstallerEntryName, DosTimeFromUnix(Newest, Options.Reproducible), Uninstaller.string(), {}});
    }
    bool Written =
        WriteVerifiedSetup(Options, Stub, Entries, Resources, StubRewritten, Progress, ArchiveSize, PackSeconds);
    if (!Uninstaller.empty()) fs::remove(Uninstaller, Error);
    if (!Written) return ExitFailed;

    PrintSummary(Options, {Tree.Presetup.size(), Tree.Data.size(), InputSize, ArchiveSize, Stub.Bytes.size(),
                           PackSeconds, SecondsSince(Started), Checks.WarningCount()});
    return ExitOk;
}
