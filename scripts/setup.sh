#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test the program, then configures and
# builds it in ./build. Quick when nothing changed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/packages.sh

if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build --parallel "$(nproc)"
