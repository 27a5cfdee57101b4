// Reading the instruction files and writing the registry values; see
// Instructions.h. Every name and value is expanded as it is read; the group
// section names are used as written.
#include "Instructions.h"

#include <windows.h>

#include "Common.h"
#include "DiagLog.h"
#include "FixedTexts.h"
#include "SetupRules.h"
#include "Log.h"
#include "Report.h"
#include "Texts.h"
#include "oxRegIni.h"
#include "oxStrUtils.h"

static const char* const CopyFileSection = "CopyFile";
static const char* const AddRegSection = "AddReg";

// Called for each entry of each group: entry name, entry value and the
// group's value (destination directory or registry key), all expanded.
typedef void (*InstructionHandler)(const Str& Name, const Str& Value, const Str& GroupValue);

// Calls Handler for every entry of every group section that Section names.
static void ForEachInstructionEntry(const char* Path, const char* Section, InstructionHandler Handler)
{
    StrList Groups;
    IniReadSection(Path, Section, &Groups);
    StrList Entries;
    for (int GroupIndex = 0; GroupIndex < Groups.Count(); ++GroupIndex) {
        Str GroupValue = ExpandVariables(Groups.ValueAt(GroupIndex).c_str());
        Entries.Clear();
        IniReadSection(Path, Groups.NameAt(GroupIndex).c_str(), &Entries);
        for (int EntryIndex = 0; EntryIndex < Entries.Count(); ++EntryIndex) {
            Handler(ExpandVariables(Entries.NameAt(EntryIndex).c_str()),
                    ExpandVariables(Entries.ValueAt(EntryIndex).c_str()), GroupValue);
        }
    }
}

// SourceName = target path [,version] in CopyList (a later entry for the
// same source replaces the earlier one where it stands).
static void AddCopyEntry(const Str& SourceName, const Str& TargetSpec, const Str& DestinationDirectory)
{
    CopyList.SetValue(SourceName.c_str(), CopyTargetSpec(SourceName, TargetSpec, DestinationDirectory).c_str());
}

// Key path\ValueName = Data in RegList; empty Data removes an earlier entry.
static void AddRegEntry(const Str& ValueName, const Str& Data, const Str& RegistryKeyPath)
{
    Str ValuePath = AddBackslash(RegistryKeyPath) + ValueName;
    RegList.SetValue(ValuePath.c_str(), Data.c_str());
}

void ReadInstructionFile(const char* Path)
{
    const Str Suffixes[] = {Str(""), Str(".") + LanguageCode};
    for (const Str& Suffix : Suffixes) {
        ForEachInstructionEntry(Path, (Str(CopyFileSection) + Suffix).c_str(), AddCopyEntry);
        ForEachInstructionEntry(Path, (Str(AddRegSection) + Suffix).c_str(), AddRegEntry);
    }
}

bool ApplyRegistryValues()
{
    bool Result = true;
    for (int Index = 0; Index < RegList.Count(); ++Index) {
        Str ValuePath = RegList.NameAt(Index);
        Str Data = RegList.ValueAt(Index);
        HKEY Root;
        Str SubKey, ValueName;
        SplitRegPath(ValuePath.c_str(), &Root, &SubKey, &ValueName);
        // No known root: writing it under some other root would be wrong,
        // and logging it would make an uninstall remove what it never made.
        if (!Root) continue;
        bool Existed = RegValueExists(ValuePath.c_str());
        bool Written = RegDataIsInteger(Data) ? RegWriteInteger(ValuePath.c_str(), RegDataInteger(Data))
                                              : RegWriteString(ValuePath.c_str(), Data.c_str());
        if (!Written) {
            // A missing value leaves the product half set up: say which one
            // and let the run end as not finished.
            ReportErrorOn(0, CannotWriteRegistryValue, ValuePath.c_str(), ExitFailed);
            Result = false;
            break;
        }
        DiagLogLine("registry value: ", RegList.Get(Index).c_str());
        if (!Existed) LogRegistryValue(ValuePath.c_str(), Data.c_str());
    }
    FlushLog();
    ForgetBuiltinVariables();
    return Result;
}
