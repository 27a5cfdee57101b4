// Errors and warnings found while checking a setup project, with the file and
// line they point at. Errors stop the build before anything is written;
// warnings are printed and the build goes on.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace PackBuild {

enum class Severity { Warning, Error };

struct Diagnostic {
    Severity Level;
    std::string File; // project-relative, "/" separators; may be empty
    int Line;         // 1-based; 0 when the message is about the whole file
    std::string Text;
};

class DiagnosticList {
public:
    void Error(const std::string& File, int Line, const std::string& Text);
    void Warning(const std::string& File, int Line, const std::string& Text);
    int ErrorCount() const;
    int WarningCount() const;
    const std::vector<Diagnostic>& Items() const { return Entries; }
    // "file:line: error: text", one per line, in the order found.
    void Print(std::FILE* Out) const;
    // True when some message of the given level contains Fragment.
    bool Contains(Severity Level, const std::string& Fragment) const;

private:
    std::vector<Diagnostic> Entries;
};

std::string FormatDiagnostic(const Diagnostic& Item);

// Sets Problem to Text and returns false: how the builder's readers and
// parsers refuse their input.
inline bool Refuse(std::string& Problem, const std::string& Text)
{
    Problem = Text;
    return false;
}

} // namespace PackBuild
