// tarn-resource-probe FILE: what Windows itself reads of a setup's own
// resources (tests/e2e/windows_resources.sh): its version information through
// GetFileVersionInfo and VerQueryValue, and its icon through ExtractIcon and,
// at each size, LoadImage from the file loaded as data. One line each:
//   version 2.5.1.0
//   text ProductName "Demo Suite"        (every text of the first translation)
//   extract-icon yes|no
//   icon 48 48x48 centre #RRGGBB         (or "icon 48 none")
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* Text)
{
    int Size = WideCharToMultiByte(CP_UTF8, 0, Text, -1, nullptr, 0, nullptr, nullptr);
    std::string Out(Size > 0 ? Size - 1 : 0, '\0');
    if (Size > 1) WideCharToMultiByte(CP_UTF8, 0, Text, -1, &Out[0], Size, nullptr, nullptr);
    return Out;
}

void PrintVersion(const wchar_t* File)
{
    DWORD Ignored = 0;
    DWORD Size = GetFileVersionInfoSizeW(File, &Ignored);
    std::vector<BYTE> Block(Size);
    if (Size == 0 || !GetFileVersionInfoW(File, 0, Size, Block.data())) {
        printf("version none\n");
        return;
    }
    VS_FIXEDFILEINFO* Fixed = nullptr;
    UINT Length = 0;
    if (VerQueryValueW(Block.data(), L"\\", (void**)&Fixed, &Length) && Fixed)
        printf("version %u.%u.%u.%u\n", (unsigned)HIWORD(Fixed->dwFileVersionMS),
               (unsigned)LOWORD(Fixed->dwFileVersionMS), (unsigned)HIWORD(Fixed->dwFileVersionLS),
               (unsigned)LOWORD(Fixed->dwFileVersionLS));
    WORD* Translation = nullptr;
    if (!VerQueryValueW(Block.data(), L"\\VarFileInfo\\Translation", (void**)&Translation, &Length) || Length < 4) {
        printf("translation none\n");
        return;
    }
    const wchar_t* Keys[] = {L"CompanyName",      L"FileDescription", L"FileVersion",   L"LegalCopyright",
                             L"OriginalFilename", L"ProductName",     L"ProductVersion"};
    for (const wchar_t* Key : Keys) {
        wchar_t Path[128];
        swprintf(Path, 128, L"\\StringFileInfo\\%04x%04x\\%ls", Translation[0], Translation[1], Key);
        wchar_t* Value = nullptr;
        if (VerQueryValueW(Block.data(), Path, (void**)&Value, &Length) && Value)
            printf("text %s \"%s\"\n", Utf8(Key).c_str(), Utf8(Value).c_str());
    }
}

void PrintIcons(const wchar_t* File)
{
    HICON Extracted = ExtractIconW(GetModuleHandleW(nullptr), File, 0);
    printf("extract-icon %s\n", Extracted && Extracted != (HICON)1 ? "yes" : "no");
    if (Extracted && Extracted != (HICON)1) DestroyIcon(Extracted);
    HMODULE Module = LoadLibraryExW(File, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    for (int Size : {16, 32, 48, 256}) {
        HICON Icon = Module ? (HICON)LoadImageW(Module, L"MAINICON", IMAGE_ICON, Size, Size, 0) : nullptr;
        ICONINFO Info = {};
        BITMAP Bitmap = {};
        if (!Icon || !GetIconInfo(Icon, &Info) || !GetObjectW(Info.hbmColor, sizeof Bitmap, &Bitmap)) {
            printf("icon %d none\n", Size);
            continue;
        }
        // The centre pixel, through a 32-bit copy of the colour bitmap.
        BITMAPINFO Header = {};
        Header.bmiHeader.biSize = sizeof Header.bmiHeader;
        Header.bmiHeader.biWidth = Bitmap.bmWidth;
        Header.bmiHeader.biHeight = -Bitmap.bmHeight;
        Header.bmiHeader.biPlanes = 1;
        Header.bmiHeader.biBitCount = 32;
        std::vector<DWORD> Pixels((size_t)Bitmap.bmWidth * Bitmap.bmHeight);
        HDC DC = GetDC(nullptr);
        GetDIBits(DC, Info.hbmColor, 0, Bitmap.bmHeight, Pixels.data(), &Header, DIB_RGB_COLORS);
        ReleaseDC(nullptr, DC);
        DWORD Centre = Pixels[(size_t)(Bitmap.bmHeight / 2) * Bitmap.bmWidth + Bitmap.bmWidth / 2];
        printf("icon %d %ldx%ld centre #%06lX\n", Size, Bitmap.bmWidth, Bitmap.bmHeight, Centre & 0xFFFFFF);
        DeleteObject(Info.hbmColor);
        DeleteObject(Info.hbmMask);
        DestroyIcon(Icon);
    }
    if (Module) FreeLibrary(Module);
}

} // namespace

int wmain(int ArgCount, wchar_t** Args)
{
    if (ArgCount != 2) {
        fprintf(stderr, "usage: tarn-resource-probe FILE\n");
        return 2;
    }
    PrintVersion(Args[1]);
    PrintIcons(Args[1]);
    return 0;
}
