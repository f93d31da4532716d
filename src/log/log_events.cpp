#include "log/log_events.h"

#include "app/session_api.h"
#include "log/event_texts.h"
#include "log/format_bounded.h"
#include "log/log_file.h"

const wchar_t START_TEXT[] = EVENT_WIDE(EVENT_TEXT_START);
const wchar_t EXIT_TEXT[] = EVENT_WIDE(EVENT_TEXT_EXIT);

// Widened one by one: the shared list is of UTF-8 literals.
#define EVENT_WIDE_LABELS(a, b, c, d, e, f, g, h, i, j)                                         \
    EVENT_WIDE(a), EVENT_WIDE(b), EVENT_WIDE(c), EVENT_WIDE(d), EVENT_WIDE(e), EVENT_WIDE(f), \
        EVENT_WIDE(g), EVENT_WIDE(h), EVENT_WIDE(i), EVENT_WIDE(j)
#define EVENT_WIDE_LABEL_LIST(list) EVENT_WIDE_LABELS(list)
const wchar_t* const SessionStateLabels[10] = {EVENT_WIDE_LABEL_LIST(EVENT_STATE_LABELS)};

const wchar_t* ChooseSessionEndText(WPARAM wParam, LPARAM lParam)
{
    if (wParam == 0) return EVENT_WIDE(EVENT_TEXT_END_CANCELLED);
    if ((uint32_t)lParam & ENDSESSION_LOGOFF) return EVENT_WIDE(EVENT_TEXT_END_LOGOFF);
    return EVENT_WIDE(EVENT_TEXT_END_SHUTDOWN);
}

const wchar_t* ChoosePowerEventText(WPARAM wParam, wchar_t* eventText, size_t capacity)
{
    switch (wParam) {
    case PBT_APMSUSPEND: return EVENT_WIDE(EVENT_TEXT_SUSPEND);
    case PBT_APMRESUMECRITICAL: return EVENT_WIDE(EVENT_TEXT_RESUME_CRITICAL);
    case PBT_APMRESUMESUSPEND: return EVENT_WIDE(EVENT_TEXT_RESUME);
    }
    FormatBounded(eventText, capacity, EVENT_WIDE(EVENT_PREFIX_POWER) L"%u", (unsigned)(uint32_t)wParam);
    return eventText;
}

PowerEventMemory PowerEvents;

static bool IsSuspendOrResume(WPARAM code)
{
    return code == PBT_APMSUSPEND || code == PBT_APMRESUMECRITICAL || code == PBT_APMRESUMESUSPEND ||
           code == PBT_APMRESUMEAUTOMATIC;
}

bool IsRepeatedPowerEvent(const PowerEventMemory& memory, WPARAM code)
{
    return IsSuspendOrResume(code) && code == memory.lastSuspendResume;
}

PowerEventMemory RememberPowerEvent(PowerEventMemory memory, WPARAM code)
{
    if (IsSuspendOrResume(code)) memory.lastSuspendResume = code;
    return memory;
}

const wchar_t* ChooseSessionChangeText(WPARAM wParam, wchar_t* eventText, size_t capacity)
{
    switch (wParam) {
    case WTS_SESSION_LOGON: return EVENT_WIDE(EVENT_TEXT_LOGON);
    case WTS_SESSION_LOGOFF: return EVENT_WIDE(EVENT_TEXT_LOGOFF);
    case WTS_SESSION_LOCK: return EVENT_WIDE(EVENT_TEXT_LOCK);
    case WTS_SESSION_UNLOCK: return EVENT_WIDE(EVENT_TEXT_UNLOCK);
    }
    FormatBounded(eventText, capacity, EVENT_WIDE(EVENT_PREFIX_SESSION_CHANGE) L"%u", (unsigned)(uint32_t)wParam);
    return eventText;
}

const wchar_t* SessionStateLabel(int32_t state)
{
    if ((uint32_t)state < ARRAYSIZE(SessionStateLabels)) return SessionStateLabels[state];
    return EVENT_WIDE(EVENT_STATE_UNKNOWN);
}

const wchar_t* ChooseSessionStateText(SessionQueryResult result, int32_t state, wchar_t* eventText, size_t capacity)
{
    if (result == SESSION_QUERY_NO_CONSOLE) return EVENT_WIDE(EVENT_TEXT_NO_SESSION);
    if (result == SESSION_QUERY_FAILED) return EVENT_WIDE(EVENT_TEXT_STATE_FAILED);
    FormatBounded(eventText, capacity, EVENT_WIDE(EVENT_PREFIX_SESSION_STATE) L"%s", SessionStateLabel(state));
    return eventText;
}

void LogSessionEnd(WPARAM wParam, LPARAM lParam)
{
    WriteLogLine(ChooseSessionEndText(wParam, lParam));
}

void LogPowerEvent(WPARAM wParam)
{
    wchar_t eventText[EVENT_TEXT_CHARS];
    WriteLogLine(ChoosePowerEventText(wParam, eventText, ARRAYSIZE(eventText)));
}

void LogSessionChange(WPARAM wParam)
{
    wchar_t eventText[EVENT_TEXT_CHARS];
    WriteLogLine(ChooseSessionChangeText(wParam, eventText, ARRAYSIZE(eventText)));
}

void ReportSessionState()
{
    SessionQueryResult result = SESSION_QUERY_OK;
    int32_t state = 0;
    DWORD session = WTSGetActiveConsoleSessionId();
    if (session == 0xFFFFFFFF) {
        result = SESSION_QUERY_NO_CONSOLE;
    } else {
        const SessionApi& sessions = GetSessionApi();
        LPWSTR buffer = NULL;
        DWORD bytes = 0;
        if (!sessions.querySessionInformation ||
            !sessions.querySessionInformation(WTS_CURRENT_SERVER_HANDLE, session, WTSConnectState, &buffer, &bytes)) {
            result = SESSION_QUERY_FAILED;
        } else {
            // A reply too short to hold a state is not read past its end.
            if (buffer && bytes >= sizeof(state)) memcpy(&state, buffer, sizeof(state));
            else result = SESSION_QUERY_FAILED;
            sessions.freeMemory(buffer);
        }
    }
    wchar_t eventText[EVENT_TEXT_CHARS];
    WriteLogLine(ChooseSessionStateText(result, state, eventText, ARRAYSIZE(eventText)));
}
