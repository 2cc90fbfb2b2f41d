#!/usr/bin/env bash
# Builds every package into dist/, each from a clean build of its own, named
# with the project's version, and prints their paths:
#   maculo-pattern_<version>_amd64.deb       Linux Release build (build-package/),
#                                             judged by lintian
#   MaculoPattern-<version>-win64-setup.exe  the MinGW build of scripts/build-windows.sh
#   MaculoPattern-<version>-win64.zip        (build-package-windows/)
# `scripts/package.sh deb` or `scripts/package.sh windows` builds only those.
# Installs what it needs (Debian 12).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/deps.sh

what=${1:-all}
case "$what" in
    all | deb | windows) ;;
    *) echo "usage: $0 [deb|windows]" >&2; exit 2 ;;
esac

# The last commit's time stands for the build's (in the changelog and the
# man page), so that the same tree gives the same packages.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH
mkdir -p dist
made=()

# The version as a configured build has it, from project(... VERSION ...).
built_version() {
    sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$1/CPackConfig.cmake"
}

# Debian's hardening flags, without its -g and -O2: the Release build sets the
# optimisation, and the package ships no debug information.
debian_flags() {
    DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1" | sed -E 's/(^| )-(g|O2)( |$)/ /g'
}

package_deb() {
    ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
    rm -rf build-package
    local cflags cxxflags ldflags
    cflags="$(debian_flags CPPFLAGS) $(debian_flags CFLAGS)"
    cxxflags="$(debian_flags CPPFLAGS) $(debian_flags CXXFLAGS)"
    ldflags=$(debian_flags LDFLAGS)
    cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DMACULO_WERROR=ON \
          -DMACULO_BUILD_TESTS=OFF -DMACULO_BUILD_BENCH=OFF \
          -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_LIBDIR=lib \
          -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
          -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" >/dev/null
    cmake --build build-package -j "$(nproc)"
    cpack --config build-package/CPackConfig.cmake -B build-package/cpack >/dev/null
    local deb
    deb=build-package/cpack/maculo-pattern_$(built_version build-package)_amd64.deb
    # Built only where help2man is found: a package without it is no package.
    # The listing is read whole first: grep -q stopping early under pipefail
    # would fail the check by dpkg-deb's broken pipe.
    local contents
    contents=$(dpkg-deb -c "$deb")
    grep -q '/usr/share/man/man1/maculo-render\.1\.gz$' <<<"$contents" ||
        { echo "$deb has no man page" >&2; exit 1; }
    # Errors fail the build. The one warning kept, maintscript-calls-ldconfig:
    # CPack calls ldconfig in postinst and postrm whenever a shared object lies
    # under /usr/lib (the filter, the plug-in), needed or not; it does no harm.
    local verdict
    verdict=$(lintian "$deb" 2>/dev/null || true)
    [ -z "$verdict" ] || echo "$verdict" >&2
    if grep -q '^E:' <<<"$verdict"; then
        echo "lintian rejects $deb" >&2
        exit 1
    fi
    mv -f "$deb" dist/
    made+=("dist/$(basename "$deb")")
}

package_windows() {
    rm -rf build-package-windows
    MACULO_WINDOWS_BUILD=build-package-windows MACULO_WINDOWS_TESTS=OFF scripts/build-windows.sh --target all installer
    cpack --config build-package-windows/CPackConfig.cmake -B build-package-windows/cpack >/dev/null
    local name
    name=MaculoPattern-$(built_version build-package-windows)-win64
    mv -f "build-package-windows/$name-setup.exe" "build-package-windows/cpack/$name.zip" dist/
    made+=("dist/$name-setup.exe" "dist/$name.zip")
}

[ "$what" = windows ] || package_deb
[ "$what" = deb ] || package_windows
for file in "${made[@]}"; do
    realpath "$file"
done
