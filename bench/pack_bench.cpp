// Compression benchmark of the archive writer: packs every file under a
// directory (sorted, like a setup's Data tree) at the given levels, checks
// the round trip through the stub's reader and prints size, ratio and speed.
// Usage: tarn_pack_bench DIR [LEVEL...]
#include "ArchiveVerify.h"
#include "ArchiveWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace fs = std::filesystem;

int main(int ArgCount, char** Args)
{
    if (ArgCount < 2) {
        fprintf(stderr, "usage: tarn_pack_bench DIR [LEVEL...]\n");
        return 2;
    }
    fs::path Root = Args[1];
    std::vector<fs::path> Files;
    for (const auto& Item : fs::recursive_directory_iterator(Root))
        if (Item.is_regular_file())
            Files.push_back(Item.path());
    std::sort(Files.begin(), Files.end());
    std::vector<PackEntry> Entries;
    uint64_t Total = 0;
    for (const fs::path& F : Files) {
        PackEntry E;
        E.Name = fs::relative(F, Root).string();
        std::replace(E.Name.begin(), E.Name.end(), '/', '\\');
        std::ifstream In(F, std::ios::binary);
        E.Data.assign(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
        E.DosTime = DosTimeFromUnix(1577836800);
        Total += E.Data.size();
        Entries.push_back(std::move(E));
    }
    std::vector<int> Levels;
    for (int I = 2; I < ArgCount; I++)
        Levels.push_back(atoi(Args[I]));
    if (Levels.empty())
        Levels = {1, 2, 3, 4, 5};
    printf("input: %zu files, %llu bytes\n", Entries.size(), (unsigned long long)Total);
    int Status = 0;
    for (int Level : Levels) {
        PackSettings Settings;
        Settings.Level = Level;
        if (const char* Threads = getenv("THREADS"))
            Settings.Threads = atoi(Threads);
        PackStats Stats;
        auto Begin = std::chrono::steady_clock::now();
        std::clock_t CpuBegin = std::clock();
        MemoryOutput Out;
        std::string Error;
        bool Written = WriteArchive(Entries, Settings, Out, &Stats, &Error);
        const std::vector<uint8_t>& Archive = Out.Bytes;
        double Cpu = double(std::clock() - CpuBegin) / CLOCKS_PER_SEC;
        double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Begin).count();
        bool Ok = Written && VerifyArchiveBytes(Archive, &Entries, &Error);
        uint64_t Audio = 0;
        for (const PackEntryStats& E : Stats.Entries)
            Audio += E.AudioBytes;
        // CPU time as well: on a shared machine the wall clock says little.
        printf("tarnpack level %d: %llu bytes, %.2f %% of input, %.2f s (cpu %.2f s), %.2f MB/s (cpu %.2f MB/s), "
               "stored %u, tables %u, audio %.1f MB, passes %u, round trip %s\n",
               Level, (unsigned long long)Archive.size(), 100.0 * Archive.size() / std::max<uint64_t>(Total, 1),
               Seconds, Cpu, Total / 1e6 / Seconds, Total / 1e6 / Cpu, Stats.StoredEntries, Stats.Stream.TableReads,
               Audio / 1e6, Stats.Passes, Ok ? "ok" : Error.c_str());
        if (getenv("BENCH_AUDIO")) {
            std::map<std::string, std::pair<uint64_t, uint64_t>> ByDir;
            for (size_t I = 0; I < Stats.Entries.size(); I++) {
                std::string Dir = Entries[I].Name.substr(0, Entries[I].Name.find('\\'));
                ByDir[Dir].first += Stats.Entries[I].AudioBytes;
                ByDir[Dir].second += Stats.Entries[I].PackedBytes;
            }
            for (auto& D : ByDir) printf("  %s audio %llu packed %llu\n", D.first.c_str(), (unsigned long long)D.second.first, (unsigned long long)D.second.second);
        }
        if (getenv("BENCH_STORED"))
            for (size_t I = 0; I < Stats.Entries.size(); I++)
                if (Stats.Entries[I].Stored)
                    printf("  stored %s (%llu bytes)\n", Entries[I].Name.c_str(), (unsigned long long)Stats.Entries[I].InputBytes);
        fflush(stdout);
        if (!Ok)
            Status = 1;
    }
    return Status;
}
