#include <string>
#include <vector>

#include "civil_time.h"
#include "night_time.h"
#include "page.h"

static const int64_t LABEL_EVERY_S = 3 * 3600;

// A share of the day as a percentage with three decimals, for CSS positions.
static std::string FormatPercentOfDay(int64_t seconds)
{
    int64_t thousandths = seconds * 100000 / SECONDS_PER_DAY;
    std::string fraction = std::to_string(thousandths % 1000);
    return std::to_string(thousandths / 1000) + "." + std::string(3 - fraction.size(), '0') + fraction + "%";
}

// Where a time of day falls on a bar that begins at the day start.
static int64_t OnBar(int64_t timeOfDayS, CivilSeconds dayStartS)
{
    return ((timeOfDayS - dayStartS) % SECONDS_PER_DAY + SECONDS_PER_DAY) % SECONDS_PER_DAY;
}

// A line of the given width at each position, as gradient stops.
static std::string LinesGradient(const std::vector<int64_t>& at, const char* colour, int widthPx)
{
    std::string stops;
    for (int64_t x : at) {
        std::string p = FormatPercentOfDay(x), q = "calc(" + p + " + " + std::to_string(widthPx) + "px)";
        stops += std::string(stops.empty() ? "" : ",") + "transparent " + p + "," + colour + " " + p + "," + colour +
                 " " + q + ",transparent " + q;
    }
    return "linear-gradient(to right," + stops + ")";
}

std::string DayStartClass(CivilSeconds dayStartS) { return "ds" + std::to_string(dayStartS); }

void AppendAxisStyle(OutputSink& out, CivilSeconds dayStartS)
{
    // The night, 22:00 to 5:00, as one or two stretches of the bar.
    int64_t begin = OnBar(NIGHT_BEGINS_S, dayStartS), end = OnBar(NIGHT_ENDS_S, dayStartS);
    std::string night = begin < end ? "transparent " + FormatPercentOfDay(begin) + ",var(--night) " +
                                          FormatPercentOfDay(begin) + " " + FormatPercentOfDay(end) +
                                          ",transparent " + FormatPercentOfDay(end)
                                    : "var(--night) " + FormatPercentOfDay(end) + ",transparent " +
                                          FormatPercentOfDay(end) + " " + FormatPercentOfDay(begin) +
                                          ",var(--night) " + FormatPercentOfDay(begin);
    std::vector<int64_t> hours;
    for (int64_t x = OnBar(0, dayStartS) % 3600; x < SECONDS_PER_DAY; x += 3600)
        if (x != 0) hours.push_back(x);
    std::string scope = "." + DayStartClass(dayStartS) + " ";
    out += scope + ".bar, " + scope + ".hours { background: linear-gradient(to right," + night + "), #f7f7f7; }\n";
    out += scope + ".line::after { background: " + LinesGradient({begin, end}, "var(--night-edge)", 2) + "," +
           LinesGradient(hours, "rgba(0,0,0,.14)", 1) + "; }\n";
}

// Hour labels over the bars, counted like the table's times, with the night's edges named.
void AppendAxisLabels(OutputSink& out, CivilSeconds dayStartS)
{
    auto label = [&](int64_t x, const std::string& cssClass, const std::string& text) {
        out += "<span" + cssClass + " style=\"left:" + FormatPercentOfDay(x) + "\">" + text + "</span>";
    };
    out += "<div class=\"hours\">";
    int64_t firstLabel = (LABEL_EVERY_S - dayStartS % LABEL_EVERY_S) % LABEL_EVERY_S;
    for (int64_t x = firstLabel; x <= SECONDS_PER_DAY; x += LABEL_EVERY_S)
        label(x, "", std::to_string((dayStartS + x) / 3600));
    for (int64_t edge : {NIGHT_ENDS_S, NIGHT_BEGINS_S}) {
        int64_t x = OnBar(edge, dayStartS);
        label(x, " class=\"edge\"", std::to_string((dayStartS + x) / 3600) + ":00");
    }
    out += "</div>";
}
