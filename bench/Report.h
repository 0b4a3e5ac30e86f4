#pragma once
// The figures of one jvo-bench run: a readable table, then one machine-readable line per figure,
// "RESULT <name> <value> <op> <goal>", with " info" after a goal that is for reading only.
#include <string>
#include <vector>

namespace jvo::bench {

struct Figure {
    std::string name;
    double value = 0;
    bool atMost = false;  // the goal is an upper bound (<=), else a lower bound (>=)
    double goal = 0;
    std::string detail;    // what was measured, baseline included
    bool measured = true;  // false: could not be measured (value is then meaningless)
    bool info = false;     // the goal is for reading only: "info" in the table and the line

    bool Met() const { return measured && (atMost ? value <= goal : value >= goal); }
};

void PrintTable(const std::vector<Figure>& figures);
void PrintResults(const std::vector<Figure>& figures);

}  // namespace jvo::bench
