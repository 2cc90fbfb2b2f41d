# Builds the plug-in and the command-line renderer (Release) into
# build-release/, for the scripts that render with it.
build_release_renderer() {
    cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
          -DMACULO_BUILD_TESTS=OFF -DMACULO_BUILD_BENCH=OFF >/dev/null
    cmake --build build-release -j "$(nproc)" --target maculo-render
}
