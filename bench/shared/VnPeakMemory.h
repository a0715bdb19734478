// The peak memory of this process so far, as the operating system counts it.
#pragma once

namespace VnBench {

struct TPeakMemory {
    double WorkingSet = 0; // bytes: the peak resident set (Windows: the peak working set)
    double Committed = 0;  // bytes: the peak committed private memory; 0 where not counted
};

TPeakMemory PeakMemory();

} // namespace VnBench
