// The per-user log folder and the one writer of time-stamped lines.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "app/settings.h"

#define LOG_LINE_CHARS 512
// Room for a 511-character line with every LF widened to CR LF, in UTF-8,
// behind a byte-order mark.
#define LOG_BYTES_MAX 3200

struct LogTime {
    int year, month, day, hour, minute, second;
};

enum LogEncoding {
    LOG_ENCODING_UTF8_WITH_MARK,  // new or empty file
    LOG_ENCODING_UTF8,
    LOG_ENCODING_UTF16LE,
    LOG_ENCODING_REFUSED,         // big-endian UTF-16: never appended to
};

extern wchar_t LogFolderPath[PATH_CHARS];

int32_t FormatDailyFilePath(wchar_t* out, size_t capacity, const wchar_t* folder, const LogTime& t);
int32_t FormatLogLine(wchar_t* out, size_t capacity, const LogTime& t, const wchar_t* text);

// How a line is appended to a file of fileSize bytes beginning with
// firstBytes (firstCount of them, up to 3); readable is false when the file
// could be opened for writing only.
LogEncoding ChooseLogEncoding(uint64_t fileSize, const unsigned char* firstBytes, size_t firstCount, bool readable);
// The bytes to append for line: LF becomes CR LF, plus the mark when asked.
// Returns the byte count, 0 when it cannot be encoded whole.
size_t EncodeLogLine(const wchar_t* line, LogEncoding encoding, unsigned char* out, size_t capacity);

enum AppendResult {
    APPEND_WRITTEN,
    APPEND_FAILED,
    APPEND_NO_FOLDER,  // the file could not be opened: its folder is not there
};

// Appends one composed line to a daily file, whole or not at all.
AppendResult AppendLineToFile(const wchar_t* path, const wchar_t* line);

bool EnsureLogFolder();
void WriteLogLine(const wchar_t* text);
