// INI parsing with the stub reader's rules; see IniReader.h.
#include "IniReader.h"

#include "ProjectScan.h" // ReadFileBytes

#include <algorithm>

namespace PackBuild {

static bool IsBlank(char Ch) { return Ch == ' ' || Ch == '\t'; }

std::string TrimBlanks(const std::string& Text)
{
    size_t First = 0;
    size_t Last = Text.size();
    while (First < Last && IsBlank(Text[First])) ++First;
    while (Last > First && IsBlank(Text[Last - 1])) --Last;
    return Text.substr(First, Last - First);
}

static char UpperChar(char Ch) { return (Ch >= 'a' && Ch <= 'z') ? (char)(Ch - 'a' + 'A') : Ch; }

std::string UpperAscii(std::string Text)
{
    for (char& Ch : Text) Ch = UpperChar(Ch);
    return Text;
}

bool SameText(const std::string& A, const std::string& B)
{
    if (A.size() != B.size()) return false;
    for (size_t I = 0; I < A.size(); ++I)
        if (UpperChar(A[I]) != UpperChar(B[I])) return false;
    return true;
}

// One pair of enclosing quotes goes, so that a value can keep blanks at its ends.
static std::string Unquote(const std::string& Value)
{
    if (Value.size() >= 2) {
        char First = Value.front();
        if ((First == '"' || First == '\'') && Value.back() == First) return Value.substr(1, Value.size() - 2);
    }
    return Value;
}

bool IniDocument::Load(const std::string& Path)
{
    AllSections.clear();
    std::vector<uint8_t> Bytes;
    if (!ReadFileBytes(Path, Bytes)) return false;
    Parse(std::string(Bytes.begin(), Bytes.end()));
    return true;
}

void IniDocument::Parse(const std::string& Source)
{
    AllSections.clear();
    static const char Utf8Mark[] = "\xEF\xBB\xBF";
    ByteOrderMark = Source.compare(0, 3, Utf8Mark) == 0;
    const std::string Text = ByteOrderMark ? Source.substr(3) : Source;
    IniSection* Current = nullptr; // lines before the first header belong to no section
    size_t Start = 0;
    int LineNumber = 0;
    while (Start < Text.size()) {
        size_t End = Text.find('\n', Start);
        if (End == std::string::npos) End = Text.size();
        std::string Line = Text.substr(Start, End - Start);
        Start = End + 1;
        ++LineNumber;
        if (!Line.empty() && Line.back() == '\r') Line.pop_back();
        Line = TrimBlanks(Line);
        if (Line.empty() || Line[0] == ';') continue;
        if (Line[0] == '[') {
            size_t Close = Line.find(']');
            std::string Name = Line.substr(1, Close == std::string::npos ? std::string::npos : Close - 1);
            AllSections.push_back({TrimBlanks(Name), LineNumber, {}});
            Current = &AllSections.back();
            continue;
        }
        if (!Current) continue;
        size_t Equals = Line.find('=');
        IniEntry Entry;
        Entry.Line = LineNumber;
        if (Equals == std::string::npos) {
            Entry.Name = Line; // a key without "=" reads as an empty value
        } else {
            Entry.Name = TrimBlanks(Line.substr(0, Equals));
            Entry.Value = Unquote(TrimBlanks(Line.substr(Equals + 1)));
        }
        if (Entry.Value.size() > IniMaxValueLength) Entry.Value.resize(IniMaxValueLength);
        Current->Entries.push_back(Entry);
    }
}

const IniEntry* IniDocument::Find(const std::string& Section, const std::string& Key) const
{
    for (const IniSection& Each : AllSections) {
        if (!SameText(Each.Name, Section)) continue;
        for (const IniEntry& Entry : Each.Entries)
            if (SameText(Entry.Name, Key)) return &Entry;
    }
    return nullptr;
}

std::vector<IniEntry> IniDocument::ReadSection(const std::string& Section) const
{
    std::vector<IniEntry> Result;
    for (const IniSection& Each : AllSections) {
        if (!SameText(Each.Name, Section)) continue;
        for (const IniEntry& Entry : Each.Entries)
            if (std::none_of(Result.begin(), Result.end(),
                             [&](const IniEntry& Kept) { return SameText(Kept.Name, Entry.Name); }))
                Result.push_back(Entry);
    }
    return Result;
}

int IniDocument::SectionLine(const std::string& Section) const
{
    for (const IniSection& Each : AllSections)
        if (SameText(Each.Name, Section)) return Each.Line;
    return 0;
}

} // namespace PackBuild
