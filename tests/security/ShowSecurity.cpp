// tarn-show-security: prints the owner and access list of files and
// folders as Windows programs read them back, one line per path:
//   PATH owner=SID dacl=LIST      (both in SDDL, the security descriptor
//                                  string format; "-" when unreadable)
// For the end-to-end tests of the setup's temporary folder.
#include <windows.h>
#include <sddl.h>

#include <stdio.h>
#include <string.h>

int main(int ArgCount, char** Args)
{
    int Failed = 0;
    for (int I = 1; I < ArgCount; ++I) {
        const SECURITY_INFORMATION What = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
        static char Buffer[65536];
        DWORD Needed = 0;
        char* Text = nullptr;
        if (!GetFileSecurityA(Args[I], What, Buffer, sizeof(Buffer), &Needed) ||
            !ConvertSecurityDescriptorToStringSecurityDescriptorA(Buffer, SDDL_REVISION_1, What, &Text, nullptr)) {
            printf("%s owner=- dacl=- (error %lu)\n", Args[I], GetLastError());
            Failed = 1;
            continue;
        }
        // "O:owner" then "D:list"
        const char* List = strstr(Text, "D:");
        printf("%s owner=%.*s dacl=%s\n", Args[I], List ? (int)(List - Text - 2) : 0, Text + 2, List ? List + 2 : "-");
        LocalFree(Text);
    }
    return Failed;
}
