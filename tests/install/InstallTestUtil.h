// Helpers of the installation engine's Wine tests: a private temporary
// folder, whole files written and read, a profile section read back as
// lines. Message boxes are answered with SupportWinTest.h's DialogAnswerer.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A fresh folder below the system's temporary folder, deleted with its files.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return Folder; }
    std::string File(const std::string& Name) const { return Folder + "\\" + Name; }

private:
    std::string Folder;
};

void WriteWholeFile(const std::string& Path, const std::string& Content);
std::string ReadWholeFile(const std::string& Path);
bool FileExists(const std::string& Path);

// The lines (key=value) of a profile section, in file order.
std::vector<std::string> ProfileSectionLines(const std::string& File, const char* Section);
