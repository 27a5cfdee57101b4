// Temporary projects for the build tests; see packbuild_fixture.h.
#include "packbuild_fixture.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

TempProject::TempProject()
{
    std::string Template = (fs::temp_directory_path() / "packbuild-test-XXXXXX").string();
    std::vector<char> Name(Template.begin(), Template.end());
    Name.push_back(0);
    if (mkdtemp(Name.data())) Root = Name.data();
}

TempProject::~TempProject()
{
    std::error_code Ignored;
    if (!Root.empty()) fs::remove_all(Root, Ignored);
}

void TempProject::Write(const std::string& RelativePath, const std::string& Content)
{
    WriteBytes(RelativePath, std::vector<uint8_t>(Content.begin(), Content.end()));
}

void TempProject::WriteBytes(const std::string& RelativePath, const std::vector<uint8_t>& Content)
{
    fs::path Target = Root / RelativePath;
    fs::create_directories(Target.parent_path());
    std::ofstream Out(Target, std::ios::binary | std::ios::trunc);
    Out.write((const char*)Content.data(), (std::streamsize)Content.size());
}

void WriteValidProject(TempProject& Project)
{
    Project.Write("Presetup/Tarn.ini", "[Config]\n"
                                       "DefaultInstallPath=%ProgramFiles%\\Demo\n"
                                       "Languages=ENU,RUS\n"
                                       "PreInstallDialogSequence=dlg_welcome,DLG_DIR,DLG_START\n"
                                       "InsFiles=Demo.ins\n"
                                       "[Display]\n"
                                       "GradientBottomColor=$80FF80\n"
                                       "DialogTitleFont=Arial,20,$FF5C5C,B\n"
                                       "[Variables]\n"
                                       "ProgramName=Demo\n");
    Project.Write("Presetup/Tarn.str", "[Strings]\n1=Cancel the installation?\n100=Copying %s to %InstallPath%\n");
    Project.Write("Presetup/Tarn.bmp", "BM picture");
    Project.Write("Presetup/Tarn.dlg", "[DLG_DIR]\n100=Where to?\n[DLG_DIR.RUS]\nTitle=Kuda?\n");
    Project.Write("Presetup/Demo.ins", "[CopyFile]\nMain=%InstallPath%\n"
                                       "[Main]\nDemo.exe=,1.0.0.1\nDoc\\Readme.txt=\n"
                                       "[AddReg]\nKeys=HKCU\\Software\\Demo\n"
                                       "[Keys]\nPath=%InstallPath%\nRuns=#$FF\n");
    Project.Write("Data/Demo.exe", std::string("MZ program ") + std::string(3000, 'x'));
    Project.Write("Data/Doc/Readme.txt", "Read me.\r\n");
}

std::vector<uint8_t> MakeFakeStub(size_t Size)
{
    std::vector<uint8_t> Stub(Size, 0x90);
    Stub[0] = 'M';
    Stub[1] = 'Z';
    return Stub;
}

std::vector<uint8_t> ReadAll(const fs::path& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}
