// Runs a fuzz target over files and directories of inputs, without libFuzzer:
// the corpora are replayed this way in the ordinary test run.
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

static int Replayed = 0;

static bool Replay(const std::string& Path)
{
    struct stat Info;
    if (stat(Path.c_str(), &Info) != 0) {
        fprintf(stderr, "cannot read %s\n", Path.c_str());
        return false;
    }
    if (S_ISDIR(Info.st_mode)) {
        DIR* Dir = opendir(Path.c_str());
        if (!Dir) return false;
        bool Good = true;
        while (struct dirent* Item = readdir(Dir)) {
            std::string Name = Item->d_name;
            if (Name != "." && Name != "..") Good = Replay(Path + "/" + Name) && Good;
        }
        closedir(Dir);
        return Good;
    }
    std::ifstream In(Path, std::ios::binary);
    std::vector<uint8_t> Data((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(Data.data(), Data.size());
    ++Replayed;
    return true;
}

int main(int ArgCount, char** Args)
{
    bool Good = ArgCount > 1;
    for (int I = 1; I < ArgCount; ++I) Good = Replay(Args[I]) && Good;
    printf("%d inputs replayed\n", Replayed);
    return Good && Replayed > 0 ? 0 : 1;
}
