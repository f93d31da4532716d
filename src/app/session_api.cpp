#include "app/session_api.h"

static SessionApi Api;
static bool ApiLoaded;

template <typename Fn>
static void Bind(HMODULE module, const char* name, Fn* slot)
{
    *slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Two functions that only make sense together: both, or neither.
template <typename First, typename Second>
static void BindPair(HMODULE module, const char* firstName, First* first, const char* secondName, Second* second)
{
    Bind(module, firstName, first);
    Bind(module, secondName, second);
    if (!*first || !*second) {
        *first = NULL;
        *second = NULL;
    }
}

const SessionApi& GetSessionApi()
{
    if (!ApiLoaded) {
        ApiLoaded = true;
        HMODULE module = LoadLibraryExW(L"wtsapi32.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module) {
            Bind(module, "WTSRegisterSessionNotification", &Api.registerNotification);
            Bind(module, "WTSUnRegisterSessionNotification", &Api.unregisterNotification);
            BindPair(module, "WTSQuerySessionInformationW", &Api.querySessionInformation, "WTSFreeMemory",
                     &Api.freeMemory);
        }
    }
    return Api;
}

static PowerNotifyApi PowerApi;
static bool PowerApiLoaded;

const PowerNotifyApi& GetPowerNotifyApi()
{
    if (!PowerApiLoaded) {
        PowerApiLoaded = true;
        // Imported statically, so already loaded: nothing is searched for.
        HMODULE module = GetModuleHandleW(L"user32.dll");
        if (module) {
            BindPair(module, "RegisterSuspendResumeNotification", &PowerApi.registerSuspendResume,
                     "UnregisterSuspendResumeNotification", &PowerApi.unregisterSuspendResume);
        }
    }
    return PowerApi;
}
