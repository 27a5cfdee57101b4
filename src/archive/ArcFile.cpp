// Selection of the file layer backend (see ArcFile.h).
#include "ArcFile.h"

// Null stands for the platform's backend: zero-initialised, the pointer
// needs no writable data section of its own in the stub.
static const ArcFileOps* CurrentOps = 0;

const ArcFileOps* ArcGetFileOps() { return CurrentOps ? CurrentOps : &ArcPlatformFileOps; }

void ArcSetFileOps(const ArcFileOps* Ops) { CurrentOps = Ops; }
