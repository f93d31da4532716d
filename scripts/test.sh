#!/usr/bin/env bash
# Builds StillSentinel and runs every test: the native report's unit tests, then unit tests and
# system tests on Wine under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
# The report's own tests, natively: seconds, and they fail before the long Wine suite starts.
ctest --test-dir build-report --output-on-failure --no-tests=error
cd build
# The system tests mostly wait on Wine, each file in its own prefixes and
# displays: one more file at a time than there are cores.
ctest --output-on-failure --timeout 1800 -j"$(($(nproc) + 1))"
