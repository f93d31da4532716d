#include "log/log_events.h"


#include "app/session_api.h"
#include "log/format_bounded.h"
#include "log/log_file.h"

const wchar_t START_TEXT[] = L"StillSentinelが起動しました。";
const wchar_t EXIT_TEXT[] = L"StillSentinelが終了しました。";

const wchar_t* const SessionStateLabels[10] = {
    L"アクティブ", L"接続済み", L"接続問い合わせ中", L"シャドウ", L"切断済み",
    L"アイドル", L"待機中", L"リセット中", L"ダウン", L"初期化中",
};

const wchar_t* ChooseSessionEndText(WPARAM wParam, LPARAM lParam)
{
    if (wParam == 0) return L"セッション終了がキャンセルされました。";
    if ((uint32_t)lParam & 0x80000000u) return L"セッション終了（ログオフ）開始。";
    return L"セッション終了（シャットダウン／再起動）開始。";
}

const wchar_t* ChoosePowerEventText(WPARAM wParam, wchar_t* eventText, size_t capacity)
{
    switch (wParam) {
    case 4: return L"システムがサスペンド状態に入りました。";
    case 6: return L"システムがクリティカル復帰しました。";
    case 7: return L"システムがサスペンドから復帰しました。";
    }
    FormatBounded(eventText, capacity, L"電源イベント：%u", (unsigned)(uint32_t)wParam);
    return eventText;
}

const wchar_t* ChooseSessionChangeText(WPARAM wParam, wchar_t* eventText, size_t capacity)
{
    switch (wParam) {
    case 5: return L"ユーザーがログオンしました。";
    case 6: return L"ユーザーがログオフしました。";
    case 7: return L"ワークステーションがロックされました。";
    case 8: return L"ワークステーションのロックが解除されました。";
    }
    FormatBounded(eventText, capacity, L"セッション変更イベント：%u", (unsigned)(uint32_t)wParam);
    return eventText;
}

const wchar_t* SessionStateLabel(int32_t state)
{
    if ((uint32_t)state < ARRAYSIZE(SessionStateLabels)) return SessionStateLabels[state];
    return L"不明";
}

const wchar_t* ChooseSessionStateText(SessionQueryResult result, int32_t state, wchar_t* eventText, size_t capacity)
{
    if (result == SESSION_QUERY_NO_CONSOLE) return L"アクティブなセッションがありません。";
    if (result == SESSION_QUERY_FAILED) return L"セッション状態の取得に失敗しました。";
    FormatBounded(eventText, capacity, L"セッション状態: %s", SessionStateLabel(state));
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
