// Every text of the event log, in UTF-8, defined once for the two programs
// that need them: the tray program writes them (widened with EVENT_WIDE) and
// the report reads them. A text changed here changes in both.
#pragma once

#define EVENT_TEXT_START "StillSentinelが起動しました。"
#define EVENT_TEXT_EXIT "StillSentinelが終了しました。"

#define EVENT_TEXT_END_LOGOFF "セッション終了（ログオフ）開始。"
#define EVENT_TEXT_END_SHUTDOWN "セッション終了（シャットダウン／再起動）開始。"
#define EVENT_TEXT_END_CANCELLED "セッション終了がキャンセルされました。"

#define EVENT_TEXT_SUSPEND "システムがサスペンド状態に入りました。"
#define EVENT_TEXT_RESUME_CRITICAL "システムがクリティカル復帰しました。"
#define EVENT_TEXT_RESUME "システムがサスペンドから復帰しました。"
// Followed directly by the power event's code in decimal.
#define EVENT_PREFIX_POWER "電源イベント："

#define EVENT_TEXT_LOGON "ユーザーがログオンしました。"
#define EVENT_TEXT_LOGOFF "ユーザーがログオフしました。"
#define EVENT_TEXT_LOCK "ワークステーションがロックされました。"
#define EVENT_TEXT_UNLOCK "ワークステーションのロックが解除されました。"
// Followed directly by the session change's code in decimal.
#define EVENT_PREFIX_SESSION_CHANGE "セッション変更イベント："

#define EVENT_TEXT_NO_SESSION "アクティブなセッションがありません。"
#define EVENT_TEXT_STATE_FAILED "セッション状態の取得に失敗しました。"
// Followed by one of the labels below.
#define EVENT_PREFIX_SESSION_STATE "セッション状態: "

// The console session's connect states 0 to 9, then the label of any other.
#define EVENT_STATE_LABELS \
    "アクティブ", "接続済み", "接続問い合わせ中", "シャドウ", "切断済み", \
    "アイドル", "待機中", "リセット中", "ダウン", "初期化中"
#define EVENT_STATE_UNKNOWN "不明"

// The power codes the report reads as a wake-up: automatic resume.
#define EVENT_POWER_RESUME_AUTOMATIC 18

#define EVENT_WIDE_(text) L##text
#define EVENT_WIDE(text) EVENT_WIDE_(text)
