#include "ui/startup_shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "app/settings.h"
#include "log/format_bounded.h"

static const size_t TARGET_CHARS = 1024;

bool GetStartupShortcutPath(wchar_t* path, size_t capacity)
{
    wchar_t folder[PATH_CHARS];
    path[0] = L'\0';
    folder[0] = L'\0';
    if (!SHGetSpecialFolderPathW(NULL, folder, CSIDL_STARTUP, FALSE) || !folder[0]) return false;
    if (FormatBounded(path, capacity, L"%s\\StillSentinel.lnk", folder) < 0) {
        path[0] = L'\0';
        return false;
    }
    return true;
}

int CreateStartupShortcut(const wchar_t* arguments)
{
    wchar_t target[TARGET_CHARS];
    wchar_t workingDir[PATH_CHARS];
    wchar_t shortcut[PATH_CHARS];
    // Paths cut short by the platform would point the shortcut elsewhere.
    if (!GetExecutablePath(target, ARRAYSIZE(target))) return 0;
    if (!GetExecutablePath(workingDir, ARRAYSIZE(workingDir))) return 0;
    if (!PathRemoveFileSpecW(workingDir)) return 0;
    if (!GetStartupShortcutPath(shortcut, ARRAYSIZE(shortcut))) return 0;

    CoInitialize(NULL);
    int saved = 0;
    IShellLinkW* link = NULL;
    IPersistFile* file = NULL;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link)) &&
        link->QueryInterface(IID_IPersistFile, (void**)&file) == S_OK &&
        link->SetPath(target) == S_OK) {
        if (arguments[0]) link->SetArguments(arguments);
        link->SetShowCmd(SW_SHOW);
        link->SetWorkingDirectory(workingDir);
        link->SetIconLocation(target, 0);
        link->SetHotkey(0);
        link->SetDescription(L"");
        saved = file->Save(shortcut, TRUE) == S_OK ? 1 : 0;
    }
    if (file) file->Release();
    if (link) link->Release();
    CoUninitialize();
    return saved;
}
