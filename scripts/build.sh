#!/usr/bin/env bash
# Configures and builds StillSentinel.exe and StillSentinelReport.exe (and the tests) into build/,
# and the report as a native program (stillsentinel-report, with its unit tests) into build-report/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
cmake -S report -B build-report -DCMAKE_BUILD_TYPE=Release
cmake --build build-report -j"$(nproc)"
