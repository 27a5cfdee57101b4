// Helpers of the installation engine's Wine tests; see InstallTestUtil.h.
#include "InstallTestUtil.h"

#include <cstdio>
#include <cstring>

TempFolder::TempFolder()
{
    char Base[MAX_PATH];
    GetTempPathA(MAX_PATH, Base);
    char Name[MAX_PATH];
    GetTempFileNameA(Base, "tit", 0, Name);
    // GetTempFileNameA made a file of that name: a folder takes its place.
    DeleteFileA(Name);
    CreateDirectoryA(Name, 0);
    Folder = Name;
}

static void DeleteTree(const std::string& Folder)
{
    WIN32_FIND_DATAA Found;
    HANDLE Search = FindFirstFileA((Folder + "\\*").c_str(), &Found);
    if (Search != INVALID_HANDLE_VALUE) {
        do {
            std::string Name = Found.cFileName;
            if (Name == "." || Name == "..") continue;
            std::string Path = Folder + "\\" + Name;
            if (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(Path);
            } else {
                SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(Path.c_str());
            }
        } while (FindNextFileA(Search, &Found));
        FindClose(Search);
    }
    RemoveDirectoryA(Folder.c_str());
}

TempFolder::~TempFolder() { DeleteTree(Folder); }

void WriteWholeFile(const std::string& Path, const std::string& Content)
{
    FILE* File = fopen(Path.c_str(), "wb");
    if (!File) return;
    fwrite(Content.data(), 1, Content.size(), File);
    fclose(File);
}

std::string ReadWholeFile(const std::string& Path)
{
    std::string Content;
    FILE* File = fopen(Path.c_str(), "rb");
    if (!File) return Content;
    char Buffer[4096];
    size_t Count;
    while ((Count = fread(Buffer, 1, sizeof Buffer, File)) > 0) Content.append(Buffer, Count);
    fclose(File);
    return Content;
}

bool FileExists(const std::string& Path)
{
    DWORD Attributes = GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> ProfileSectionLines(const std::string& File, const char* Section)
{
    std::vector<char> Buffer(65536);
    DWORD Used = GetPrivateProfileSectionA(Section, Buffer.data(), (DWORD)Buffer.size(), File.c_str());
    std::vector<std::string> Lines;
    for (DWORD Start = 0; Start < Used;) {
        std::string Line(&Buffer[Start]);
        Lines.push_back(Line);
        Start += (DWORD)Line.size() + 1;
    }
    return Lines;
}
