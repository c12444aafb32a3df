#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the whole suite in a
# normal build, then again in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/format.sh --check
scripts/build.sh
jobs=$(nproc)
ctest --preset dev -j "$jobs"
cmake --build build --target check-sanitize
