#include <sys/resource.h>

#include "VnPeakMemory.h"

namespace VnBench {

TPeakMemory PeakMemory() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    TPeakMemory peak;
    peak.WorkingSet = static_cast<double>(usage.ru_maxrss) * 1024; // Linux counts kilobytes
    return peak;
}

} // namespace VnBench
