// The daily file's bytes as log lines: encodings, damage and the event texts.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "report_model.h"

enum class LineKind : uint8_t {
    Start,
    Exit,
    EndLogoff,       // a session end that was not cancelled
    EndShutdown,
    EndCancelled,
    Suspend,
    Resume,          // either resume text, or power event 18
    PowerOther,
    Logon,
    Logoff,
    Lock,
    Unlock,
    SessionChangeOther,
    SessionState,    // the periodic report, its failure, or no active session
    Unknown,         // well formed, a text we do not know: the program was running
};

struct LogLine {
    CivilSeconds time = 0;
    uint64_t textHash = 0;  // tells identical lines apart from merely simultaneous ones
    uint32_t line = 0;      // 1-based line number in its file
    LineKind kind = LineKind::Unknown;
};

struct FileLines {
    std::vector<LogLine> lines;       // the whole, well-formed lines, in file order
    std::vector<uint32_t> badLines;   // line numbers of lines without the layout
    // Line numbers of lines dated more than a day away from the file's date: a
    // corrupt year or an old line copied in, never used.
    std::vector<uint32_t> farDated;
    uint32_t tornLine = 0;            // the unfinished last line's number, 0 when none
};

// Decodes one daily file (UTF-8 with or without a mark, or UTF-16LE after FF FE;
// CR LF or LF) and parses every line of it. fileDay: the file name's date, in
// days since 1970-01-01.
FileLines ReadLogLines(std::string_view bytes, int64_t fileDay);

// Parses "YYYY/MM/DD HH:MM:SS - text" (UTF-8, no line end). False when the line
// lacks that layout or names a date or time that does not exist.
bool ParseLogLine(std::string_view text, LogLine& out);
LineKind ClassifyEventText(std::string_view text);
