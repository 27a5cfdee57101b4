// Helpers of the installation engine's Wine tests: a private temporary
// folder, whole files written and read, a profile section read back as
// lines, and an answerer for the message boxes the code under test shows
// on the test's own thread.
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

// Watches, on a thread of its own, for a message box of this process, notes
// its caption and text and presses Button. Boxes that nobody answers would
// hang the test run; Stop() returns after at most the given wait.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int Button, DWORD WaitMs = 10000);
    ~BoxAnswerer();
    // Waits for the answering thread; the texts of the boxes it answered.
    std::vector<std::string> Stop();

private:
    static DWORD WINAPI Run(LPVOID Self);
    int Button;
    DWORD WaitMs;
    HANDLE Thread;
    volatile bool Stopping;
    std::vector<std::string> Seen;
};
