#include "side_files.h"

#include "file_error.h"
#include "file_read.h"

// Far more than any attendance or holiday list; a bound all the same.
constexpr size_t SIDE_FILE_LIMIT = 64u << 20;

bool ReadSideFile(const std::string& path, std::string& bytes, std::vector<InputProblem>& problems)
{
    FileError error = ReadWholeFile(path, SIDE_FILE_LIMIT, bytes);
    if (error == FileError::None) return true;
    problems.push_back(
        {path, Problem{path, 0, DescribeFileError(error, FileAction::Read), ProblemKind::FileError, error}, true});
    return false;
}

void AddLineProblems(const std::string& path, const std::vector<LineProblem>& lines,
                     std::vector<InputProblem>& problems)
{
    for (const LineProblem& p : lines)
        problems.push_back({path, Problem{path, p.line, p.message, ProblemKind::InputRow}, false});
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
    KeepFirstOfEachDate(days);
    return days;
}

// A file read whole by its reader, whose rows that could not be read are named.
template <typename Read>
static bool ReadTableFile(const std::string& path, Read& read, Read (*reader)(std::string_view),
                          std::vector<InputProblem>& problems)
{
    std::string bytes;
    if (!ReadSideFile(path, bytes, problems)) return false;
    read = reader(bytes);
    AddLineProblems(path, read.problems, problems);
    return true;
}

bool ReadAttendanceFile(const std::string& path, Attendance& attendance, std::vector<InputProblem>& problems)
{
    return ReadTableFile(path, attendance, ReadAttendance, problems);
}

bool ReadPeopleFile(const std::string& path, People& people, std::vector<InputProblem>& problems)
{
    return ReadTableFile(path, people, ReadPeople, problems);
}
