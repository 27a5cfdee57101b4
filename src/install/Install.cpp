// Stand-in for the installation run until the installation engine lands:
// it installs nothing and reports success, so the wizard can be walked end
// to end.
#include "Install.h"

bool RunInstallation()
{
    return true;
}
