#!/usr/bin/env bash
# Builds the program and its tests (installing what is missing) and runs the whole suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" "$@"
