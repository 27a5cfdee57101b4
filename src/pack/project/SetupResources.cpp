// The setup's own resources; see SetupResources.h. The keys are read here,
// once; the file format is PeResources' work.
#include "SetupResources.h"

#include "IniReader.h"
#include "PeResources.h"

#include <algorithm>
#include <cstring>
#include <iconv.h>
#include <set>

namespace PackBuild {

namespace {

// [Config] keys of the setup's own resources.
const char KeyExecutionLevel[] = "ExecutionLevel";
const char KeyProductName[] = "ProductName";
const char KeyProductVersion[] = "ProductVersion";
const char KeyPublisher[] = "Publisher";
const char KeyDescription[] = "Description";
const char KeyCopyright[] = "Copyright";
const char KeyIcon[] = "Icon";
const char KeyCodePage[] = "CodePage";
const int DefaultCodePage = 1252;
const char* const VersionKeys[] = {KeyProductName, KeyProductVersion, KeyPublisher, KeyDescription, KeyCopyright};

struct LevelName {
    ExecutionLevel Level;
    const char* ScriptWord;
    const char* ManifestWord;
};
const LevelName LevelNames[] = {
    {ExecutionLevel::Admin, "admin", "requireAdministrator"},
    {ExecutionLevel::Highest, "highest", "highestAvailable"},
    {ExecutionLevel::User, "user", "asInvoker"},
};

// The stub's resources that a setup replaces.
const uint16_t ManifestName = 1;         // CREATEPROCESS_MANIFEST_RESOURCE_ID
const char IconGroupName[] = "MAINICON"; // the icon the stub loads and Explorer shows
const uint16_t DefaultLanguage = 0x0409; // US English

// The manifest's execution level: requestedExecutionLevel level="...".
const char LevelElement[] = "requestedExecutionLevel";
const char LevelAttribute[] = "level=\"";

// ---- the version resource (VS_VERSIONINFO) ----
// A node: its length, its value's length, its type (0 binary, 1 text), its
// key (UTF-16, zero-terminated), padding to 4 bytes, the value, then the
// children, each at a 4-byte boundary. The length covers the children but
// not the padding after the last one.
const uint32_t FixedInfoSignature = 0xFEEF04BD;
const uint32_t FixedInfoStructVersion = 0x00010000;
const uint32_t FixedInfoFlagsMask = 0x3F;  // VS_FFI_FILEFLAGSMASK
const uint32_t FixedInfoOsWindows32 = 0x4; // VOS__WINDOWS32
const uint32_t FixedInfoTypeApp = 0x1;     // VFT_APP
const uint16_t VersionValueBinary = 0;
const uint16_t VersionValueText = 1;
const uint16_t UnicodeCodePage = 1200;    // the texts are UTF-16
const char StringTableKey[] = "040904B0"; // US English, UTF-16

// ---- .ico files ----
// Header: reserved 0, type 1, image count. Then 16 bytes per image: width,
// height, colour count, reserved, planes, bits per pixel, byte count, file
// offset. A resource group has the same header and 14 bytes per image: the
// first 12 as in the file, then the RT_ICON id.
const size_t IconHeaderSize = 6;
const size_t IconFileEntrySize = 16;
const size_t IconGroupEntrySize = 14;
const uint16_t IconFileType = 1;
const size_t DibHeaderSize = 40; // BITMAPINFOHEADER
const size_t DibPlanesOffset = 12;
const size_t DibBitCountOffset = 14;
const uint8_t PngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
const uint16_t PngBitCount = 32;

std::u16string Ascii16(const std::string& Text) { return std::u16string(Text.begin(), Text.end()); }

bool IsPng(const std::vector<uint8_t>& Data)
{
    return Data.size() >= sizeof PngSignature && std::memcmp(Data.data(), PngSignature, sizeof PngSignature) == 0;
}

struct VersionNode {
    std::u16string Key;
    uint16_t Type;
    std::vector<uint8_t> Value; // a text's UTF-16 characters with their terminating zero
    std::vector<VersionNode> Children;
};

void WriteVersionNode(std::vector<uint8_t>& Out, const VersionNode& Node)
{
    size_t Start = Out.size();
    Append16(Out, 0); // the length, set below
    // The value's length: bytes for binary values, characters for texts.
    Append16(Out, uint32_t(Node.Type == VersionValueText ? Node.Value.size() / 2 : Node.Value.size()));
    Append16(Out, Node.Type);
    for (char16_t Ch : Node.Key) Append16(Out, Ch);
    Append16(Out, 0);
    while (Out.size() % 4) Out.push_back(0);
    Out.insert(Out.end(), Node.Value.begin(), Node.Value.end());
    for (const VersionNode& Child : Node.Children) {
        while (Out.size() % 4) Out.push_back(0);
        WriteVersionNode(Out, Child);
    }
    size_t Length = Out.size() - Start;
    Out[Start] = (uint8_t)Length;
    Out[Start + 1] = (uint8_t)(Length >> 8);
}

// "1.2.3" (up to four numbers of 0..65535 joined by dots, anything after
// them is kept in the text only) into Numbers. False when Text does not
// start with a number or a number is too large.
bool ParseVersionNumbers(const std::string& Text, uint16_t Numbers[4])
{
    size_t At = 0;
    for (int Field = 0; Field < 4; ++Field) {
        if (At >= Text.size() || Text[At] < '0' || Text[At] > '9') return Field > 0;
        uint32_t Value = 0;
        while (At < Text.size() && Text[At] >= '0' && Text[At] <= '9') {
            Value = Value * 10 + (uint32_t)(Text[At++] - '0');
            if (Value > 0xFFFF) return false;
        }
        Numbers[Field] = (uint16_t)Value;
        if (At + 1 < Text.size() && Text[At] == '.' && Text[At + 1] >= '0' && Text[At + 1] <= '9')
            ++At;
        else
            break;
    }
    return true;
}

struct ScriptKeys {
    const ProjectFile* File = nullptr;
    IniDocument Doc;
    ScriptVariables Variables;

    const IniEntry* Find(const char* Key) const { return Doc.Find("Config", Key); }
};

// The key's value with the script's variables put in; "" when missing.
std::string ReadText(const ScriptKeys& Script, const char* Key, DiagnosticList& Out)
{
    const IniEntry* Entry = Script.Find(Key);
    if (!Entry) return std::string();
    std::string Text = ExpandScriptVariables(Script.Variables, Entry->Value);
    if (HasReference(Text))
        Out.Warning(Script.File->RelativePath, Entry->Line,
                    std::string(Key) + " \"" + Entry->Value +
                        "\" names a variable that only the target computer "
                        "knows; the setup's version information shows it as it stands");
    return Text;
}

void PlanLevel(const ScriptKeys& Script, SetupResourcePlan& Plan, DiagnosticList& Out)
{
    const IniEntry* Entry = Script.Find(KeyExecutionLevel);
    if (!Entry) return;
    Plan.LevelGiven = true;
    if (!ParseExecutionLevel(Entry->Value, Plan.Level))
        Out.Error(Script.File->RelativePath, Entry->Line,
                  std::string(KeyExecutionLevel) + " \"" + Entry->Value + "\" is not admin, highest or user");
}

void PlanVersion(const ScriptKeys& Script, const std::string& SetupFileName, SetupResourcePlan& Plan,
                 DiagnosticList& Out)
{
    for (const char* Key : VersionKeys)
        if (Script.Find(Key) && !Script.Find(Key)->Value.empty()) Plan.WriteVersion = true;
    if (!Plan.WriteVersion) return;

    int CodePage = DefaultCodePage;
    if (const IniEntry* Entry = Script.Find(KeyCodePage)) {
        int32_t Value = 0;
        if (!ParseScriptInteger(Entry->Value, Value) || Value <= 0 || Value > 0xFFFF) {
            Out.Error(Script.File->RelativePath, Entry->Line,
                      std::string(KeyCodePage) + " \"" + Entry->Value + "\" is not a code page number");
            return;
        }
        CodePage = Value;
    }
    std::string ProductName = ReadText(Script, KeyProductName, Out);
    if (ProductName.empty()) {
        for (const auto& Variable : Script.Variables)
            if (SameText(Variable.first, "ProgramName")) ProductName = Variable.second;
    }
    std::string Version = ReadText(Script, KeyProductVersion, Out);
    std::string Description = ReadText(Script, KeyDescription, Out);
    if (Description.empty() && !ProductName.empty()) Description = ProductName + " Setup";
    if (!Version.empty() && !ParseVersionNumbers(Version, Plan.Version.Numbers))
        Out.Error(Script.File->RelativePath, Script.Find(KeyProductVersion)->Line,
                  std::string(KeyProductVersion) + " \"" + Version +
                      "\" must start with up to four numbers "
                      "of 0 to 65535 joined by dots (1.2.3.4)");
    Plan.ProductName = ProductName;

    // In the order the resource compilers write them.
    const std::pair<const char*, std::string> Texts[] = {
        {"CompanyName", ReadText(Script, KeyPublisher, Out)},
        {"FileDescription", Description},
        {"FileVersion", Version},
        {"LegalCopyright", ReadText(Script, KeyCopyright, Out)},
        {"OriginalFilename", SetupFileName},
        {"ProductName", ProductName},
        {"ProductVersion", Version},
    };
    for (const auto& [Key, Text] : Texts) {
        if (Text.empty()) continue;
        std::u16string Wide;
        if (!CodePageToUtf16(Text, CodePage, Wide)) {
            Out.Error(Script.File->RelativePath, 0,
                      std::string("the version text \"") + Text + "\" (" + Key + ") is not text of code page " +
                          std::to_string(CodePage) + " (set [Config] " + KeyCodePage + " to the project's code page)");
            continue;
        }
        Plan.Version.Strings.push_back({Key, Wide});
    }
}

void PlanIcon(const ScriptKeys& Script, const ProjectTree& Tree, SetupResourcePlan& Plan, DiagnosticList& Out)
{
    const IniEntry* Entry = Script.Find(KeyIcon);
    if (!Entry || Entry->Value.empty()) return;
    const ProjectFile* File = FindPresetupFile(Tree, Entry->Value);
    if (!File) {
        Out.Error(Script.File->RelativePath, Entry->Line,
                  std::string(KeyIcon) + " names \"" + Entry->Value + "\", but Presetup has no such file");
        return;
    }
    std::vector<uint8_t> Bytes;
    std::string Problem = ReadFileBytes(File->SourcePath, Bytes) ? "" : "cannot be read";
    if (!Problem.empty() || !ReadIconFile(Bytes, Plan.Icon, Problem)) {
        Plan.Icon.clear();
        Out.Error(File->RelativePath, 0, "the setup's icon: " + Problem);
        return;
    }
    bool AnyBitmap = false;
    for (const IconImage& Image : Plan.Icon)
        if (!IsPng(Image.Data)) AnyBitmap = true;
    if (!AnyBitmap)
        Out.Warning(File->RelativePath, 0,
                    "every image of the icon is PNG-compressed; Windows before Vista shows no icon for the setup");
}

bool SetManifestLevel(std::vector<ResourceEntry>& Entries, const SetupResourcePlan& Plan, bool& Changed,
                      std::string& Problem)
{
    if (!Plan.LevelGiven) return true;
    for (ResourceEntry& Entry : Entries) {
        if (!Entry.Is(ResourceTypeManifest) || !(Entry.Name == ResourceId::Of(ManifestName))) continue;
        std::string Text(Entry.Data.begin(), Entry.Data.end());
        size_t Element = Text.find(LevelElement);
        size_t Value = Element == std::string::npos ? Element : Text.find(LevelAttribute, Element);
        size_t End = Value == std::string::npos ? Value : Text.find('"', Value + sizeof LevelAttribute - 1);
        if (End == std::string::npos) break;
        Value += sizeof LevelAttribute - 1;
        std::string Wanted;
        for (const LevelName& Name : LevelNames)
            if (Name.Level == Plan.Level) Wanted = Name.ManifestWord;
        if (Text.compare(Value, End - Value, Wanted) == 0) return true;
        Text.replace(Value, End - Value, Wanted);
        Entry.Data.assign(Text.begin(), Text.end());
        Changed = true;
        return true;
    }
    return Refuse(Problem, "the stub's manifest has no execution level to set (a stub older than ExecutionLevel?)");
}

void ReplaceVersion(std::vector<ResourceEntry>& Entries, const VersionInfo& Version)
{
    uint16_t Language = DefaultLanguage;
    for (const ResourceEntry& Entry : Entries)
        if (Entry.Is(ResourceTypeVersion)) Language = Entry.Language;
    Entries.erase(std::remove_if(Entries.begin(), Entries.end(),
                                 [](const ResourceEntry& E) { return E.Is(ResourceTypeVersion); }),
                  Entries.end());
    Entries.push_back(
        {ResourceId::Of(ResourceTypeVersion), ResourceId::Of(1), Language, 0, BuildVersionResource(Version)});
}

bool ReplaceIcon(std::vector<ResourceEntry>& Entries, const std::vector<IconImage>& Images, std::string& Problem)
{
    ResourceId GroupId = ResourceId::Named(IconGroupName);
    uint16_t Language = DefaultLanguage;
    bool Found = false;
    std::set<uint16_t> OldImages;
    for (const ResourceEntry& Entry : Entries) {
        if (!Entry.Is(ResourceTypeGroupIcon) || !(Entry.Name == GroupId)) continue;
        Found = true;
        Language = Entry.Language;
        const std::vector<uint8_t>& Group = Entry.Data;
        size_t Count = Group.size() >= IconHeaderSize ? Get16(Group, 4) : 0;
        for (size_t I = 0; I < Count && IconHeaderSize + (I + 1) * IconGroupEntrySize <= Group.size(); ++I)
            OldImages.insert(Get16(Group, IconHeaderSize + I * IconGroupEntrySize + 12));
    }
    if (!Found) return Refuse(Problem, std::string("the stub has no icon ") + IconGroupName + " to replace");
    Entries.erase(std::remove_if(Entries.begin(), Entries.end(),
                                 [&](const ResourceEntry& E) {
                                     return (E.Is(ResourceTypeIcon) && !E.Name.IsNamed() &&
                                             OldImages.count(E.Name.Number)) ||
                                            (E.Is(ResourceTypeGroupIcon) && E.Name == GroupId);
                                 }),
                  Entries.end());
    std::set<uint16_t> Used;
    for (const ResourceEntry& Entry : Entries)
        if (Entry.Is(ResourceTypeIcon) && !Entry.Name.IsNamed()) Used.insert(Entry.Name.Number);

    ResourceEntry Group{ResourceId::Of(ResourceTypeGroupIcon), GroupId, Language, 0, {}};
    Append16(Group.Data, 0);
    Append16(Group.Data, IconFileType);
    Append16(Group.Data, (uint32_t)Images.size());
    uint16_t NextId = 1;
    for (const IconImage& Image : Images) {
        while (Used.count(NextId)) ++NextId;
        Used.insert(NextId);
        Entries.push_back({ResourceId::Of(ResourceTypeIcon), ResourceId::Of(NextId), Language, 0, Image.Data});
        Group.Data.push_back(Image.Width);
        Group.Data.push_back(Image.Height);
        Group.Data.push_back(Image.ColorCount);
        Group.Data.push_back(0);
        Append16(Group.Data, Image.Planes);
        Append16(Group.Data, Image.BitCount);
        Append32(Group.Data, (uint32_t)Image.Data.size());
        Append16(Group.Data, NextId);
    }
    Entries.push_back(Group);
    return true;
}

} // namespace

bool ParseExecutionLevel(const std::string& Text, ExecutionLevel& Level)
{
    for (const LevelName& Name : LevelNames)
        if (SameText(Text, Name.ScriptWord)) {
            Level = Name.Level;
            return true;
        }
    return false;
}

SetupResourcePlan PlanSetupResources(const ProjectTree& Tree, const std::string& SetupFileName, DiagnosticList& Out)
{
    SetupResourcePlan Plan;
    ScriptKeys Script;
    Script.File = FindPresetupFile(Tree, "Tarn.ini");
    // A missing or unreadable script is reported by the project checks.
    if (!Script.File || !Script.Doc.Load(Script.File->SourcePath.string())) return Plan;
    Script.Variables = ReadScriptVariables(Script.Doc);
    PlanLevel(Script, Plan, Out);
    PlanVersion(Script, SetupFileName, Plan, Out);
    PlanIcon(Script, Tree, Plan, Out);
    return Plan;
}

bool ApplySetupResources(const SetupResourcePlan& Plan, StubImage& Stub, DiagnosticList& Out, bool& Rewritten)
{
    Rewritten = false;
    if (!Plan.LevelGiven && !Plan.WriteVersion && Plan.Icon.empty()) return true;
    std::vector<ResourceEntry> Entries;
    std::string Problem;
    bool Changed = false;
    bool Done = ReadResources(Stub.Bytes, Entries, Problem) && SetManifestLevel(Entries, Plan, Changed, Problem);
    if (Done && Plan.WriteVersion) {
        ReplaceVersion(Entries, Plan.Version);
        Changed = true;
    }
    if (Done && !Plan.Icon.empty()) {
        Done = ReplaceIcon(Entries, Plan.Icon, Problem);
        Changed = true;
    }
    if (Done && Changed) Done = ReplaceResources(Stub.Bytes, Entries, Problem);
    if (!Done) {
        Out.Error(Stub.Path, 0, "cannot give the setup its own resources: " + Problem);
        return false;
    }
    Rewritten = Changed;
    return true;
}

bool ReadIconFile(const std::vector<uint8_t>& File, std::vector<IconImage>& Images, std::string& Problem)
{
    Images.clear();
    if (File.size() < IconHeaderSize || Get16(File, 0) != 0 || Get16(File, 2) != IconFileType)
        return Refuse(Problem, "not an .ico file");
    size_t Count = Get16(File, 4);
    if (Count == 0) return Refuse(Problem, "the icon file holds no image");
    if (IconHeaderSize + Count * IconFileEntrySize > File.size())
        return Refuse(Problem, "the icon file's list of images is cut short");
    for (size_t I = 0; I < Count; ++I) {
        size_t At = IconHeaderSize + I * IconFileEntrySize;
        IconImage Image;
        Image.Width = File[At];
        Image.Height = File[At + 1];
        Image.ColorCount = File[At + 2];
        Image.Planes = Get16(File, At + 4);
        Image.BitCount = Get16(File, At + 6);
        uint32_t Size = Get32(File, At + 8), Offset = Get32(File, At + 12);
        if (Offset > File.size() || Size > File.size() - Offset || Size < sizeof PngSignature)
            return Refuse(Problem, "image " + std::to_string(I + 1) + " lies outside the icon file");
        Image.Data.assign(File.begin() + Offset, File.begin() + Offset + Size);
        if (IsPng(Image.Data)) {
            if (Image.Planes == 0) Image.Planes = 1;
            if (Image.BitCount == 0) Image.BitCount = PngBitCount;
        } else {
            if (Size < DibHeaderSize || Get32(Image.Data, 0) != DibHeaderSize)
                return Refuse(Problem, "image " + std::to_string(I + 1) + " is neither a bitmap nor a PNG");
            // Some tools leave these 0 in the file; Windows picks images by them.
            if (Image.Planes == 0) Image.Planes = Get16(Image.Data, DibPlanesOffset);
            if (Image.BitCount == 0) Image.BitCount = Get16(Image.Data, DibBitCountOffset);
        }
        Images.push_back(std::move(Image));
    }
    return true;
}

std::vector<uint8_t> BuildVersionResource(const VersionInfo& Version)
{
    VersionNode Root{u"VS_VERSION_INFO", VersionValueBinary, {}, {}};
    const uint16_t* N = Version.Numbers;
    for (uint32_t Word : {FixedInfoSignature, FixedInfoStructVersion, (uint32_t)N[0] << 16 | N[1],
                          (uint32_t)N[2] << 16 | N[3],                              // file version
                          (uint32_t)N[0] << 16 | N[1], (uint32_t)N[2] << 16 | N[3], // product version
                          FixedInfoFlagsMask, 0u, FixedInfoOsWindows32, FixedInfoTypeApp, 0u, 0u, 0u})
        Append32(Root.Value, Word);

    VersionNode Table{Ascii16(StringTableKey), VersionValueText, {}, {}};
    for (const auto& [Key, Text] : Version.Strings) {
        VersionNode String{Ascii16(Key), VersionValueText, {}, {}};
        for (char16_t Ch : Text) Append16(String.Value, Ch);
        Append16(String.Value, 0);
        Table.Children.push_back(String);
    }
    VersionNode Translation{u"Translation", VersionValueBinary, {}, {}};
    Append16(Translation.Value, DefaultLanguage);
    Append16(Translation.Value, UnicodeCodePage);
    Root.Children = {{u"StringFileInfo", VersionValueText, {}, {Table}},
                     {u"VarFileInfo", VersionValueText, {}, {Translation}}};
    std::vector<uint8_t> Out;
    WriteVersionNode(Out, Root);
    return Out;
}

bool CodePageToUtf16(const std::string& Text, int CodePage, std::u16string& Out)
{
    Out.clear();
    bool Ascii = std::all_of(Text.begin(), Text.end(), [](char Ch) { return (unsigned char)Ch < 0x80; });
    if (Ascii) {
        Out = Ascii16(Text);
        return true;
    }
    const int Utf8CodePage = 65001;
    std::string From = CodePage == Utf8CodePage ? "UTF-8" : "CP" + std::to_string(CodePage);
    iconv_t Converter = iconv_open("UTF-16LE", From.c_str());
    if (Converter == (iconv_t)-1) return false;
    std::vector<char> Input(Text.begin(), Text.end());
    std::vector<char> Output(Text.size() * 4 + 4);
    char* In = Input.data();
    char* Result = Output.data();
    size_t InLeft = Input.size(), OutLeft = Output.size();
    size_t Done = iconv(Converter, &In, &InLeft, &Result, &OutLeft);
    iconv_close(Converter);
    if (Done == (size_t)-1 || InLeft != 0) return false;
    size_t Bytes = Output.size() - OutLeft;
    for (size_t I = 0; I + 1 < Bytes; I += 2)
        Out += (char16_t)((unsigned char)Output[I] | (unsigned char)Output[I + 1] << 8);
    return true;
}

} // namespace PackBuild
