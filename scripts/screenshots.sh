#!/usr/bin/env bash
# Builds, then takes screenshots of the About and Help windows on a virtual
# X display of their own (Xvfb with openbox) and lists them; they land in
# build/screenshots/. Without Xvfb and the X tools the tests skip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
ctest --test-dir build -L screens --output-on-failure
ls -1 build/screenshots/*.png
