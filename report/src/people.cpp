#include "people.h"

#include <algorithm>

#include "cell_values.h"
#include "civil_time.h"

namespace {

enum { PEOPLE_USER, PEOPLE_NAME, PEOPLE_DEPARTMENT, PEOPLE_DAY_STARTS };

const std::vector<CsvColumn> PEOPLE_FILE_COLUMNS = {
    {{"ユーザー", "user"}, true},
    {{"氏名", "name"}, false},
    {{"部署", "department"}, false},
    {{"日の始まり", "day_starts"}, false},
};

bool ByUser(const Person& a, const Person& b)
{
    return a.user < b.user;
}

}  // namespace

People ReadPeople(std::string_view bytes)
{
    CsvTable table = ReadCsvTable(bytes, PEOPLE_FILE_COLUMNS);
    People result;
    result.problems = std::move(table.problems);
    for (const CsvRow& row : table.rows) {
        Person person;
        person.line = row.line;
        person.user = std::string(CellAt(row, table.columns[PEOPLE_USER]));
        person.name = std::string(CellAt(row, table.columns[PEOPLE_NAME]));
        person.department = std::string(CellAt(row, table.columns[PEOPLE_DEPARTMENT]));
        std::string_view dayStarts = CellAt(row, table.columns[PEOPLE_DAY_STARTS]);
        person.hasDayStart = !dayStarts.empty();
        if (person.user.empty()) {
            result.problems.push_back({row.line, "ユーザーがありません"});
        } else if (person.hasDayStart &&
                   (!ParseCellTime(dayStarts, person.dayStartS) || person.dayStartS >= SECONDS_PER_DAY)) {
            result.problems.push_back({row.line, DescribeBadTime("日の始まり", dayStarts)});
        } else {
            result.people.push_back(std::move(person));
        }
    }
    std::stable_sort(result.people.begin(), result.people.end(), ByUser);
    std::vector<Person> once;
    for (Person& person : result.people) {
        if (!once.empty() && once.back().user == person.user)
            result.problems.push_back({person.line, "ユーザー " + person.user + " は " +
                                                        std::to_string(once.back().line) + " 行目にもあります"});
        else
            once.push_back(std::move(person));
    }
    result.people = std::move(once);
    return result;
}

const Person* FindPerson(const People& people, std::string_view user)
{
    auto found = std::lower_bound(people.people.begin(), people.people.end(), user,
                                  [](const Person& p, std::string_view wanted) { return p.user < wanted; });
    return found != people.people.end() && found->user == user ? &*found : nullptr;
}
