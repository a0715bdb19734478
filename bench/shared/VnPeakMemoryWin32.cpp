#include <windows.h>

#include <psapi.h>

#include "VnPeakMemory.h"

namespace VnBench {

TPeakMemory PeakMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    TPeakMemory peak;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters))) {
        peak.WorkingSet = static_cast<double>(counters.PeakWorkingSetSize);
        peak.Committed = static_cast<double>(counters.PeakPagefileUsage);
    }
    return peak;
}

} // namespace VnBench
