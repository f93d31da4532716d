// The pieces of the report's page, each in its own file; output_html.cpp puts
// them in order: the problem days, the overview, each person's sheet, the
// problems met in the input.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "outputs.h"

// One person's rows (a source's, or a user's when merged): rows[begin, end).
struct PagePerson {
    size_t begin = 0, end = 0;
};
std::vector<PagePerson> FindPeople(const Report& report);

// A table cell as the page spells it: as the CSV does, but dates with their
// weekday and flags in the page's words; "<th>" for a date, "<td>" else.
std::string FormatPageCell(const Cell& cell);

// Who a person is on the page: their name from a users file, else the log folder; escaped.
std::string PersonLabel(const DayRow& row);

// "2026-12-07（月）"
std::string FormatDayLabel(int64_t day);
// The id of a person's section ("p3") and of a day's row in it ("p3-2026-12-07").
std::string PersonAnchor(size_t person);
std::string DayAnchor(size_t person, int64_t day);

// The axis: the page's rules for the night's shade and the hour lines under and
// over every bar of the sheets of one day start (a night-shift worker's own),
// which carry its class ("ds18000"); and the hour labels.
std::string DayStartClass(CivilSeconds dayStartS);
void AppendAxisStyle(OutputSink& out, CivilSeconds dayStartS);
void AppendAxisLabels(OutputSink& out, CivilSeconds dayStartS);

// The colours' key, short enough to repeat at the head of every printed page.
void AppendLegendKeys(OutputSink& out);

void AppendProblemDays(OutputSink& out, const Report& report, const std::vector<PagePerson>& people);
void AppendMonths(OutputSink& out, const Report& report, const std::vector<PagePerson>& people);
void AppendOverview(OutputSink& out, const Report& report, const std::vector<PagePerson>& people);
void AppendPerson(OutputSink& out, const Report& report, const PagePerson& person, size_t index);
