// Verification through the reader: every entry is decoded into a scratch file
// and compared, so a stream that decodes differently never leaves the builder.
#include "SetupVerify.h"

#include "Unrar.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace PackBuild {

static bool ReadWhole(const fs::path& Path, std::vector<uint8_t>& Out)
{
    std::ifstream In(Path, std::ios::binary);
    if (!In) return false;
    Out.assign(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
    return true;
}

static bool VerifyEntries(ArcHandle Archive, const std::vector<ExpectedEntry>& Expected,
                          const fs::path& Scratch,
                          const std::function<void(uint64_t, uint64_t)>& Progress, std::string& Problem)
{
    uint64_t Total = 0, Done = 0;
    for (const ExpectedEntry& Entry : Expected) Total += Entry.Data->size();

    std::vector<uint8_t> Decoded;
    for (const ExpectedEntry& Entry : Expected) {
        ArcEntryInfo Info;
        std::memset(&Info, 0, sizeof Info);
        if (!ArcReadEntry(Archive, &Info)) {
            Problem = "the archive ends before " + Entry.Name;
            return false;
        }
        if (Entry.Name != Info.Name) {
            Problem = "expected entry " + Entry.Name + ", found " + Info.Name;
            return false;
        }
        if (Info.UnpackedSize != Entry.Data->size()) {
            Problem = Entry.Name + ": size " + std::to_string(Info.UnpackedSize) + " instead of " +
                      std::to_string(Entry.Data->size());
            return false;
        }
        int Code = ArcProcessEntryCode(Archive, true, nullptr, Scratch.c_str());
        if (Code != ArcOk) {
            Problem = Entry.Name + ": the reader reports error " + std::to_string(Code);
            return false;
        }
        if (!ReadWhole(Scratch, Decoded) || Decoded != *Entry.Data) {
            Problem = Entry.Name + ": decoded data differs from the input";
            return false;
        }
        Done += Entry.Data->size();
        if (Progress) Progress(Done, Total);
    }
    ArcEntryInfo Extra;
    std::memset(&Extra, 0, sizeof Extra);
    if (ArcReadEntry(Archive, &Extra)) {
        Problem = std::string("unexpected extra entry ") + Extra.Name;
        return false;
    }
    return true;
}

bool VerifySetupFile(const std::string& SetupPath, const std::vector<ExpectedEntry>& Expected,
                     const std::function<void(uint64_t, uint64_t)>& Progress, std::string& Problem)
{
    std::string Template = (fs::temp_directory_path() / "tarnpack-verify-XXXXXX").string();
    std::vector<char> DirName(Template.begin(), Template.end());
    DirName.push_back(0);
    if (!mkdtemp(DirName.data())) {
        Problem = "cannot create a scratch folder for the check";
        return false;
    }
    fs::path ScratchDir = DirName.data();
    fs::path Scratch = ScratchDir / "entry";

    bool Ok = false;
    ArcHandle Archive = ArcOpen(SetupPath.c_str(), ArcModeExtract);
    if (!Archive) {
        Problem = "the reader finds no archive in the setup file";
    } else {
        Ok = VerifyEntries(Archive, Expected, Scratch, Progress, Problem);
        ArcClose(Archive);
    }
    std::error_code Ignored;
    fs::remove_all(ScratchDir, Ignored);
    return Ok;
}

} // namespace PackBuild
