#include "read_report.h"

#include <utility>
#include <vector>

#include "attendance_join.h"
#include "day_holidays.h"
#include "months.h"
#include "people_join.h"
#include "side_files.h"

namespace {

// The files beside the logs are named after the logs' own problems.
void AddSideProblems(ReadOutcome& outcome, std::vector<InputProblem> problems)
{
    for (InputProblem& p : problems) {
        outcome.allRead = outcome.allRead && !p.failed;
        outcome.report.problems.push_back(p.problem);
        outcome.problems.push_back(std::move(p));
    }
}

}  // namespace

ReadOutcome ReadReport(Discovery discovery, const Options& options, const ProgressFn& progress)
{
    // Before the logs: a user's own day start decides how their lines are read.
    std::vector<InputProblem> sideProblems;
    People people;
    bool hasPeople = !options.usersFile.empty() && ReadPeopleFile(options.usersFile, people, sideProblems);

    ReadOutcome outcome =
        ReadLogs(std::move(discovery), options.timeline, options.mergeUsers, progress, UserDayStarts(people));
    Attendance attendance;
    // Without the file, no day is flagged for the want of it.
    if (!options.attendanceFile.empty() && ReadAttendanceFile(options.attendanceFile, attendance, sideProblems)) {
        JoinAttendance(outcome.report.rows, attendance, options.divergenceMin);
        outcome.report.hasAttendance = true;
    }
    if (hasPeople) {
        AddPeople(outcome.report.rows, people);
        outcome.report.hasPeople = true;
    }
    NameHolidays(outcome.report.rows, ReadHolidayFiles(options.holidayFiles, sideProblems));
    AddSideProblems(outcome, std::move(sideProblems));
    outcome.report.months = ComputeMonths(outcome.report.rows, options.months);
    return outcome;
}
