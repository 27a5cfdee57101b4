// The whole run of the setup program, from start-up to the closing steps, and
// the start-up steps that the unit tests call on their own.
#pragma once

#include "CommandLineCore.h"
#include "TarnStr.h"

// Runs the setup as the command line asks; the process's exit code.
SetupExitCode RunSetup();

// Ends a run that a failure escaped (memory exhausted, a fault): the closing
// steps as far as they safely go, the Message (in an error box unless the run
// is silent), exit code 1.
// Called on another thread, it hands the ending to the interface thread and
// never returns there either.
void EndRunAfterFailure(const char* Message);

// Fills LanguageList from a Languages value ("ENU,RUS"): one entry per word
// ("ENG" alone for none), named by the system's locales, sorted.
void BuildLanguageList(const char* Languages);
// LanguageCode := the user's default language when LanguageList offers it,
// else the first code of the list.
void ChooseLanguageCode();
// The words of a dialog-sequence value, ASCII letters upper-cased.
void ReadDialogSequence(const char* Value, StrList* Sequence);
