#include "app/session_api.h"

static SessionApi Api;
static bool ApiLoaded;

template <typename Fn>
static void Bind(HMODULE module, const char* name, Fn* slot)
{
    *slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const SessionApi& GetSessionApi()
{
    if (!ApiLoaded) {
        ApiLoaded = true;
        HMODULE module = LoadLibraryExW(L"wtsapi32.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module) {
            Bind(module, "WTSRegisterSessionNotification", &Api.registerNotification);
            Bind(module, "WTSUnRegisterSessionNotification", &Api.unregisterNotification);
            // The query and its release only make sense as a pair.
            Bind(module, "WTSQuerySessionInformationW", &Api.querySessionInformation);
            Bind(module, "WTSFreeMemory", &Api.freeMemory);
            if (!Api.querySessionInformation || !Api.freeMemory) {
                Api.querySessionInformation = NULL;
                Api.freeMemory = NULL;
            }
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
            Bind(module, "RegisterSuspendResumeNotification", &PowerApi.registerSuspendResume);
            Bind(module, "UnregisterSuspendResumeNotification", &PowerApi.unregisterSuspendResume);
            if (!PowerApi.registerSuspendResume || !PowerApi.unregisterSuspendResume) {
                PowerApi.registerSuspendResume = NULL;
                PowerApi.unregisterSuspendResume = NULL;
            }
        }
    }
    return PowerApi;
}
