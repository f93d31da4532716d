#include <gtest/gtest.h>

#include <string>

#include "log/log_events.h"

namespace {

std::wstring Power(WPARAM code)
{
    wchar_t text[EVENT_TEXT_CHARS];
    return ChoosePowerEventText(code, text, ARRAYSIZE(text));
}

std::wstring Change(WPARAM code)
{
    wchar_t text[EVENT_TEXT_CHARS];
    return ChooseSessionChangeText(code, text, ARRAYSIZE(text));
}

std::wstring State(SessionQueryResult result, int32_t state)
{
    wchar_t text[EVENT_TEXT_CHARS];
    return ChooseSessionStateText(result, state, text, ARRAYSIZE(text));
}

}  // namespace

TEST(EventCatalogue, StartAndExit)
{
    EXPECT_STREQ(START_TEXT, L"StillSentinelが起動しました。");
    EXPECT_STREQ(EXIT_TEXT, L"StillSentinelが終了しました。");
}

TEST(EventCatalogue, SessionEndIsChosenFromWParamAndBit31)
{
    struct Row {
        WPARAM wParam;
        uint32_t lParam;
        const wchar_t* text;
    };
    const wchar_t* logoff = L"セッション終了（ログオフ）開始。";
    const wchar_t* shutdown = L"セッション終了（シャットダウン／再起動）開始。";
    const wchar_t* cancelled = L"セッション終了がキャンセルされました。";
    const Row rows[] = {
        {1, 0x80000000u, logoff}, {1, 0xC0000000u, logoff}, {1, 0xFFFFFFFFu, logoff},
        {1, 0, shutdown},         {1, 0x1, shutdown},       {1, 0x40000000u, shutdown},
        {0, 0, cancelled},        {0, 0x80000000u, cancelled}, {0, 0x1, cancelled},
    };
    for (const Row& r : rows) {
        EXPECT_STREQ(ChooseSessionEndText(r.wParam, (LPARAM)(int32_t)r.lParam), r.text)
            << r.wParam << " " << std::hex << r.lParam;
    }
}

TEST(EventCatalogue, PowerEvents)
{
    struct Row {
        WPARAM code;
        const wchar_t* text;
    };
    const Row rows[] = {
        {4, L"システムがサスペンド状態に入りました。"},
        {6, L"システムがクリティカル復帰しました。"},
        {7, L"システムがサスペンドから復帰しました。"},
        {10, L"電源イベント：10"},
        {18, L"電源イベント：18"},
        {0, L"電源イベント：0"},
        {0xFFFFFFFF, L"電源イベント：4294967295"},
        {(WPARAM)0x100000004ull, L"電源イベント：4"},  // whole wParam compared, low 32 bits printed
    };
    for (const Row& r : rows) EXPECT_EQ(Power(r.code), r.text) << r.code;
}

TEST(EventCatalogue, ASuspendOrResumeReceivedTwiceInARowIsRepeated)
{
    struct Row {
        WPARAM last;  // the last suspend or resume code received, 0 for none
        WPARAM code;
        bool repeated;
        WPARAM remembered;
    };
    const Row rows[] = {
        {0, 4, false, 4},    {4, 4, true, 4},     {7, 4, false, 4},    {18, 4, false, 4},   {6, 4, false, 4},
        {0, 7, false, 7},    {4, 18, false, 18},  {18, 18, true, 18},  {18, 7, false, 7},   {7, 7, true, 7},
        {4, 6, false, 6},    {6, 6, true, 6},     {6, 7, false, 7},    {7, 18, false, 18},
        // Every other code is an event of its own each time, and leaves the memory alone.
        {4, 10, false, 4},   {7, 10, false, 7},   {0, 10, false, 0},   {18, 0x8013, false, 18},
        {4, 0, false, 4},    {4, (WPARAM)0x100000004ull, false, 4},  // the whole wParam is compared
    };
    for (const Row& r : rows) {
        PowerEventMemory memory = {r.last};
        EXPECT_EQ(IsRepeatedPowerEvent(memory, r.code), r.repeated) << r.last << " then " << r.code;
        EXPECT_EQ(RememberPowerEvent(memory, r.code).lastSuspendResume, r.remembered) << r.last << " then " << r.code;
    }
}

TEST(EventCatalogue, SessionChanges)
{
    struct Row {
        WPARAM code;
        const wchar_t* text;
    };
    const Row rows[] = {
        {5, L"ユーザーがログオンしました。"},
        {6, L"ユーザーがログオフしました。"},
        {7, L"ワークステーションがロックされました。"},
        {8, L"ワークステーションのロックが解除されました。"},
        {1, L"セッション変更イベント：1"},
        {4, L"セッション変更イベント：4"},
        {0xFFFFFFFF, L"セッション変更イベント：4294967295"},
    };
    for (const Row& r : rows) EXPECT_EQ(Change(r.code), r.text) << r.code;
    EXPECT_EQ(Change(0xFFFFFFFF).size(), 22u) << "the longest formed text fits its buffer";
}

TEST(EventCatalogue, SessionStateReport)
{
    const wchar_t* labels[] = {L"アクティブ", L"接続済み", L"接続問い合わせ中", L"シャドウ", L"切断済み",
                               L"アイドル",   L"待機中",   L"リセット中",       L"ダウン",   L"初期化中"};
    for (int32_t state = 0; state < 10; ++state) {
        EXPECT_EQ(State(SESSION_QUERY_OK, state), std::wstring(L"セッション状態: ") + labels[state]) << state;
    }
    const int32_t unknown[] = {10, -1, 11, INT32_MIN, INT32_MAX};
    for (int32_t state : unknown) EXPECT_EQ(State(SESSION_QUERY_OK, state), L"セッション状態: 不明") << state;
    EXPECT_EQ(State(SESSION_QUERY_NO_CONSOLE, 0), L"アクティブなセッションがありません。");
    EXPECT_EQ(State(SESSION_QUERY_FAILED, 0), L"セッション状態の取得に失敗しました。");
}
