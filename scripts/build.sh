#!/usr/bin/env bash
# Builds Pandrisk into build/ (the executable is build/pandrisk, its data
# beside it in build/resources).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build
