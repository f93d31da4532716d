// A problem met in the input, in Japanese: the words the page (and a window
// for people who read no English) give it. Standard error keeps the English.
#pragma once
#include <string>

#include "report_model.h"

std::string DescribeProblemInJapanese(const Problem& problem);
