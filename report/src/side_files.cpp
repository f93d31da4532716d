#include "side_files.h"

#include <algorithm>

#include "file_error.h"
#include "file_read.h"

// Far more than any attendance or holiday list; a bound all the same.
constexpr size_t SIDE_FILE_LIMIT = 64u << 20;

bool ReadSideFile(const std::string& path, std::string& bytes, std::vector<InputProblem>& problems)
{
    FileError error = ReadWholeFile(path, SIDE_FILE_LIMIT, bytes);
    if (error == FileError::None) return true;
    problems.push_back({path, Problem{path, 0, DescribeFileError(error, FileAction::Read)}, true});
    return false;
}

void AddLineProblems(const std::string& path, const std::vector<LineProblem>& lines,
                     std::vector<InputProblem>& problems)
{
    for (const LineProblem& p : lines) problems.push_back({path, Problem{path, p.line, p.message}, false});
}

std::vector<CompanyHoliday> ReadHolidayFiles(const std::vector<std::string>& paths,
                                             std::vector<InputProblem>& problems)
{
    std::vector<CompanyHoliday> days;
    std::string bytes;
    for (const std::string& path : paths) {
        if (!ReadSideFile(path, bytes, problems)) continue;
        CompanyHolidays read = ReadCompanyHolidays(bytes);
        AddLineProblems(path, read.problems, problems);
        days.insert(days.end(), read.days.begin(), read.days.end());
    }
    std::stable_sort(days.begin(), days.end(),
                     [](const CompanyHoliday& a, const CompanyHoliday& b) { return a.day < b.day; });
    days.erase(std::unique(days.begin(), days.end(),
                           [](const CompanyHoliday& a, const CompanyHoliday& b) { return a.day == b.day; }),
               days.end());
    return days;
}
