// The Win32 test programs start as a setup run does: with OSInfo filled
// before anything reads it (RunSetup does so first thing).
#include <gtest/gtest.h>

#include "oxShell.h"

namespace {
struct FillOSInfo : ::testing::Environment {
    void SetUp() override { GetOSInfo(&OSInfo); }
};
::testing::Environment* const Registered = ::testing::AddGlobalTestEnvironment(new FillOSInfo);
} // namespace
