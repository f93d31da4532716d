#!/usr/bin/env bash
# Configures and builds StillSentinel.exe and StillSentinelReport.exe (and the tests) into build/,
# and the report as a native program (stillsentinel-report, with its unit tests) into build-report/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
# The native report through the README's own command, so that wherever this runs from a clean
# tree (CI's clones and chroots) that command's build from nothing is what makes it; then its tests.
STILLSENTINEL_REPORT_BUILD="$PWD/build-report" bash scripts/report.sh --version >/dev/null
cmake --build build-report -j"$(nproc)"
