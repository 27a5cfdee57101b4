// Where the tests find the real archives (made by other software, so they
// cannot be part of the repository), and how a test skips without them.
// Used by the archive tests and by every other test that reads them.
#pragma once

#include <string>

// The folder of the real archives: $TARN_VECTORS_DIR (a relative path counts
// from the repository root), else ../shared/vectors beside the repository.
std::string VectorsDir();
// Empty when the real archives' table is there; else one line saying what is
// missing and how to provide it: the reason a test gives for skipping.
std::string VectorsMissing();
// Skips the rest of a test (or of SetUp) when the real archives are not there.
#define SKIP_WITHOUT_VECTORS()                                                                                         \
    do {                                                                                                               \
        std::string VectorsMissingLine = VectorsMissing();                                                             \
        if (!VectorsMissingLine.empty()) GTEST_SKIP() << VectorsMissingLine;                                           \
    } while (0)
