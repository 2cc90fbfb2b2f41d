#!/usr/bin/env bash
# Proves the Windows plug-in here: builds MaculoPattern.aex and the plug-in
# check, inspects what the library imports, exports and executes, then runs
# the check on the real .aex under Wine, once with an OpenCL library and once
# without any, and compares its frame checksums with the Linux build's.
# Then the packages: the zip and the installer hold the built files, named
# with the project's version, and the installer, run silently, puts a plug-in
# that renders alike where the host looks, and its uninstaller takes away
# everything it put there.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/versions.sh

scripts/build-windows.sh --target all installer
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMACULO_WERROR=ON
fi
cmake --build build -j "$(nproc)" --target maculo_plugin_check MaculoPattern maculo_kernel_sets

# The blur kernels' instruction sets, baseline first, as the build reports
# them: each one's MACULO_ISA key, which is also its kernels' namespace, and
# the processor flag it needs.
mapfile -t kernel_sets < <(build/tests/windows/maculo_kernel_sets)
[ "${#kernel_sets[@]}" -ge 2 ] || { echo "no instruction sets reported by the build" >&2; exit 1; }
wide_namespaces=$(for set in "${kernel_sets[@]:1}"; do echo "${set%:*}"; done | paste -sd'|')

aex=build-windows/MaculoPattern.aex
objdump=x86_64-w64-mingw32-objdump
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Exactly the two entry points, undecorated.
exports=$($objdump -p "$aex" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          awk '/^\t\[/ {print $NF}' | sort | xargs)
[ "$exports" = "EffectMain PluginDataEntryFunction" ] || fail "exports: $exports"

# Only Windows' own libraries: the C++ runtime, OpenMP and winpthreads are
# linked in, and OpenCL.dll is loaded at run time when present.
for dll in $($objdump -p "$aex" | awk '/DLL Name:/ {print tolower($3)}'); do
    case "$dll" in
        kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll | user32.dll | advapi32.dll | ntdll.dll) ;;
        *) fail "imports $dll" ;;
    esac
done

# Baseline x86-64 (SSE2) only: no AVX registers, FMA, BMI or SSE3-and-later
# instructions, except in the blur kernels built for AVX2 and AVX-512, which
# the plug-in runs only on processors that have them; and no FMA even there.
# (objdump shows GCC's "rep bsf" as tzcnt; it runs as bsf on every processor,
# so it is not listed.) The .aex has no symbol table, so the kernels are told
# apart in their object file: its wide functions must hold every instruction
# beyond the baseline that the .aex holds.
beyond_baseline() {
    grep -E -x 'v[a-z0-9]+|round(ss|sd|ps|pd)|pshufb|ptest|p?blendv?(b|w|ps|pd)|pmin(sb|sd|uw|ud)|pmax(sb|sd|uw|ud)|pmul(ld|dq)|popcnt|lzcnt|andn|bextr|pdep|pext|shlx|sarx|shrx|rorx|movbe|crc32|pextr[bdq]|pinsr[bdq]|insertps|extractps|dpp[sd]|ph(add|sub)[a-z]*|palignr|pabs[bwd]|pmaddubsw|pmulhrsw|psign[bwd]|lddqu|h(add|sub)p[sd]|movddup|movs[hl]dup|addsubp[sd]|packusdw|pcmp(eq|gt)q|pmov[sz]x[a-z]*|movntdqa|mpsadbw|phminposuw|pcmp[ei]str[im]|aes[a-z]*|pclmulqdq|sha[0-9a-z]+' || true
}
aex_beyond=$($objdump -d --no-show-raw-insn "$aex" | awk -F'\t' 'NF >= 2 {split($2, w, " "); print w[1]}' |
    beyond_baseline)
fused=$(grep -E -x 'vf(n)?m(add|sub)[a-z0-9]*' <<<"$aex_beyond" | sort -u | xargs || true)
[ -z "$fused" ] || fail "fused multiply-adds: $fused"
# The stack of a Windows thread is aligned to 16 bytes only: the wide kernels
# must move their vectors unaligned (see engine/CMakeLists.txt).
aligned=$(grep -E -x 'vmovap[sd]|vmovdqa(32|64)?' <<<"$aex_beyond" | sort -u | xargs || true)
[ -z "$aligned" ] || fail "aligned moves of AVX vectors: $aligned"
kernels=build-windows/engine/CMakeFiles/maculo_engine.dir/BlurKernels.cpp.obj
kernel_lines=$($objdump -d --no-show-raw-insn "$kernels" | x86_64-w64-mingw32-c++filt |
    awk -F'\t' -v wide_re="maculo::($wide_namespaces)::" '/^[0-9a-f]+ <.*>:$/ {wide = $0 ~ wide_re; next}
                NF >= 2 {split($2, w, " "); print (wide ? "wide" : "base"), w[1]}')
outside=$(awk '$1 == "base" {print $2}' <<<"$kernel_lines" | beyond_baseline | sort -u | xargs)
[ -z "$outside" ] || fail "instructions beyond baseline x86-64 outside the wide kernels: $outside"
wide_count=$(awk '$1 == "wide" {print $2}' <<<"$kernel_lines" | beyond_baseline | wc -l)
aex_count=$(grep -c . <<<"$aex_beyond" || true)
[ "$aex_count" -eq "$wide_count" ] ||
    fail "instructions beyond baseline x86-64 outside the wide kernels: $aex_count in the plug-in, $wide_count in them"

export WINEPREFIX="$PWD/build-windows/wine"
export WINEDEBUG=-all
wine=/usr/lib/wine/wine64
check_exe=build-windows/tests/windows/maculo_plugin_check.exe
runtime_exe=build-windows/tests/windows/maculo_opencl_runtime_check.exe

# The run-time OpenCL entry points: through Wine's OpenCL.dll (backed by the
# Linux OpenCL platform installed for the tests), and with it disabled, as on
# a machine without an OpenCL driver.
"$wine" "$runtime_exe" present || fail "OpenCL entry points with OpenCL.dll"
WINEDLLOVERRIDES="opencl=d" "$wine" "$runtime_exe" absent || fail "OpenCL entry points without OpenCL.dll"

linux_out=$(build/tests/windows/maculo_plugin_check "$(cat build/tests/windows/plugin-path.txt)") ||
    fail "Linux plug-in check"
linux_frames=$(grep '^frame ' <<<"$linux_out" || true)
[ "$(wc -l <<<"$linux_frames")" -eq 4 ] || fail "Linux plug-in check printed no frames"

# The blur kernels' instruction sets this processor runs.
isa_keys=()
for set in "${kernel_sets[@]}"; do
    grep -qw "${set#*:}" /proc/cpuinfo && isa_keys+=("${set%:*}")
done

# The plug-in with OpenCL.dll (no GPU device behind it here) and without,
# once with the kernels of every instruction set.
for isa in "${isa_keys[@]}"; do
    for opencl in builtin disabled; do
        overrides=""
        [ "$opencl" = disabled ] && overrides="opencl=d"
        if ! windows_out=$(MACULO_ISA="$isa" WINEDLLOVERRIDES="$overrides" "$wine" "$check_exe" "$aex" | tr -d '\r'); then
            fail "Windows plug-in check, $isa, OpenCL $opencl"
            continue
        fi
        grep -qx 'OpenCL device not found.' <<<"$windows_out" || fail "no GPU set-up message, $isa, OpenCL $opencl"
        if [ "$(grep '^frame ' <<<"$windows_out")" != "$linux_frames" ]; then
            fail "frames differ from the Linux build's, $isa, OpenCL $opencl"
            diff <(echo "$linux_frames") <(grep '^frame ' <<<"$windows_out") >&2 || true
        fi
    done
done
/usr/lib/wine/wineserver -w

# The packages, named with the project's version, which the plug-in's
# property list and about text also give.
version=$(project_version)
[ "$(property_list_version "$aex")" = "$(packed_version "$version")" ] ||
    fail "property list version $(property_list_version "$aex"), not $version's"
grep -qx "about Maculo Pattern v$(major_minor "$version")" <<<"${windows_out:-}" || fail "about text not of version $version"
cpack --config build-windows/CPackConfig.cmake -B build-windows/cpack >/dev/null
setup=build-windows/MaculoPattern-$version-win64-setup.exe
zip=build-windows/cpack/MaculoPattern-$version-win64.zip
unzipped=build-windows/unzipped
rm -rf "$unzipped"
unzip -q "$zip" -d "$unzipped"
contents=$(cd "$unzipped" && find . -type f | sort | xargs)
zipped=$unzipped/MaculoPattern-$version-win64
[ "$contents" = "./${zipped##*/}/License.txt ./${zipped##*/}/MaculoPattern.aex ./${zipped##*/}/ReadMe.txt" ] ||
    fail "the zip holds: $contents"
cmp -s "$zipped/MaculoPattern.aex" "$aex" || fail "the zip's MaculoPattern.aex differs from the built one"

drive_c=$WINEPREFIX/drive_c
unix_path() {
    local path=${1#C:\\}
    echo "$drive_c/${path//\\//}"
}
# Every file and folder outside Windows' own, for a look after the uninstall;
# but the copy of itself that an NSIS uninstaller runs from, in the user's
# Temp folder, which it cannot delete while it runs.
snapshot() {
    (cd "$drive_c" && find . -path ./windows -prune -o -path './users/*/Temp/~nsu*.tmp' -prune -o -print | sort)
}
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\MaculoPattern'
host_key='HKLM\SOFTWARE\Adobe\After Effects'
program_dir='C:\Program Files\Maculo Pattern'

# A silent install (installer arguments follow the plug-ins folder expected):
# the built .aex there, the zip's read-me and licence beside the uninstaller,
# the version in "Apps and features", and the installed plug-in's frames the
# Linux build's.
check_install() {
    local folder=$1
    shift
    "$wine" "$setup" /S "$@" || fail "silent install into $folder"
    /usr/lib/wine/wineserver -w
    cmp -s "$(unix_path "$folder")/MaculoPattern.aex" "$aex" || fail "no built MaculoPattern.aex in $folder"
    local file
    for file in ReadMe.txt License.txt; do
        cmp -s "$(unix_path "$program_dir")/$file" "$zipped/$file" || fail "$file not installed as zipped"
    done
    "$wine" reg query "$uninstall_key" /v DisplayVersion | tr -d '\r' | grep -q "REG_SZ *$version$" ||
        fail "no uninstaller of version $version registered"
    local out
    out=$("$wine" "$check_exe" "$folder\\MaculoPattern.aex" | tr -d '\r') || fail "the installed plug-in's check"
    [ "$(grep '^frame ' <<<"$out")" = "$linux_frames" ] || fail "the installed plug-in's frames differ"
}
check_uninstall() {
    "$wine" "$program_dir\\Uninstall.exe" /S || fail "silent uninstall"
    /usr/lib/wine/wineserver -w
    "$wine" reg query "$uninstall_key" >/dev/null 2>&1 && fail "the uninstaller is still registered"
    [ "$(snapshot)" = "$before" ] || {
        fail "the uninstall left files behind"
        diff <(echo "$before") <(snapshot) >&2 || true
    }
}

# What an earlier run that failed half-way may have left.
"$wine" reg query "$uninstall_key" >/dev/null 2>&1 && "$wine" "$program_dir\\Uninstall.exe" /S
"$wine" reg delete "$host_key" /f >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w
before=$(snapshot)
# Without the host: the usual common plug-ins folder.
check_install 'C:\Program Files\Common Files\Adobe\Common\Plug-ins\7.0\MediaCore'
check_uninstall
# The folder the host records; then a reinstall into a folder of the user's
# choice moves the plug-in there.
"$wine" reg add "$host_key\\24.0" /v CommonPluginInstallPath /d 'C:\Host Plug-ins\MediaCore' /f >/dev/null
check_install 'C:\Host Plug-ins\MediaCore'
check_install 'C:\Chosen\Plug-ins' '/D=C:\Chosen\Plug-ins'
[ ! -e "$(unix_path 'C:\Host Plug-ins')" ] || fail "the reinstall left the first install's plug-in"
check_uninstall
"$wine" reg delete "$host_key" /f >/dev/null

if [ "$failures" -ne 0 ]; then
    echo "Windows plug-in: $failures check(s) failed" >&2
    exit 1
fi
echo "Windows plug-in: exports, imports, instruction set, resource, command sequence and frames" \
     "(identical to Linux: $(wc -l <<<"$linux_frames") frames, kernels ${isa_keys[*]}), version $version," \
     "zip, silent install and uninstall all passed"
