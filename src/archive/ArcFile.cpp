// Selection of the file layer backend (see ArcFile.h).
#include "ArcFile.h"

static const ArcFileOps* CurrentOps = &ArcPlatformFileOps;

const ArcFileOps* ArcGetFileOps()
{
    return CurrentOps;
}

void ArcSetFileOps(const ArcFileOps* Ops)
{
    CurrentOps = Ops ? Ops : &ArcPlatformFileOps;
}
