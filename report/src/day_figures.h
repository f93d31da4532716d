// A day's figures from its stretches: what one source's day and a user's union
// of several share.
#pragma once
#include <vector>

#include "report_model.h"

// Appends a stretch to a day's bar in time order, joined to the last one when
// it goes on in the same state.
void AppendInterval(std::vector<Interval>& intervals, const Interval& piece);

// first, last and the sums over [first, last) from the row's intervals; time
// no interval covers is off.
void ComputeFigures(DayRow& row);

// The marks in time order.
void SortMarks(std::vector<Mark>& marks);
