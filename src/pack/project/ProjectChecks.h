// The checks `tarnpack build` runs before it writes anything: what would make
// a broken setup is an error, what is probably a mistake a warning. The rules
// follow what the stub does with the files (how it selects entries, reads its
// INI files, resolves instruction files and dialog names).
#pragma once

#include "ArcFormat.h"
#include "ArchiveWriter.h"
#include "Diagnostics.h"
#include "IniReader.h"
#include "ProjectScan.h"
#include "SetupRules.h"
#include "TarnStr.h"

#include <cstdint>
#include <string>
#include <vector>

namespace PackBuild {

// The reader looks for the marker in the first 262,135 bytes of the file and
// also needs the main header's type byte 9 bytes after it inside that range.
constexpr uint64_t MarkerSearchEnd = ArcMarkerSize + ArcMarkerSearchSize;
constexpr uint64_t MaxStubSize = MarkerSearchEnd - ArcMainTypeOffset - 1;
constexpr uint64_t MaxPayloadSize = PackMaxSetupSize;
constexpr size_t MaxArchiveNameLength = PackMaxNameLength;

struct StubImage {
    std::string Path;
    std::vector<uint8_t> Bytes;
};

void CheckStub(const StubImage& Stub, DiagnosticList& Out);
void CheckProject(const ProjectTree& Tree, DiagnosticList& Out);

// Whether the setup carries an uninstaller: [Config] Uninstall=1 with a LogFile.
bool ProjectMakesUninstaller(const ProjectTree& Tree);
// The Presetup files the uninstaller's own archive carries (setup script,
// texts, title picture), in packing order.
std::vector<const ProjectFile*> UninstallerPresetupFiles(const ProjectTree& Tree);

// The stub's own rules (src/rules, src/support) over std::string, so that
// what a check says the setup will do is what its code does.
// The stub's integer syntax (colours, DWORD values): TextToInt.
bool ParseScriptInteger(const std::string& Text, int32_t& Value);
// Words as the stub splits lists (CountWords/GetWord): empty words do not
// count, blanks belong to the words.
std::vector<std::string> SplitWords(const std::string& Text, char Separator);
// What the build can know of a text's variables: the script's own ones
// ([Variables] with a value, name and value in file order), replaced as the
// stub does (exact case, one variable after the other). Built-in ones depend
// on the target computer and stay as they are.
using ScriptVariables = std::vector<std::pair<std::string, std::string>>;
ScriptVariables ReadScriptVariables(const IniDocument& Script);
std::string ExpandScriptVariables(const ScriptVariables& Variables, const std::string& Text);
// Whether a text still holds a %Name% reference after that.
bool HasReference(const std::string& Text);

} // namespace PackBuild
