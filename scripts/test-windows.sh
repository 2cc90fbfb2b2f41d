#!/usr/bin/env bash
# Proves the Windows plug-in here: builds MaculoPattern.aex and the plug-in
# check, inspects what the library imports, exports and executes, then runs
# the check on the real .aex under Wine, once with an OpenCL library and once
# without any, and compares its frame checksums with the Linux build's.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build-windows.sh
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

if [ "$failures" -ne 0 ]; then
    echo "Windows plug-in: $failures check(s) failed" >&2
    exit 1
fi
echo "Windows plug-in: exports, imports, instruction set, resource, command sequence and frames" \
     "(identical to Linux: $(wc -l <<<"$linux_frames") frames, kernels ${isa_keys[*]}) all passed"
