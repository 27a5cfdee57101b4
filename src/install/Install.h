// The installation run: instruction files, size scan, disk check, the
// progress dialog with its worker thread, registry values.
#pragma once

// True when every selected entry was installed and the registry written.
bool RunInstallation();
