#include "problem_words.h"

static const char* DescribeFileErrorInJapanese(FileError error, FileAction action)
{
    bool folder = action == FileAction::List;
    switch (error) {
    case FileError::None: return "読めました";
    case FileError::NotFound: return folder ? "フォルダーがありません" : "ファイルがありません";
    case FileError::Denied: return folder ? "フォルダーを開く権限がありません" : "ファイルを開く権限がありません";
    case FileError::NotAFile: return "ファイルではありません（パイプ、デバイス、フォルダー、切れたリンク）。読みませんでした";
    case FileError::TooLarge: return "64 MiB を超え、日ごとのログより大きいため読みませんでした";
    case FileError::IsFolder: return "フォルダーです";
    case FileError::Exists:
    case FileError::Other: break;
    }
    switch (action) {
    case FileAction::Read: break;
    case FileAction::List: return "フォルダーの中を一覧できません";
    case FileAction::Create: return "作れません";
    case FileAction::Write: return "書き込めません";
    case FileAction::Replace: return "置き換えられません";
    }
    return "読めません";
}

std::string DescribeProblemInJapanese(const Problem& problem)
{
    std::string more = std::to_string(problem.more);
    switch (problem.kind) {
    case ProblemKind::FileError: return DescribeFileErrorInJapanese(problem.error, problem.action);
    case ProblemKind::NotLogLine:
        if (problem.more) return "この行を含めて、あと " + more + " 行が読めない行です。数えていません";
        return "読めない行です（「YYYY/MM/DD HH:MM:SS - 内容」の形ではありません）。数えていません";
    case ProblemKind::FarDated:
        if (problem.more) return "この行を含めて、あと " + more + " 行がファイルの日付から 1 日以上離れた日時の行です。数えていません";
        return "ファイルの日付から 1 日以上離れた日時の行です。数えていません";
    case ProblemKind::TornLine: return "最後の行が途中で切れています（行末がありません）。数えていません";
    case ProblemKind::ClockSetBack: return "前の行より前の時刻です（時計が戻されました）。同じ時刻として数えました";
    case ProblemKind::NoSuchDate: return "名前の日付が存在しない日です。読みませんでした";
    case ProblemKind::NotDailyFile: return "日ごとのログファイル（YYYYMMDD.txt、実在の日付）ではありません";
    case ProblemKind::NoDailyFiles: return "日ごとのログファイル（<ユーザー>_log/YYYYMMDD.txt）が見つかりません";
    case ProblemKind::InputRow: return problem.message;
    }
    return "読めません";
}
