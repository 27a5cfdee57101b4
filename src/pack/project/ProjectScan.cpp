// Project walking and packing order; see ProjectScan.h.
#include "ProjectScan.h"

#include "IniReader.h"
#include "SetupRules.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sys/stat.h>
#include <tuple>

namespace fs = std::filesystem;

namespace PackBuild {

const ProjectFile* FindPresetupFile(const ProjectTree& Tree, const std::string& Name)
{
    for (const ProjectFile& File : Tree.Presetup)
        if (SameText(FileNamePart(File.ArchiveName), Name)) return &File;
    return nullptr;
}

std::string FileNamePart(const std::string& ArchiveName) { return FromStr(::FileNamePart(ToStr(ArchiveName))); }

std::string ExtensionOf(const std::string& ArchiveName)
{
    std::string Name = FileNamePart(ArchiveName);
    size_t Dot = Name.find_last_of('.');
    return Dot == std::string::npos ? std::string() : Name.substr(Dot + 1);
}

bool ReadFileBytes(const fs::path& Path, std::vector<uint8_t>& Bytes)
{
    // A folder opens as a stream too, and gives a size no buffer can take.
    std::error_code Error;
    if (!fs::is_regular_file(Path, Error)) return false;
    std::ifstream In(Path, std::ios::binary | std::ios::ate);
    if (!In) return false;
    std::streamoff Size = In.tellg();
    if (Size < 0) return false;
    Bytes.resize((size_t)Size);
    In.seekg(0);
    In.read((char*)Bytes.data(), Size);
    return In.gcount() == Size;
}

static void ScanFolder(const fs::path& Root, const char* Folder, std::vector<ProjectFile>& Files,
                       DiagnosticList& Problems)
{
    fs::path Top = Root / Folder;
    std::error_code Error;
    for (fs::recursive_directory_iterator Walk(Top, fs::directory_options::none, Error);; Walk.increment(Error)) {
        if (Error) {
            Problems.Error(Folder, 0, "cannot read the folder: " + Error.message());
            return;
        }
        if (Walk == fs::recursive_directory_iterator()) return;
        const fs::directory_entry& Item = *Walk;
        fs::path Relative = Item.path().lexically_relative(Root);
        std::string Shown = Relative.generic_string();
        std::error_code StatusError;
        if (Item.is_directory(StatusError)) {
            if (Item.is_symlink(StatusError))
                Problems.Warning(Shown, 0, "linked folder is not followed; its files are left out");
            continue;
        }
        if (!Item.is_regular_file(StatusError)) {
            Problems.Warning(Shown, 0, "not a regular file; left out");
            continue;
        }
        ProjectFile File;
        File.RelativePath = Shown;
        File.SourcePath = Item.path();
        File.Size = (uint64_t)Item.file_size(StatusError);
        struct stat Info;
        File.ModifiedUnix = ::stat(Item.path().c_str(), &Info) == 0 ? (int64_t)Info.st_mtime : 0;
        std::string Name = Folder;
        for (const fs::path& Part : Item.path().lexically_relative(Top)) {
            Name += '\\';
            Name += Part.string();
        }
        File.ArchiveName = Name;
        Files.push_back(File);
    }
}

ProjectTree ScanProject(const fs::path& Root, DiagnosticList& Problems)
{
    ProjectTree Tree;
    Tree.Root = Root;
    std::error_code Error;
    Tree.HasPresetup = fs::is_directory(Root / PresetupFolder, Error);
    Tree.HasData = fs::is_directory(Root / DataFolder, Error);
    if (Tree.HasPresetup) ScanFolder(Root, PresetupFolder, Tree.Presetup, Problems);
    if (Tree.HasData) ScanFolder(Root, DataFolder, Tree.Data, Problems);
    OrderForPacking(Tree.Presetup);
    OrderForPacking(Tree.Data);
    return Tree;
}

static std::string StemOf(const std::string& ArchiveName)
{
    std::string Name = FileNamePart(ArchiveName);
    size_t Dot = Name.find_last_of('.');
    return Dot == std::string::npos ? Name : Name.substr(0, Dot);
}

void OrderForPacking(std::vector<ProjectFile>& Files)
{
    auto KeyOf = [](const ProjectFile& File) {
        return std::make_tuple(UpperAscii(ExtensionOf(File.ArchiveName)), UpperAscii(StemOf(File.ArchiveName)),
                               UpperAscii(File.ArchiveName), File.ArchiveName);
    };
    std::stable_sort(Files.begin(), Files.end(),
                     [&](const ProjectFile& A, const ProjectFile& B) { return KeyOf(A) < KeyOf(B); });
}

} // namespace PackBuild
