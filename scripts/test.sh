#!/usr/bin/env bash
# Builds StillSentinel and runs every test: unit tests and system tests on Wine under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
cd build
# The system tests mostly wait on Wine, each file in its own prefixes and
# displays: one more file at a time than there are cores.
ctest --output-on-failure --timeout 1800 -j"$(($(nproc) + 1))"
