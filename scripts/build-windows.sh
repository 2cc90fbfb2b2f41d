#!/usr/bin/env bash
# Builds the Windows x64 plug-in, build-windows/MaculoPattern.aex, with Debian's
# MinGW-w64 (installing it, Wine and NSIS when missing). Programs that the build
# runs itself go through Wine, in a prefix of its own in the build folder.
# Arguments go to `cmake --build` (--target installer: the installer too).
# MACULO_WINDOWS_BUILD names another build folder; MACULO_WINDOWS_TESTS=OFF
# leaves out the checks (scripts/package.sh builds so).
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/lib/deps.sh
ensure_packages cmake ninja-build libboost-dev opencl-c-headers "${WINDOWS_PACKAGES[@]}"

build=${MACULO_WINDOWS_BUILD:-build-windows}
export WINEPREFIX="$PWD/$build/wine"
export WINEDEBUG=-all
mkdir -p "$build"

# Optimised as the Linux build is (-O2; GCC 12 also warns falsely about
# std::string copies at -O3), without debug information.
cmake -S . -B "$build" -G Ninja --no-warn-unused-cli \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DMACULO_WERROR=ON \
      -DMACULO_BUILD_TESTS="${MACULO_WINDOWS_TESTS:-ON}" -DMACULO_BUILD_BENCH=OFF
cmake --build "$build" -j "$(nproc)" "$@"
