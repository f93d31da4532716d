// The --users file: who a log's user is, and where a night-shift worker's day begins.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "csv_reader.h"

struct Person {
    std::string user;        // as the logs name the user
    std::string name;        // may be empty
    std::string department;  // may be empty
    bool hasDayStart = false;
    int64_t dayStartS = 0;   // seconds after midnight, below a day, when hasDayStart
    uint32_t line = 0;
};

struct People {
    std::vector<Person> people;  // by user, each user once (the first row)
    std::vector<LineProblem> problems;
};

// Columns by name: ユーザー/user (required), 氏名/name, 部署/department,
// 日の始まり/day_starts ("H:MM", below 24:00). A row that cannot be read is named and left out.
People ReadPeople(std::string_view bytes);

// The user's entry, or nullptr.
const Person* FindPerson(const People& people, std::string_view user);
