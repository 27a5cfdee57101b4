// tarn-test-setup: a setup made from the test kit, for the end-to-end tests
// that need one tarnpack refuses to build (unknown page names, damaged
// entries). Every entry is stored, in the order given.
//   tarn-test-setup OUT STUB NAME=FILE...   NAME is the archive name
//                                           ("Presetup\Tarn.ini"); a "!"
//                                           after FILE stores a wrong CRC
#include <cstdio>
#include <exception>
#include <string>

#include "ArcTestKit.h"

static int MakeSetup(int ArgCount, char** Args)
{
    if (ArgCount < 3) {
        std::fprintf(stderr, "usage: tarn-test-setup OUT STUB NAME=FILE[!]...\n");
        return 2;
    }
    ArchiveBuilder Archive;
    for (int Index = 3; Index < ArgCount; ++Index) {
        std::string Arg = Args[Index];
        size_t Equals = Arg.find('=');
        if (Equals == std::string::npos) {
            std::fprintf(stderr, "tarn-test-setup: no \"=\" in %s\n", Args[Index]);
            return 2;
        }
        std::string File = Arg.substr(Equals + 1);
        bool Damaged = !File.empty() && File.back() == '!';
        if (Damaged) File.pop_back();
        Bytes Data = ReadFileBytes(File);
        TestEntry Entry = StoredEntry(Arg.substr(0, Equals), std::string(Data.begin(), Data.end()));
        if (Damaged) Entry.DataCrc ^= 1;
        Archive.Add(Entry);
    }
    Bytes Setup = ReadFileBytes(Args[2]);
    Setup.insert(Setup.end(), Archive.Data().begin(), Archive.Data().end());
    WriteFileBytes(Args[1], Setup);
    return 0;
}

int main(int ArgCount, char** Args)
{
    try {
        return MakeSetup(ArgCount, Args);
    } catch (const std::exception& Failure) { // a file that cannot be read or written
        std::fprintf(stderr, "tarn-test-setup: %s\n", Failure.what());
        return 1;
    }
}
