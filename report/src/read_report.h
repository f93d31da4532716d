// The report read whole: the logs, the files the options name beside them
// (users, attendance, holidays), and the months.
#pragma once
#include "options.h"
#include "read_logs.h"
#include "sources.h"

// The problems of the files beside the logs follow the logs' own; one that
// cannot be read counts as a log that cannot.
ReadOutcome ReadReport(Discovery discovery, const Options& options, const ProgressFn& progress);
