// The run state's storage (see Common.h). Values here are the ones a run
// starts with; RunSetup sets the rest in its start-up steps.
#include "Common.h"

HINSTANCE ModuleInstance = 0;

Str TempDir;
Str IniPath("Tarn.ini");
Str StrPath("Tarn.str");
Str DlgPath("Tarn.dlg");
Str InstallDir;
Str ProgramName;

HWND MainWindow = 0;
TitleLook MainTitleLook = {};
TitleLook DialogTitleLook = {};
HBITMAP TitlePicture = 0;

StrList LanguageList;
Str LanguageCode;
StrList VariableList;
StrList DialogSequence;
StrList CopyList;
StrList RegList;

volatile bool RebootNeeded = false;
volatile bool FilesAwaitRestart = false;
bool CancelNeedsConfirmation = false;

Str DialogTitle;
Str CurrentDialogName;
int CurrentDialogIndex = 0;
