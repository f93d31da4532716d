// Stands for a wtsapi32.dll dropped beside the exe by someone else: when any
// process loads it, it leaves a marker file next to itself.
#include <windows.h>

static void LeaveMarker(HMODULE self)
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH - 16) return;
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash) return;
    lstrcpyW(slash + 1, L"PLANTED_DLL_LOADED");
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) LeaveMarker(self);
    return TRUE;
}

extern "C" {
BOOL WINAPI PlantedRegister(HWND, DWORD) { return TRUE; }
BOOL WINAPI PlantedUnregister(HWND) { return TRUE; }
BOOL WINAPI PlantedQuery(HANDLE, DWORD, int, LPWSTR*, DWORD*) { return FALSE; }
void WINAPI PlantedFree(PVOID) {}
}
