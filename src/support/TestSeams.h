// Test seams: places where a test-built program reports what it must not do
// on a test machine instead of doing it, or what a test cannot see from
// outside. Whether a program has them is decided when it is built: this
// library's copy of TestSeams.cpp is compiled without TARN_TEST_SEAMS and
// does nothing, so the shipped stub holds neither the seams nor the names of
// their variables. A test program compiles TestSeams.cpp into itself with
// TARN_TEST_SEAMS defined; its own copy is then linked instead of the
// library's (see src/setup/CMakeLists.txt).
#pragma once

#include <windows.h>

// Test builds: when the environment variable TARN_TEST_RESTART_LOG names a
// file, appends "ExitWindowsEx flags=0xNN" to it and returns true, and the
// caller reports success without ending the session (which would end every
// program of a test machine's session). Otherwise, and always in the
// shipped program, false.
bool TestSeamRecordsExit(UINT Flags);

// Test builds, when the environment variable TARN_TEST_FAIL_AT equals Place:
// true once, and the caller fails there ("worker", "page": as an exhausted
// memory does, so that a test can watch a failure escape the run;
// "main-window": the main window is not made). Otherwise false.
bool TestSeamFails(const char* Place);

// Test builds, when TARN_TEST_UI_LOG names a file: after a title was drawn
// with DC's current font at TextX, TextY inside Area (client pixels),
// appends "title SURFACE area WxH text X,Y WxH dpi N", so that a test can
// see that the title fits its area at every resolution.
void TestSeamNoteTitle(const char* Surface, HDC DC, const RECT& Area, int TextX, int TextY, const char* Text);
// Test builds, when TARN_TEST_UI_LOG names a file: once per run, when the
// first page is up, appends "controls comctl32 PATH version M.N buttons
// v6|classic": the Common Controls library the dialogs use (found by name,
// as the manifest redirects it) and whether Page's buttons are those of
// Common Controls 6 (they answer BCM_GETIDEALSIZE).
void TestSeamNoteControls(HWND Page);
