// The texts of the event log and the handlers that write them.
#pragma once
#include <windows.h>
#include <stdint.h>

#define EVENT_TEXT_CHARS 64

extern const wchar_t START_TEXT[];
extern const wchar_t EXIT_TEXT[];
extern const wchar_t* const SessionStateLabels[10];

// The last suspend or resume code received, logged or not (0 before the
// first). A machine that both broadcasts and notifies the registration may
// report each transition twice; this tells the second report from a new one.
struct PowerEventMemory {
    WPARAM lastSuspendResume;
};
extern PowerEventMemory PowerEvents;

enum SessionQueryResult {
    SESSION_QUERY_NO_CONSOLE,  // no session attached to the console
    SESSION_QUERY_FAILED,
    SESSION_QUERY_OK,
};

// Each returns the text to log: a fixed text, or one formed in eventText.
const wchar_t* ChooseSessionEndText(WPARAM wParam, LPARAM lParam);
const wchar_t* ChoosePowerEventText(WPARAM wParam, wchar_t* eventText, size_t capacity);
// A suspend while the last was a suspend, or the same resume code again with
// no suspend between, repeats a transition already received. Other codes never do.
bool IsRepeatedPowerEvent(const PowerEventMemory& memory, WPARAM code);
// The memory once code is received: other codes leave it as it was.
PowerEventMemory RememberPowerEvent(PowerEventMemory memory, WPARAM code);
const wchar_t* ChooseSessionChangeText(WPARAM wParam, wchar_t* eventText, size_t capacity);
const wchar_t* SessionStateLabel(int32_t state);
const wchar_t* ChooseSessionStateText(SessionQueryResult result, int32_t state, wchar_t* eventText, size_t capacity);

void LogSessionEnd(WPARAM wParam, LPARAM lParam);
void LogPowerEvent(WPARAM wParam);
void LogSessionChange(WPARAM wParam);
void ReportSessionState();
