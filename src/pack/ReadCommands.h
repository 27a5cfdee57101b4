// The reading side of tarnpack: `list`, `test` and `extract` of an archive
// or of a setup executable with the archive appended, through the same
// reader the setup program uses.
#pragma once

// Exit statuses of the commands.
enum {
    ExitOk = 0,
    ExitDamaged = 1,   // an entry is damaged or could not be written
    ExitNoArchive = 2, // the file cannot be opened or holds no usable archive; wrong usage
};

// Each takes the arguments after the command word and returns the exit status.
int RunListCommand(int ArgCount, char** Args);
int RunTestCommand(int ArgCount, char** Args);
int RunExtractCommand(int ArgCount, char** Args);
