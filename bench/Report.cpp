#include "bench/Report.h"

#include <cstdio>

namespace jvo::bench {

void PrintTable(const std::vector<Figure>& figures) {
    std::printf("\n%-18s %10s %4s %8s  %-4s  %s\n", "figure", "value", "", "goal", "met",
                "measured");
    for (const Figure& f : figures) {
        std::printf("%-18s %10.3f %4s %8.3f  %-4s  %s\n", f.name.c_str(), f.value,
                    f.atMost ? "<=" : ">=", f.goal,
                    !f.measured ? "n/a"
                    : f.info    ? "info"
                    : f.Met()   ? "yes"
                                : "NO",
                    f.detail.c_str());
    }
    std::printf("\n");
}

void PrintResults(const std::vector<Figure>& figures) {
    for (const Figure& f : figures) {
        if (f.measured)
            std::printf("RESULT %s %.3f %s %g%s\n", f.name.c_str(), f.value,
                        f.atMost ? "<=" : ">=", f.goal, f.info ? " info" : "");
        else
            std::printf("RESULT %s nan %s %g%s\n", f.name.c_str(), f.atMost ? "<=" : ">=", f.goal,
                        f.info ? " info" : "");
    }
    std::fflush(stdout);
}

}  // namespace jvo::bench
