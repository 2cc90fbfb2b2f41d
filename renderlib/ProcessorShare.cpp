#include "renderlib/ProcessorShare.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "renderlib/ControlGroups.h"

namespace maculo {
namespace {

namespace fs = std::filesystem;

// Processors' worth of `quota` time in every `period`, rounded up; 0 for no quota.
int32_t Share(int64_t quota, int64_t period) {
    if (quota <= 0 || period <= 0) return 0;
    return int32_t(std::min<int64_t>((quota + period - 1) / period, INT32_MAX));
}

// The tightest share of `folders`, read by `share`; 0 for none.
template <typename Read>
int32_t Tightest(const std::vector<fs::path>& folders, Read share) {
    int32_t tightest = 0;
    for (const fs::path& folder : folders)
        if (const int32_t s = share(folder); s > 0 && (tightest == 0 || s < tightest)) tightest = s;
    return tightest;
}

}  // namespace

int32_t ControlGroupShare(const fs::path& membership, const fs::path& root) {
    // "max 100000" where the group sets no quota.
    const int32_t unified = Tightest(ControlGroupFolders("", membership, root), [](const fs::path& group) {
        std::ifstream file(group / "cpu.max");
        int64_t quota = 0, period = 0;
        return file >> quota >> period ? Share(quota, period) : 0;
    });
    // -1 where the group sets no quota.
    const int32_t older = Tightest(ControlGroupFolders("cpu", membership, root), [](const fs::path& group) {
        int64_t quota = 0, period = 0;
        const bool read = std::ifstream(group / "cpu.cfs_quota_us") >> quota &&
                          std::ifstream(group / "cpu.cfs_period_us") >> period;
        return read ? Share(quota, period) : 0;
    });
    return unified == 0 || (older != 0 && older < unified) ? older : unified;
}

int32_t ProcessorShare() {
    cpu_set_t mask;
    CPU_ZERO(&mask);
    int32_t processors = sched_getaffinity(0, sizeof mask, &mask) == 0 ? CPU_COUNT(&mask) : 0;
    if (processors <= 0) processors = int32_t(std::max<long>(sysconf(_SC_NPROCESSORS_ONLN), 1));
    const int32_t quota = ControlGroupShare();
    return quota > 0 ? std::min(processors, quota) : processors;
}

}  // namespace maculo
