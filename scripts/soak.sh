#!/usr/bin/env bash
# A long random game (10 minutes unless given a number of seconds) on a
# virtual display: no crash, the board always whole, memory flat. CI runs a
# 30-second version as part of the end-to-end tests.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
scripts/build.sh
PANDRISK_SOAK_SECONDS=$seconds build/e2e_tests --gtest_filter='Soak.*'
