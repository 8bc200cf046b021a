#include "runs/open_files.h"

#include <algorithm>
#include <filesystem>

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace kv {

namespace {

// Descriptors the batch may open at once besides those of its models.
constexpr long kReserve = 16;
constexpr long kPerRun = 1;

// Descriptors open now; a guess where the system does not say.
long descriptors_in_use() {
    std::error_code ec;
    long count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end;
         it.increment(ec))
        ++count;
    return count > 0 ? count : 16;
}

} // namespace

int runs_fitting(long limit, long inUse, int wanted) {
    const long room = (limit - inUse - kReserve) / kPerRun;
    return static_cast<int>(std::clamp<long>(room, 1, std::max(wanted, 1)));
}

ParallelRuns fit_parallel_runs(int wanted) {
    wanted = std::max(wanted, 1);
#ifndef _WIN32
    const long inUse = descriptors_in_use();
    rlimit limits{};
    if (::getrlimit(RLIMIT_NOFILE, &limits) != 0)
        return {wanted, 0};
    const rlim_t needed = static_cast<rlim_t>(inUse + kReserve + kPerRun * wanted);
    if (limits.rlim_cur != RLIM_INFINITY && limits.rlim_cur < needed) {
        rlimit raised = limits;
        raised.rlim_cur =
            limits.rlim_max == RLIM_INFINITY ? needed : std::min(needed, limits.rlim_max);
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limits = raised;
    }
    if (limits.rlim_cur == RLIM_INFINITY)
        return {wanted, 0};
    const long limit = static_cast<long>(limits.rlim_cur);
    return {runs_fitting(limit, inUse, wanted), limit};
#else
    return {wanted, 0};
#endif
}

} // namespace kv
