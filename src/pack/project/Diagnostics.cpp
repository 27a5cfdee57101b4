// Collecting and printing the builder's check results.
#include "Diagnostics.h"

#include <map>

namespace PackBuild {

// A group section named by two CopyFile sections is checked twice; say it once.
static void AddOnce(std::vector<Diagnostic>& Entries, const Diagnostic& Item)
{
    for (const Diagnostic& Each : Entries)
        if (Each.Level == Item.Level && Each.File == Item.File && Each.Line == Item.Line && Each.Text == Item.Text)
            return;
    Entries.push_back(Item);
}

void DiagnosticList::Error(const std::string& File, int Line, const std::string& Text)
{
    AddOnce(Entries, {Severity::Error, File, Line, Text});
}

void DiagnosticList::Warning(const std::string& File, int Line, const std::string& Text)
{
    AddOnce(Entries, {Severity::Warning, File, Line, Text});
}

int DiagnosticList::ErrorCount() const
{
    int Count = 0;
    for (const Diagnostic& Item : Entries)
        if (Item.Level == Severity::Error) ++Count;
    return Count;
}

int DiagnosticList::WarningCount() const { return (int)Entries.size() - ErrorCount(); }

bool DiagnosticList::Contains(Severity Level, const std::string& Fragment) const
{
    for (const Diagnostic& Item : Entries)
        if (Item.Level == Level && FormatDiagnostic(Item).find(Fragment) != std::string::npos) return true;
    return false;
}

std::string FormatDiagnostic(const Diagnostic& Item)
{
    std::string Line;
    if (!Item.File.empty()) {
        Line += Item.File;
        if (Item.Line > 0) Line += ":" + std::to_string(Item.Line);
        Line += ": ";
    }
    Line += Item.Level == Severity::Error ? "error: " : "warning: ";
    Line += Item.Text;
    return Line;
}

void DiagnosticList::Print(std::FILE* Out) const
{
    // A payload of thousands of files can give thousands of one same message
    // ("no CopyFile instruction installs this file"); show the first few.
    const int MaxRepeatsShown = 10;
    std::map<std::pair<Severity, std::string>, int> Seen;
    for (const Diagnostic& Item : Entries)
        if (++Seen[{Item.Level, Item.Text}] <= MaxRepeatsShown)
            std::fprintf(Out, "%s\n", FormatDiagnostic(Item).c_str());
    for (const auto& Each : Seen)
        if (Each.second > MaxRepeatsShown)
            std::fprintf(Out, "%s: %d more like: %s\n", Each.first.first == Severity::Error ? "error" : "warning",
                         Each.second - MaxRepeatsShown, Each.first.second.c_str());
}

} // namespace PackBuild
