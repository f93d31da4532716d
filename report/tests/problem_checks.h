// How the report's tests read a list of problems: by where each points, as a
// person would look them up, in the order given.
#pragma once
#include <string>
#include <vector>

#include "csv_reader.h"
#include "sources.h"

// "file:line; " each, "file:line failed; " where the file could not be read.
inline std::string Shown(const std::vector<InputProblem>& problems)
{
    std::string shown;
    for (const InputProblem& p : problems)
        shown += p.problem.file + ":" + std::to_string(p.problem.line) + (p.failed ? " failed; " : "; ");
    return shown;
}

// "!line" each, for a file read beside the logs.
inline std::string Shown(const std::vector<LineProblem>& problems)
{
    std::string shown;
    for (const LineProblem& p : problems) shown += "!" + std::to_string(p.line);
    return shown;
}
