// Throw-away setup projects for the build tests: a temporary folder with
// Presetup/ and Data/, files written from strings, and a minimal stub.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class TempProject {
public:
    TempProject();
    ~TempProject();
    // Writes Root/RelativePath (with "/" separators), creating its folders.
    void Write(const std::string& RelativePath, const std::string& Content);
    void WriteBytes(const std::string& RelativePath, const std::vector<uint8_t>& Content);
    std::filesystem::path Path(const std::string& RelativePath) const { return Root / RelativePath; }
    const std::filesystem::path& Dir() const { return Root; }

private:
    std::filesystem::path Root;
};

// A project that passes every check: a script with a sequence, texts, one
// instruction file installing two Data files, a registry value.
void WriteValidProject(TempProject& Project);
// A stand-in stub: "MZ" and Size - 2 filler bytes.
std::vector<uint8_t> MakeFakeStub(size_t Size);
std::vector<uint8_t> ReadAll(const std::filesystem::path& Path);
