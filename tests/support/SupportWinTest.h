// Helpers of the Wine tests (support library and installation engine): a
// scratch directory per test, small file writers, and the one answerer of
// message boxes and dialogs, which answers from a second thread and reports
// what it saw.
#pragma once

#include <windows.h>

#include <string>

// A fresh directory under the temporary directory, deleted (with its
// contents) when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& Path() const { return Dir; } // no trailing backslash
    std::string operator/(const std::string& Name) const { return Dir + "\\" + Name; }

private:
    std::string Dir;
};

void WriteTextFile(const std::string& Path, const std::string& Content);
bool PathExistsW32(const std::string& Path);
// Removes a tree whatever its attributes (test cleanup only).
void ForceRemoveTree(const std::string& Path);

// What a watched top-level dialog looked like when it appeared.
struct SeenWindow {
    bool Found = false;
    std::string Caption;
    std::string Text; // a message box's text (control 0xFFFF)
    RECT Rect = {0, 0, 0, 0};
};

// Waits (on its own thread) for a visible "#32770" window of this process whose caption is
// Caption (any caption when empty), records it, and posts WM_COMMAND with
// Button to it. Join with Wait().
class DialogAnswerer {
public:
    DialogAnswerer(const std::string& Caption, int Button, DWORD TimeoutMs = 20000);
    ~DialogAnswerer();
    SeenWindow Wait();

private:
    static DWORD WINAPI Run(LPVOID Self);
    std::string Caption;
    int Button;
    DWORD TimeoutMs;
    SeenWindow Seen;
    HANDLE Thread;
};
