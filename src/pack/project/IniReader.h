// Reads the setup's INI files (Tarn.ini, Tarn.str, Tarn.dlg, *.ins) as the
// stub's private-profile reader sees them: section and key names compare
// without regard to case, the first entry of a key counts, blanks around names
// and values are dropped, one pair of enclosing quotes is removed, lines that
// start with ";" are comments. Line numbers are kept for the builder's messages.
#pragma once

#include <string>
#include <vector>

namespace PackBuild {

enum { IniMaxValueLength = 1023 }; // the stub reads values through a 1024-byte buffer

struct IniEntry {
    std::string Name;
    std::string Value;
    int Line;
};

struct IniSection {
    std::string Name;
    int Line;
    std::vector<IniEntry> Entries;
};

class IniDocument {
public:
    // False when the file cannot be read (the document is then empty).
    bool Load(const std::string& Path);
    void Parse(const std::string& Text);

    // The first entry of Key in Section, or null.
    const IniEntry* Find(const std::string& Section, const std::string& Key) const;
    // The section's entries in file order, each key once with its first value
    // (what the stub's section reading gives). Empty when the section is missing.
    std::vector<IniEntry> ReadSection(const std::string& Section) const;
    // Line of the section's first header, 0 when missing.
    int SectionLine(const std::string& Section) const;
    const std::vector<IniSection>& Sections() const { return AllSections; }
    // The text began with a UTF-8 byte-order mark (dropped before parsing).
    bool HadByteOrderMark() const { return ByteOrderMark; }

private:
    std::vector<IniSection> AllSections;
    bool ByteOrderMark = false;
};

// ASCII case-insensitive equality, as names compare in the stub.
bool SameText(const std::string& A, const std::string& B);
std::string UpperAscii(std::string Text);
// Blanks (space, tab) removed from both ends.
std::string TrimBlanks(const std::string& Text);

} // namespace PackBuild
