#!/usr/bin/env bash
# Builds Pandrisk into build/ with the dev preset of CMakePresets.json (the
# executable is build/pandrisk, its data beside it in build/resources).
# Further arguments go to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev "$@"
cmake --build --preset dev
