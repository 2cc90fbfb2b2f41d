#!/usr/bin/env bash
# scripts/editor-screenshots.sh [build folder]
# Opens Kdenlive and then Shotcut, each under a virtual display (Xvfb) with
# a project that carries the filter with a keyframed Width, and photographs
# the effect's panel into docs/. Everything is installed into a scratch
# folder first; nothing outside it is touched. Not part of the tests:
# installing the editors (apt-get install kdenlive shotcut xvfb xdotool)
# takes minutes, and the clicks depend on the editors' layout.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
source "$here/scripts/lib/deps.sh"
ensure_packages kdenlive shotcut xvfb xdotool ffmpeg dbus

work=$(mktemp -d)
pids=()
cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
export FREI0R_PATH=$work/prefix/lib/frei0r-1

# The test project, made ten seconds long from one picture so that its clip
# is wide enough to click: Width keyframed from 6.25 to 12.5 pixels.
ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=320x180 -frames:v 1 "$work/src.png"
sed -e "s#src_%04d.png#$work/src.png#" -e 's#<property name="length">5</property>#<property name="length">250</property>#' \
    -e 's#00:00:00.160#00:00:09.960#g' -e "s#root=\".\"#root=\"$work\"#" \
    "$here/tests/frei0r/keyframed-width.kdenlive" > "$work/project.kdenlive"

Xvfb :93 -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=:93
sleep 2

shot() { ffmpeg -nostdin -v error -y -f x11grab -video_size 1600x1000 -i "$DISPLAY" -frames:v 1 "$1"; }

# Clicks at x y and waits a moment.
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-4}"; }

# The id of the first window whose name matches $1, waiting up to $2 s.
window() {
    local i w
    for ((i = 0; i < $2; i += 2)); do
        w=$(xdotool search --name "$1" 2>/dev/null | head -1) && [ -n "$w" ] && echo "$w" && return 0
        sleep 2
    done
    echo "no window named $1 after $2 s" >&2
    return 1
}

kdenlive_shot() {
    local home=$work/kdenlive-home w
    mkdir -p "$home/.config" "$home/.local/share/kdenlive/effects" "$home/run"
    chmod 700 "$home/run"
    # Kdenlive reads the user's folder too; the scratch install stands for /usr.
    cp "$work/prefix/share/kdenlive/effects/"*.xml "$home/.local/share/kdenlive/effects/"
    printf '[MainWindow]\n1600x1000 screen: Height=1000\n1600x1000 screen: Width=1600\n[version]\nversion=22.12.3\n' \
        > "$home/.config/kdenliverc"
    (cd "$work" && HOME=$home XDG_RUNTIME_DIR=$home/run exec dbus-run-session kdenlive project.kdenlive) \
        >"$work/kdenlive.log" 2>&1 &
    pids+=($!)
    w=$(window '25fps' 300)
    sleep 30
    xdotool windowsize "$w" 1600 1000 windowmove "$w" 0 0
    sleep 5
    click 230 760     # the clip on track V1: its effects fill the stack
    click 438 83 3    # the stack's float button: a window of its own, made wide
    w=$(window 'Effect/Compositio' 30)
    xdotool windowsize "$w" 700 560 windowmove "$w" 450 120
    sleep 5
    shot "$here/docs/kdenlive-effect.png"
}

shotcut_shot() {
    local app=$work/shotcut w
    # Shotcut reads its filters only beside its program: a copy of it and
    # of its share folder, with the filter added, stands for the install.
    mkdir -p "$app/bin" "$app/share" "$work/shotcut-home"
    cp /usr/bin/shotcut "$app/bin/"
    cp -r /usr/share/shotcut "$app/share/"
    cp -r "$work/prefix/share/shotcut/qml/filters/maculo_pattern" "$app/share/shotcut/qml/filters/"
    # The same clip and keyframes as Shotcut saves them.
    cp "$here/scripts/editor-screenshots.mlt" "$work/project.mlt"
    (cd "$work" && HOME=$work/shotcut-home exec dbus-run-session "$app/bin/shotcut" project.mlt) \
        >"$work/shotcut.log" 2>&1 &
    pids+=($!)
    w=$(window 'project.mlt - Shotcut' 300)
    sleep 20
    xdotool windowsize "$w" 1600 1000 windowmove "$w" 0 0 windowraise "$w"
    sleep 5
    click 265 850     # the clip on track V1
    click 103 708 6   # the Filters panel
    shot "$here/docs/shotcut-filter.png"
}

kdenlive_shot
kill "${pids[-1]}"
shotcut_shot
echo "docs/kdenlive-effect.png and docs/shotcut-filter.png written"
