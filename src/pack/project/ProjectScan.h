// Finds the files of a setup project (a folder with Presetup/ and Data/), gives
// each its archive name, and puts them in the order they are packed in.
// Checking what the files say is ProjectChecks' work.
#pragma once

#include "Diagnostics.h"
#include "TarnStr.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace PackBuild {

constexpr const char* PresetupFolder = "Presetup";
constexpr const char* DataFolder = "Data";

struct ProjectFile {
    std::string ArchiveName;  // "Presetup\Tarn.ini", "Data\Doc\Readme.txt"
    std::string RelativePath; // "Data/Doc/Readme.txt", for messages
    std::filesystem::path SourcePath;
    uint64_t Size = 0;
    int64_t ModifiedUnix = 0; // seconds since 1970, UTC
};

struct ProjectTree {
    std::filesystem::path Root;
    bool HasPresetup = false;
    bool HasData = false;
    std::vector<ProjectFile> Presetup; // in packing order
    std::vector<ProjectFile> Data;     // in packing order
};

// Walks Root/Presetup and Root/Data. Files that cannot be carried (special
// files, unreadable folders) are reported in Problems.
ProjectTree ScanProject(const std::filesystem::path& Root, DiagnosticList& Problems);

// Packing order: by extension, then file name, then path (case-insensitive,
// exact bytes break ties), so that files of one kind stand together in the
// solid stream. The same set of names always gives the same order.
void OrderForPacking(std::vector<ProjectFile>& Files);

// The Presetup file the setup finds under Name: Presetup files land side by
// side in one folder, so by file-name part, without regard to case (as
// Windows finds files). Null when there is none.
const ProjectFile* FindPresetupFile(const ProjectTree& Tree, const std::string& Name);

// The whole file at Path; false when it cannot be read or is no plain file.
bool ReadFileBytes(const std::filesystem::path& Path, std::vector<uint8_t>& Bytes);

// The stub's texts as std::string and back, for calling its rules.
inline Str ToStr(const std::string& Text) { return Str(Text.data(), (int)Text.size()); }
inline std::string FromStr(const Str& Text) { return std::string(Text.c_str(), (size_t)Text.Length()); }

// The part after the last "\" or ":" (the name the presetup stage extracts
// to): the stub's FileNamePart.
std::string FileNamePart(const std::string& ArchiveName);
// The extension of the file-name part without its ".", empty when none.
std::string ExtensionOf(const std::string& ArchiveName);

} // namespace PackBuild
