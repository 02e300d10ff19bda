// A stand-in for a Windows command in the installation test (copied over C:\windows\system32\icacls.exe
// in a throw-away Wine prefix): it does nothing but append its command line, one line a call, to the
// file of its own path followed by ".journal", and ends with 0. The test then judges the commands an
// installer ran (Wine's own icacls neither keeps nor enforces the rights it is given).
// Win32 only and linked statically: it runs from system32, where no C++ runtime DLL is.
#include <windows.h>

int main()
{
    wchar_t journal[MAX_PATH + 16];
    const DWORD n = GetModuleFileNameW(nullptr, journal, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 1;
    lstrcpyW(journal + n, L".journal");
    HANDLE f = CreateFileW(journal, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 1;
    const wchar_t *ligne = GetCommandLineW();
    const int taille = WideCharToMultiByte(CP_UTF8, 0, ligne, -1, nullptr, 0, nullptr, nullptr);
    char *utf8 = static_cast<char *>(HeapAlloc(GetProcessHeap(), 0, DWORD(taille) + 1));
    if (!utf8)
        return 1;
    WideCharToMultiByte(CP_UTF8, 0, ligne, -1, utf8, taille, nullptr, nullptr);
    utf8[taille - 1] = '\n'; // in place of the final NUL
    DWORD ecrits = 0;
    const bool ok = WriteFile(f, utf8, DWORD(taille), &ecrits, nullptr) && ecrits == DWORD(taille);
    CloseHandle(f);
    return ok ? 0 : 1;
}
