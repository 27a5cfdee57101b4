// Entry of tarn-setup.exe: the run, then its exit code (CommandLineCore.h).
// (A failure that escapes the run exits with 1 from inside it.)
//
// The program has its own process entry instead of the C runtime's start-up
// code (it is linked with -nostartfiles, see CMakeLists.txt), which would add
// about a sixth to the stub's size for things it does not use: argc/argv,
// the runtime's own exception filter, TLS callbacks, pseudo-relocations.
// So __argc and __argv stay empty here: the command line comes from
// GetCommandLineA. malloc and the string functions of msvcrt.dll need no
// start-up of ours; the DLL initialises itself when it is loaded.
#include <windows.h>

#include "Setup.h"

// The constructors of the global objects, as the linker lists them: a
// leading word (-1 or a count), the functions, a terminating null.
typedef void (*GlobalConstructor)(void);
extern "C" GlobalConstructor __CTOR_LIST__[];

// Destructors of global objects are registered through atexit. Nothing is
// destroyed at exit: the process ends with ExitProcess, and the globals own
// nothing but memory, which goes with the process.
extern "C" int __cdecl atexit(void(__cdecl*)(void)) { return 0; }

extern "C" void WinMainCRTStartup(void)
#if defined(__i386__)
    // Windows enters with the stack aligned to 4 bytes only.
    __attribute__((force_align_arg_pointer))
#endif
    ;

extern "C" void WinMainCRTStartup(void)
{
#if defined(__i386__)
    // The x87 unit in its reset state (64-bit precision), as the C runtime's
    // start-up would leave it: the date arithmetic of the stub uses doubles.
    __asm__ __volatile__("fninit");
#endif
    int Count = 0;
    while (__CTOR_LIST__[Count + 1]) ++Count;
    // Called last to first, as the C runtime does.
    for (int Index = Count; Index >= 1; --Index) __CTOR_LIST__[Index]();
    ExitProcess((UINT)RunSetup());
}
