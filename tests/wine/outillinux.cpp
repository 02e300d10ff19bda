// A Linux program for the Windows tests under Wine: copied as <name>.exe (zbarimg.exe, openssl.exe,
// orvane-emcf-sim.exe...), it runs scripts/outil-linux with that name and its own arguments.
// Wine starts a Linux program from a Windows one, but the process handle it returns is signalled at
// once and carries no exit code. This relay gives the test a real process instead: it ends when the
// Linux program has ended, with its exit code (written by the script to the file ORVANE_CODE_SORTIE
// names). Wine hands the Linux program the terminal Wine itself was started on, not the pipes the test
// gave the relay: the program writes to two files instead, which the relay copies to its own output
// as they grow. A relay the test kills leaves its Linux program running: scripts/test-windows ends
// those with the run.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>

namespace {

struct Flux
{
    HANDLE source;
    HANDLE cible;
};

// Copies what was added to the file since the last call; true when there was something.
bool recopier(Flux &f)
{
    char tampon[8192];
    DWORD lus = 0;
    bool copie = false;
    while (f.source != INVALID_HANDLE_VALUE && ReadFile(f.source, tampon, sizeof tampon, &lus, nullptr) && lus > 0) {
        DWORD ecrits = 0;
        WriteFile(f.cible, tampon, lus, &ecrits, nullptr);
        copie = true;
    }
    return copie;
}

// The command line after the program's own name, as it was given.
const wchar_t *resteLigne(const wchar_t *ligne)
{
    bool guillemets = false;
    for (; *ligne; ++ligne) {
        if (*ligne == L'"')
            guillemets = !guillemets;
        else if ((*ligne == L' ' || *ligne == L'\t') && !guillemets)
            break;
    }
    while (*ligne == L' ' || *ligne == L'\t')
        ++ligne;
    return ligne;
}

} // namespace

int main()
{
    wchar_t script[MAX_PATH];
    if (!GetEnvironmentVariableW(L"ORVANE_OUTIL_LINUX", script, MAX_PATH)) {
        std::fprintf(stderr, "outil-linux: ORVANE_OUTIL_LINUX manquant\n");
        return 127;
    }
    wchar_t moi[MAX_PATH];
    GetModuleFileNameW(nullptr, moi, MAX_PATH);
    std::wstring nom = moi;
    nom = nom.substr(nom.find_last_of(L"\\/") + 1);
    if (nom.size() > 4 && _wcsicmp(nom.c_str() + nom.size() - 4, L".exe") == 0)
        nom.resize(nom.size() - 4);

    // The exit code and the output come back through files, named to the script by their Linux paths.
    using NomUnix = char *(CDECL *)(LPCWSTR);
    const auto nomUnix = reinterpret_cast<NomUnix>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    wchar_t dossier[MAX_PATH];
    wchar_t fichierCode[MAX_PATH];
    wchar_t fichierSortie[MAX_PATH];
    wchar_t fichierErreur[MAX_PATH];
    if (!nomUnix || !GetTempPathW(MAX_PATH, dossier) || !GetTempFileNameW(dossier, L"oc", 0, fichierCode) ||
        !GetTempFileNameW(dossier, L"os", 0, fichierSortie) || !GetTempFileNameW(dossier, L"oe", 0, fichierErreur)) {
        std::fprintf(stderr, "outil-linux: pas sous Wine\n");
        return 127;
    }
    const std::pair<const char *, const wchar_t *> fichiers[] = {
        {"ORVANE_CODE_SORTIE", fichierCode}, {"ORVANE_SORTIE", fichierSortie}, {"ORVANE_ERREUR", fichierErreur}};
    for (const auto &f : fichiers) {
        char *unix = nomUnix(f.second);
        SetEnvironmentVariableA(f.first, unix);
        HeapFree(GetProcessHeap(), 0, unix);
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring ligne = L"\"" + std::wstring(script) + L"\" " + nom + L" " + resteLigne(GetCommandLineW());
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &ligne[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "outil-linux: lancement impossible (%lu)\n", GetLastError());
        return 127;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // The script fills the code's file (written aside, then renamed over it) once the program has
    // ended; until then, what the program wrote is copied as it comes.
    const DWORD partage = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    Flux flux[] = {{CreateFileW(fichierSortie, GENERIC_READ, partage, nullptr, OPEN_EXISTING, 0, nullptr),
                    GetStdHandle(STD_OUTPUT_HANDLE)},
                   {CreateFileW(fichierErreur, GENERIC_READ, partage, nullptr, OPEN_EXISTING, 0, nullptr),
                    GetStdHandle(STD_ERROR_HANDLE)}};
    for (;;) {
        WIN32_FILE_ATTRIBUTE_DATA infos;
        const bool fini =
            GetFileAttributesExW(fichierCode, GetFileExInfoStandard, &infos) && infos.nFileSizeLow > 0;
        bool copie = false;
        for (Flux &f : flux)
            copie = recopier(f) || copie;
        if (fini) {
            for (Flux &f : flux)
                recopier(f);
            break;
        }
        if (!copie)
            Sleep(10);
    }
    for (Flux &f : flux)
        CloseHandle(f.source);
    DeleteFileW(fichierSortie);
    DeleteFileW(fichierErreur);

    int code = 127;
    if (FILE *f = _wfopen(fichierCode, L"r")) {
        if (std::fscanf(f, "%d", &code) != 1)
            code = 127;
        std::fclose(f);
    }
    DeleteFileW(fichierCode);
    return code;
}
