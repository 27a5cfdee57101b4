// The presetup stage (see Presetup.h). The Presetup\ entries stand at the
// start of the archive, ahead of the payload, so both passes stop at the
// first other entry. Runs before any other window exists; nothing runs a
// message loop for its window, which is repainted on demand.
#include "Presetup.h"

#include <windows.h>
#include <commctrl.h>

#include "Common.h"
#include "FixedTexts.h"
#include "Report.h"
#include "ResourceIds.h"
#include "SetupRules.h"
#include "Unrar.h"
#include "oxStrUtils.h"

Str OwnFileName()
{
    Str Path;
    char* Buffer = Path.Reserve(MAX_PATH);
    DWORD Length = GetModuleFileNameA(0, Buffer, MAX_PATH);
    Path.SetLength(Length < MAX_PATH ? (int)Length : 0);
    return Path;
}

unsigned long long SumEntrySizes(const char* ArchiveName, const char* Mask, int PrefixLength, const StrList* Selection,
                                 bool StopAtMismatch, bool* Damaged)
{
    unsigned long long Total = 0;
    if (Damaged) *Damaged = false;
    ArcHandle Archive = ArcOpen(ArchiveName, ArcModeList);
    if (!Archive) {
        ReportError(0, ArchiveOpenError, ExitArchiveDamaged);
        return 0;
    }
    ArcEntryInfo Info;
    for (;;) {
        if (!ArcReadEntry(Archive, &Info)) {
            if (Damaged) *Damaged = ArcWalkResult(Archive) != ArcOk;
            break;
        }
        Str Name(Info.Name);
        if (EntryInGroup(Name, Mask)) {
            Str Source = Name.Sub(PrefixLength, Name.Length());
            if (!Selection || Selection->IndexOfName(Source.c_str()) >= 0) Total += Info.UnpackedSize;
        } else if (StopAtMismatch) {
            break;
        }
        if (!ArcProcessEntry(Archive, false, 0, 0)) {
            ReportError(0, FileExtractingError, ExitArchiveDamaged);
            break;
        }
    }
    ArcClose(Archive);
    return Total;
}

bool ExtractPresetup(const char* ArchiveName, const char* Directory)
{
    HWND Window = 0;
    if (!SilentRun) {
        Window = CreateDialogParamA(ModuleInstance, DlgPresetup, 0, 0, 0);
        if (!Window) {
            ReportError(0, NoInitWindowMessage, ExitFailed);
            return false;
        }
    }

    unsigned long long Total = SumEntrySizes(ArchiveName, PresetupMask, PresetupPrefixLength, 0, true);
    ArcHandle Archive = ArcOpen(ArchiveName, ArcModeExtract);
    if (!Archive) {
        ReportError(0, ArchiveOpenError, ExitArchiveDamaged);
        DestroyWindow(Window); // none in a silent run: the call then fails harmlessly
        return false;
    }
    if (Window) {
        ShowWindow(Window, SW_SHOW);
        RedrawWindow(Window, 0, 0, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }

    bool Result = true;
    unsigned long long Done = 0;
    ArcEntryInfo Info;
    for (;;) {
        if (!ArcReadEntry(Archive, &Info)) {
            // Half the resources would start a wizard without its texts or
            // instructions: a cut download stops here.
            if (ArcWalkResult(Archive) != ArcOk) {
                ReportError(0, DamagedSetupMessage, ExitArchiveDamaged);
                Result = false;
            }
            break;
        }
        if (!EntryInGroup(Info.Name, PresetupMask)) break;
        // Sub-paths inside the group are dropped: every entry lands directly
        // in Directory.
        Str Destination = Str(Directory) + FileNamePart(Info.Name);
        int Code = ArcProcessEntryCode(Archive, true, 0, Destination.c_str());
        if (Code != ArcOk) {
            // Damaged data is the archive's fault; a file that cannot be
            // written (or no memory) is named.
            if (Code == ArcDataError)
                ReportError(0, DamagedSetupMessage, ExitArchiveDamaged);
            else
                ReportErrorOn(0, CannotExtractFile, Info.Name, ExitFailed);
            Result = false;
            break;
        }
        Done += Info.UnpackedSize;
        if (Window) { // none in a silent run
            // Percent of the bar's own range, which is 0 to 100, painted now
            // (what UpdateWindow does): no message loop runs while the stage works.
            HWND Bar = GetDlgItem(Window, IDC_PRESETUP_BAR);
            SendMessageA(Bar, PBM_SETPOS, (WPARAM)ProgressPercent(Done, Total), 0);
            RedrawWindow(Bar, 0, 0, RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
    }
    ArcClose(Archive);
    DestroyWindow(Window);
    return Result;
}
