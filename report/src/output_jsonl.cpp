#include <string>
#include <vector>

#include "civil_time.h"
#include "cp932.h"
#include "outputs.h"

std::string QuoteJsonString(std::string_view text)
{
    static const char HEX[] = "0123456789abcdef";
    std::string valid = MakeValidUtf8(text);
    std::string out;
    out.reserve(valid.size() + 2);
    out += '"';
    for (char c : valid) {
        uint8_t byte = (uint8_t)c;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += HEX[byte >> 4];
                out += HEX[byte & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

// The flags' words are plain ASCII: quoted as they are.
static std::string JsonFlagArray(int64_t flags, const char* const* names, size_t count)
{
    if (flags == 0) return "[]";
    return "[\"" + JoinFlagWords(static_cast<uint32_t>(flags), names, count, "\",\"") + "\"]";
}

static std::string SpellJsonCell(const Cell& cell)
{
    switch (cell.kind) {
    case CELL_TEXT: return QuoteJsonString(cell.text);
    case CELL_MONTH: return QuoteJsonString(FormatMonth(static_cast<int>(cell.value)));
    case CELL_DATE: return QuoteJsonString(FormatDate(cell.value));
    // Real instants here (a day ending at midnight ends at the next date's T00:00:00).
    case CELL_TIME: return QuoteJsonString(FormatIsoTime(cell.value));
    case CELL_DURATION:
    case CELL_COUNT: return std::to_string(cell.value);
    case CELL_CLOCK: return QuoteJsonString(FormatClock(cell.value));
    case CELL_NONE: return "null";
    case CELL_DAY_FLAGS: return JsonFlagArray(cell.value, DayFlagNames, DAY_FLAG_COUNT);
    case CELL_MONTH_FLAGS: return JsonFlagArray(cell.value, MonthFlagNames, MONTH_FLAG_COUNT);
    }
    return "null";
}

void AppendJsonObject(OutputSink& out, const std::vector<ReportColumn>& columns, const std::vector<Cell>& cells)
{
    bool firstMember = true;
    for (size_t i = 0; i < columns.size() && i < cells.size(); ++i) {
        if (columns[i].key == nullptr) continue;
        out += firstMember ? "{\"" : ",\"";
        out += columns[i].key;
        out += "\":";
        out += SpellJsonCell(cells[i]);
        firstMember = false;
    }
    out += "}\n";
}

bool WriteJsonLines(const Report& report, OutputSink& out)
{
    std::vector<ReportColumn> columns = DayColumns(report);
    for (const DayRow& row : report.rows) AppendJsonObject(out, columns, DayCells(report, row));
    return FlushSink(out);
}

std::string FormatJsonLines(const Report& report)
{
    return GatherOutput([&](OutputSink& sink) { WriteJsonLines(report, sink); });
}
