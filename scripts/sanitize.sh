#!/usr/bin/env bash
# Builds the program, its tests and the fuzz targets with AddressSanitizer and UndefinedBehaviorSanitizer in
# ./build-asan (installing what is missing) and runs the whole suite through CTest, the replay of every fuzz
# seed corpus included. Any sanitizer report fails the test that caused it. Extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/packages.sh

if [ ! -f build-asan/build.ninja ]; then
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
          -DFX3_SANITIZE=ON -DFX3_BUILD_BENCHMARKS=OFF "${launcher[@]}"
fi
cmake --build build-asan --parallel "$(nproc)"

source scripts/sanitizer-env.sh
cd build-asan
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" "$@"
