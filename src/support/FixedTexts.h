// The fixed English texts of the setup: the messages it shows where its own
// texts (Tarn.str) are not unpacked yet or cannot be trusted, and the
// captions of boxes shown before a page has named the program. One place, so
// that every module shows the same words for the same failure.
#pragma once

inline constexpr char ArchiveOpenError[] = "Archive open error!";
inline constexpr char FileExtractingError[] = "File extracting error!";
inline constexpr char CannotExtractFile[] = "Cannot extract file ";            // + the entry's name
inline constexpr char CannotWriteRegistryValue[] = "Cannot write registry value "; // + the value's path
inline constexpr char NoInitWindowMessage[] = "Cannot create init window!";
inline constexpr char NoMessageWindowMessage[] = "Cannot create message window!";
inline constexpr char NoWindowClassMessage[] = "Cannot register main window class!";
inline constexpr char NoTempFolderMessage[] = "Cannot create temporary folder!";
inline constexpr char DamagedSetupMessage[] = "Setup is damaged or incomplete and cannot go on. "
                                              "Please get a new copy of the setup.";
inline constexpr char NotEnoughMemoryMessage[] = "Not enough memory: Setup cannot go on.";
inline constexpr char InternalErrorMessage[] = "Setup stopped after an internal error.";

// Captions while MessageCaption is still empty.
inline constexpr char ErrorCaption[] = "Error";
inline constexpr char QuestionCaption[] = "Question";
