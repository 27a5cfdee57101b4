// The fixed English texts of the setup: the messages it shows where its own
// texts (Tarn.str) are not unpacked yet or cannot be trusted, and the
// captions of boxes shown before a page has named the program. One place, so
// that every module shows the same words for the same failure.
#pragma once

inline constexpr char ArchiveOpenError[] = "Archive open error!";
inline constexpr char FileExtractingError[] = "File extracting error!";
inline constexpr char CannotExtractFile[] = "Cannot extract file ";                // + the entry's name
inline constexpr char CannotWriteRegistryValue[] = "Cannot write registry value "; // + the value's path
inline constexpr char NoInitWindowMessage[] = "Cannot create init window!";
inline constexpr char NoMessageWindowMessage[] = "Cannot create message window!";
inline constexpr char NoWindowClassMessage[] = "Cannot register main window class!";
inline constexpr char NoTempFolderMessage[] = "Cannot create temporary folder!";
inline constexpr char DamagedSetupMessage[] = "Setup is damaged or incomplete and cannot go on. "
                                              "Please get a new copy of the setup.";
inline constexpr char NotEnoughMemoryMessage[] = "Not enough memory: Setup cannot go on.";
inline constexpr char InternalErrorMessage[] = "Setup stopped after an internal error.";
// The command line (CommandLine.h). The options box is kept short: every
// byte is in the stub.
inline constexpr char WrongOptionMessage[] = "Wrong option (/? lists them): ";                 // + the word
inline constexpr char UnknownLanguageMessage[] = "Unknown language: ";                         // + the /LANG= code
inline constexpr char NoFullPathFolderMessage[] = "The installation folder is no full path: "; // + the folder
inline constexpr char SetupOnlyOptionsMessage[] = "The uninstaller takes no /D= or /LANG=.";
inline constexpr char CannotWriteLogFile[] = "Cannot write the log file "; // + the /LOG= file
inline constexpr char UsageCaption[] = "Setup";
inline constexpr char UsageText[] = "/S\t\tsilent, licence accepted\r\n"
                                    "/LANG=code\tlanguage (ENU, ...)\r\n"
                                    "/LOG=file\tdiagnostic log\r\n"
                                    "/RESTART\tsilent run may restart\r\n"
                                    "/D=folder\tfolder, last\r\n\r\n"
                                    "Exit codes: 0 installed, 1 failed, 2 cancelled, 3 setup damaged, "
                                    "4 wrong option, 3010 restart needed";

// Captions while MessageCaption is still empty.
inline constexpr char ErrorCaption[] = "Error";
inline constexpr char QuestionCaption[] = "Question";
