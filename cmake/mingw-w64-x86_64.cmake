# Cross-compiles the Windows x64 plug-in with Debian's MinGW-w64 (posix thread
# model, which std::thread and OpenMP need). Baseline x86-64 code only: the host
# may run on any 64-bit processor.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MACULO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MACULO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MACULO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MACULO_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW tree, programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MACULO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs built here (generators, checks) run through Wine.
find_program(MACULO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(MACULO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MACULO_WINE})
endif()
