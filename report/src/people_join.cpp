#include "people_join.h"

#include "user_names.h"

void AddPeople(std::vector<DayRow>& rows, const People& people)
{
    std::map<std::string, const Person*> byUser;
    for (const Person& person : people.people) byUser.emplace(FoldUserName(person.user), &person);
    for (DayRow& row : rows) {
        auto found = byUser.find(FoldUserName(row.user));
        if (found == byUser.end()) continue;
        row.name = found->second->name;
        row.department = found->second->department;
    }
}

std::map<std::string, CivilSeconds> UserDayStarts(const People& people)
{
    std::map<std::string, CivilSeconds> starts;
    for (const Person& person : people.people)
        if (person.hasDayStart) starts.emplace(FoldUserName(person.user), person.dayStartS);
    return starts;
}
