// The uninstaller. A setup whose log is on carries it (made by tarnpack:
// the same stub with an archive of its own that holds the setup script, the
// texts and a marker file, no payload); the installation run puts it into
// the installation folder and registers the product in "Apps & features".
// Run, it reads the log of the installation and removes what that holds.
#pragma once

#include "TarnStr.h"

// ---- at installation ----
// The installation folder + [Config] UninstallProgram (default Uninstall.exe);
// empty when the script sets UninstallProgram empty (no uninstaller).
Str UninstallerPath();
// The log's [Uninstall] section: the entry's key and root and the language,
// which the uninstaller needs. Written before the files, so that the
// uninstaller can also remove what a failed or cancelled run installed.
void RecordUninstaller();
// After a complete installation: the product's entry under
// ...\CurrentVersion\Uninstall (HKLM, or HKCU for ExecutionLevel=user).
// InstalledBytes gives EstimatedSize.
void RegisterUninstaller(unsigned long long InstalledBytes);

// ---- the uninstaller ----
// True when this program's archive marks it as an uninstaller.
bool IsUninstaller();
// The run: the log, the language of the installation, the confirmation,
// progress and finish pages, and the removal; a silent run (/S) shows none
// of them. False when the log cannot be used (reported with ExitFailed;
// nothing is removed then) or the user cancelled (ExitCancelled).
bool RunUninstallation();
