// The files given beside the logs (--holidays, and the like): read through
// the platform, their problems as the logs' are, by file and line.
#pragma once
#include <string>
#include <vector>

#include "attendance.h"
#include "company_holidays.h"
#include "people.h"
#include "csv_reader.h"
#include "sources.h"

// The file's bytes; false, with a failed problem added, when it cannot be read.
bool ReadSideFile(const std::string& path, std::string& bytes, std::vector<InputProblem>& problems);

// The rows a reader could not use, named by the file as given (noted, not failed).
void AddLineProblems(const std::string& path, const std::vector<LineProblem>& lines,
                     std::vector<InputProblem>& problems);

// Every --holidays file's days, by date, each date once (the first file's name).
std::vector<CompanyHoliday> ReadHolidayFiles(const std::vector<std::string>& paths,
                                             std::vector<InputProblem>& problems);

// The --users file; false when it cannot be read.
bool ReadPeopleFile(const std::string& path, People& people, std::vector<InputProblem>& problems);

// The --attendance file; false when it cannot be read.
bool ReadAttendanceFile(const std::string& path, Attendance& attendance, std::vector<InputProblem>& problems);
