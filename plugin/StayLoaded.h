// Keeps the plug-in's code mapped until the process ends. A host may unload
// the library, but OpenMP's worker threads stay parked inside it after a
// frame; unloading would pull the code from under them and crash the host.
#pragma once

namespace maculo {

#ifdef _WIN32
// Pins the library on its first call; later calls do nothing.
void StayLoaded() noexcept;
#else
// The Linux library is linked with -z nodelete, which does the same at load.
inline void StayLoaded() noexcept {}
#endif

}  // namespace maculo
