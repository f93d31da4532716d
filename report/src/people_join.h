// The --users file beside the logs: each row's person, and the day starts of
// those whose working day begins elsewhere than --day-starts.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "people.h"
#include "report_model.h"

// The name and department of each row's user (matched in any case).
void AddPeople(std::vector<DayRow>& rows, const People& people);

// The users' own day starts, by folded user name.
std::map<std::string, CivilSeconds> UserDayStarts(const People& people);
