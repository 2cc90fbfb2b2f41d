// Marks the library's two entry points for export; everything else stays
// hidden (the build sets hidden visibility by default).
#pragma once

#if defined(_WIN32)
#define MACULO_EXPORT extern "C" __declspec(dllexport)
#else
#define MACULO_EXPORT extern "C" __attribute__((visibility("default")))
#endif
