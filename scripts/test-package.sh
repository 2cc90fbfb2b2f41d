#!/usr/bin/env bash
# Proves the Debian package on this machine (as root, or through sudo): builds it
# (scripts/package.sh deb, which has lintian judge it), installs it with
# apt-get, and with no FREI0R_PATH or PATH of ours renders with maculo-render,
# runs the filter through ffmpeg and melt (the same pixels as the renderer's),
# opens the man page, completes an option in bash, checks that every version
# is the project's, then purges the package and finds no file of it left.
# The package is purged on every way out: it changes what the machine's
# video tools load. `scripts/test-package.sh DEB` checks a package already built.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/deps.sh
ensure_packages "${TEST_PACKAGES[@]}" "${PACKAGE_CHECK_PACKAGES[@]}"
source scripts/lib/versions.sh

if dpkg-query -W -f='${Status}' maculo-pattern 2>/dev/null | grep -q "install ok installed"; then
    echo "maculo-pattern is installed already: remove it first" >&2
    exit 1
fi
deb=${1:-$(scripts/package.sh deb | tail -n 1)}

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

version=$(project_version)
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version)"
[ "$(basename "$deb")" = "maculo-pattern_${version}_amd64.deb" ] || fail "package file name $(basename "$deb")"
# Every dependency comes from what the binaries link, through dpkg-shlibdeps.
deps=$(dpkg-deb -f "$deb" Depends)
grep -q 'libopenimageio' <<<"$deps" || fail "no dependency on OpenImageIO: $deps"
mapfile -t packaged < <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {sub(/^\./, "", $6); print $6}')

apt_get() {
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -y -qq "$@" >/dev/null
}
work=$(mktemp -d)
purge() {
    apt_get purge maculo-pattern 2>/dev/null || true
    rm -rf "$work"
}
trap purge EXIT
apt_get install --no-install-recommends "$(realpath "$deb")"

# As a user's shell has it: the system's PATH, no FREI0R_PATH.
run() { (cd "$work" && env -i HOME="$work" PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"); }

[ "$(run sh -c 'command -v maculo-render')" = /usr/bin/maculo-render ] || fail "maculo-render is not /usr/bin/maculo-render"
[ "$(run maculo-render --version)" = "maculo-render $version" ] || fail "--version: $(run maculo-render --version)"
about=$(run maculo-render --about | head -n 1)
[ "$about" = "Maculo Pattern v$(major_minor "$version")" ] || fail "about text: $about"
filter_version=$(run melt -query filter=frei0r.maculo_pattern 2>/dev/null | sed -n 's/^version: *//p')
[ "$filter_version" = "$(major_minor "$version")" ] || fail "frei0r filter version: $filter_version"

# A picture through the renderer, ffmpeg and melt: the same pixels.
run ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=64x36 -frames:v 1 -pix_fmt rgba src.png
run maculo-render -q -i src.png -o cli.png --amount 4 || fail "maculo-render -o cli.png"
run ffmpeg -nostdin -v error -i src.png -vf 'frei0r=filter_name=maculo_pattern:filter_params=simple|gaussian|before|0.03|0.03|0.03|0.1|0.003003' \
    -pix_fmt rgba ffmpeg.png || fail "ffmpeg with the filter"
printf '%s\n' description=picture frame_rate_num=25 frame_rate_den=1 width=64 height=36 progressive=1 \
    sample_aspect_num=1 sample_aspect_den=1 display_aspect_num=16 display_aspect_den=9 colorspace=709 >"$work/profile.txt"
run melt -silent -profile profile.txt src.png out=0 -filter frei0r.maculo_pattern amount=0.003003 \
    -consumer avformat:melt_%04d.png vcodec=png pix_fmt=rgba 2>"$work/melt.log" ||
    fail "melt with the filter: $(cat "$work/melt.log")"
pixels() { run ffmpeg -nostdin -v error -i "$1" -f rawvideo -pix_fmt rgba - | md5sum; }
reference=$(pixels cli.png)
[ "$reference" != "$(pixels src.png)" ] || fail "the renderer left the picture as it was"
[ "$(pixels ffmpeg.png)" = "$reference" ] || fail "ffmpeg's frame differs from the renderer's"
[ -f "$work/melt_0001.png" ] && [ "$(pixels melt_0001.png)" = "$reference" ] ||
    fail "melt's frame differs from the renderer's"

# The man page opens; Debian's container images may leave man pages out
# (path-exclude in /etc/dpkg/dpkg.cfg.d), and then the page is read from
# the package instead, and said so.
if [ -f /usr/share/man/man1/maculo-render.1.gz ]; then
    page=$(run sh -c 'MANWIDTH=80 man maculo-render 2>&1') || fail "man maculo-render: $page"
else
    grep -qs 'path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg.d/* || fail "the man page was not installed"
    echo "note: dpkg excludes /usr/share/man here; reading the page from the package" >&2
    dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/maculo-render.1.gz >"$work/page.1.gz"
    page=$(run sh -c 'MANWIDTH=80 man -l page.1.gz 2>&1') || fail "man -l maculo-render.1.gz: $page"
fi
for option in --gray --amount --compression "$version"; do
    grep -q -- "$option" <<<"$page" || fail "the man page lacks $option"
done

# bash completes an option and a choice from the program's own --help.
complete_words() {
    run bash -c 'source /usr/share/bash-completion/bash_completion
                 _completion_loader maculo-render
                 COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
                 function=$(complete -p maculo-render | sed -n "s/.* -F \([^ ]*\) .*/\1/p")
                 "$function" maculo-render "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
                 echo "${COMPREPLY[*]}"' bash "$@"
}
[ "$(complete_words maculo-render --gr)" = "--gray" ] || fail "completion of --gr: $(complete_words maculo-render --gr)"
[ "$(complete_words maculo-render --gray "")" = "off before after" ] ||
    fail "completion after --gray: $(complete_words maculo-render --gray "")"

# Removal leaves no file of the package behind.
apt_get purge maculo-pattern
for file in "${packaged[@]}"; do
    [ ! -e "$file" ] || fail "$file remains after purge"
done
[ ! -e /usr/lib/maculo-pattern ] && [ ! -e /usr/share/doc/maculo-pattern ] || fail "a folder of the package remains"

if [ "$failures" -ne 0 ]; then
    echo "Debian package: $failures check(s) failed" >&2
    exit 1
fi
echo "Debian package $(basename "$deb"): install, renderer, ffmpeg, melt, man page, completion," \
     "versions ($version) and purge all passed"
