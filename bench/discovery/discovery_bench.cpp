// Times both drive discoveries of the running system.
// Usage: discovery_bench [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "discovery/discovery.h"

namespace {

struct Timing {
    std::size_t entries = 0;
    double firstRun = 0; // what a user waits for: caches of this process still cold
    std::vector<double> milliseconds;
};

template <class Discover> Timing Measure(int runs, Discover discover)
{
    Timing timing;
    for (int run = 0; run < runs; ++run) {
        zd::DriveList list;
        const auto start = std::chrono::steady_clock::now();
        discover(list);
        const auto stop = std::chrono::steady_clock::now();
        timing.entries = list.size();
        timing.milliseconds.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
    timing.firstRun = timing.milliseconds.front();
    std::sort(timing.milliseconds.begin(), timing.milliseconds.end());
    return timing;
}

void Report(const char* what, const Timing& timing)
{
    const auto& ms = timing.milliseconds;
    std::printf("%-16s %4zu entries  first %7.2f ms  min %7.2f ms  median %7.2f ms  max %7.2f ms\n", what,
                timing.entries, timing.firstRun, ms.front(), ms[ms.size() / 2], ms.back());
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const Timing disks = Measure(runs, [](zd::DriveList& list) { zd::DiscoverPhysicalDisks(list); });
    const Timing volumes = Measure(runs, [](zd::DriveList& list) { zd::DiscoverLogicalVolumes(list); });
    std::printf("%d runs each\n", runs);
    Report("physical disks", disks);
    Report("logical volumes", volumes);
    return 0;
}
