// What a setup carries of its own beside the archive: the execution level of
// its manifest, its version information and its icon, chosen by the setup
// script's [Config] keys (README: "The setup's own resources"). Planned and
// checked from the project first, then written into the stub's resources
// (PeResources). A project without the keys keeps the stub's resources
// byte for byte.
#pragma once

#include "Diagnostics.h"
#include "ProjectChecks.h"
#include "ProjectScan.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace PackBuild {

// [Config] ExecutionLevel: what Windows (Vista and later) asks for before the
// setup starts.
enum class ExecutionLevel {
    Admin,   // "admin": elevated always (the default: Program Files and HKLM need it)
    Highest, // "highest": elevated when the user is an administrator
    User,    // "user": the rights of the user who starts it
};
const ExecutionLevel DefaultExecutionLevel = ExecutionLevel::Admin;

// The key's value, without regard to case. False for any other text.
bool ParseExecutionLevel(const std::string& Text, ExecutionLevel& Level);

// The version information's four numbers and its texts, as written.
struct VersionInfo {
    uint16_t Numbers[4] = {0, 0, 0, 0};
    std::vector<std::pair<std::string, std::u16string>> Strings; // StringFileInfo key, text
};

// One image of an .ico file.
struct IconImage {
    uint8_t Width = 0, Height = 0, ColorCount = 0; // 0 width or height means 256
    uint16_t Planes = 0, BitCount = 0;
    std::vector<uint8_t> Data; // a DIB (header, colours, XOR and AND masks) or a PNG file
};

struct SetupResourcePlan {
    ExecutionLevel Level = DefaultExecutionLevel;
    bool LevelGiven = false;   // ExecutionLevel is in the script
    bool WriteVersion = false; // some version key is in the script
    VersionInfo Version;
    std::vector<IconImage> Icon; // empty: the stub's icon stays
    std::string ProductName;     // also the description of a signature
};

// Reads and checks the [Config] keys of the project's Tarn.ini (errors and
// warnings go to Out). SetupFileName (the output's file name) becomes the
// version information's original file name.
SetupResourcePlan PlanSetupResources(const ProjectTree& Tree, const std::string& SetupFileName, DiagnosticList& Out);

// Writes what the plan changes into the stub's resources. Rewritten tells
// whether the stub changed (the setup's checksum must then be set anew, see
// UpdateFileChecksum in PeResources.h). False, with an error in Out, when
// the stub cannot carry the plan.
bool ApplySetupResources(const SetupResourcePlan& Plan, StubImage& Stub, DiagnosticList& Out, bool& Rewritten);

// Building blocks, for the tests.
// An .ico file's images; false, with Problem set, when it is not a sound one.
bool ReadIconFile(const std::vector<uint8_t>& File, std::vector<IconImage>& Images, std::string& Problem);
// A version resource (VS_VERSIONINFO) with US English texts.
std::vector<uint8_t> BuildVersionResource(const VersionInfo& Version);
// Text in Windows code page CodePage as UTF-16; false when the text is not
// valid in that code page or the code page is unknown here.
bool CodePageToUtf16(const std::string& Text, int CodePage, std::u16string& Out);

} // namespace PackBuild
