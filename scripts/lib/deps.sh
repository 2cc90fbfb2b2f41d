# Debian packages the project needs, and an idempotent installer for them.
BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config libboost-dev frei0r-plugins-dev
                ocl-icd-opencl-dev opencl-c-headers libopenimageio-dev libcli11-dev)
# clang with its OpenMP runtime and sanitizer runtimes: the thread-sanitizer build and the fuzzer;
# ffmpeg, melt and GStreamer (its frei0r elements are in plugins-bad, rawvideoparse in -base, the
# PNG elements in -good, gst-launch-1.0 in -tools): the video tools that host the frei0r filter in its tests;
# Slurm with munge and GNU parallel: the farms that run the renderer's examples.
TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev pocl-opencl-icd clang libomp-dev libclang-rt-dev
               ffmpeg melt gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
               gstreamer1.0-plugins-bad slurm-wlm munge parallel)
# The Windows plug-in: MinGW-w64 with the posix thread model (std::thread, OpenMP),
# NSIS for its installer, and Wine (and unzip) to exercise the results here.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
                  binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev nsis wine64 unzip)
# The Debian package: its man page, CPack's dependency search, lintian to judge it;
# then bash-completion and man-db for the checks of the installed package.
PACKAGE_PACKAGES=(help2man dpkg-dev file lintian)
PACKAGE_CHECK_PACKAGES=(bash-completion man-db)
# Only scripts/bench.sh needs these: the OpenCV peer of the speed table.
BENCH_PACKAGES=(libopencv-dev)

ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
