// Advice that a block of memory be backed by large pages where the system
// offers them. A frame is tens of megabytes, each touched whole: in 2 MiB
// pages a fresh one faults in with a few dozen faults instead of thousands,
// which is most of a first frame's cost.
#pragma once

#include <cstddef>

namespace maculo::minihost {

// Only the whole large pages inside the block are advised; the block itself
// is unchanged and stays the caller's. Advice only: nothing fails.
void AdviseLargePages(void* bytes, size_t size) noexcept;

}  // namespace maculo::minihost
