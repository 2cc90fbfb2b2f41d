#!/usr/bin/env bash
# Installs what the build needs (Debian 12), builds the plug-in and the
# command-line renderer (Release), renders out/pattern.png from the built-in
# noise picture with the effect's default controls, and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/lib/deps.sh
source scripts/lib/renderer.sh
ensure_packages "${BUILD_PACKAGES[@]}"

build_release_renderer

mkdir -p out
build-release/bin/maculo-render -o out/pattern.png
echo "$(pwd)/out/pattern.png"
