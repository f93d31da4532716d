#!/usr/bin/env bash
# Builds StillSentinel and runs every test: unit tests and system tests on Wine under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
cd build
ctest --output-on-failure --timeout 1800
