// Test seams: places where a test-built program reports what it must not do
// on a test machine instead of doing it. Whether a program has them is
// decided when it is built: this library's copy of TestSeams.cpp is compiled
// without TARN_TEST_SEAMS and does nothing, so the shipped stub holds neither
// the seams nor the names of their variables. A test program compiles
// TestSeams.cpp into itself with TARN_TEST_SEAMS defined; its own copy is
// then linked instead of the library's (see src/setup/CMakeLists.txt).
#pragma once

#include <windows.h>

// Test builds: when the environment variable TARN_TEST_RESTART_LOG names a
// file, appends "ExitWindowsEx flags=0xNN" to it and returns true, and the
// caller reports success without ending the session (which would end every
// program of a test machine's session). Otherwise, and always in the
// shipped program, false.
bool TestSeamRecordsExit(UINT Flags);
