#!/usr/bin/env bash
# Runs the log report natively: bash scripts/report.sh [options] PATH...
# Installs what the native build needs (cmake, make, g++) on Debian 12 or 13, builds
# build-report/stillsentinel-report when needed, and runs it with the arguments in the
# current folder. Standard output is the report's alone (--format csv > report.csv);
# everything else goes to standard error.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${STILLSENTINEL_REPORT_BUILD:-$repo/build-report}  # another folder builds it afresh

missing=()
for p in cmake make g++; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}" >&2
  { $SUDO apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >&2
fi

# Only the program: the unit tests are built by scripts/build.sh. A failed build shows its output.
if ! log=$({ [ -f "$build/CMakeCache.txt" ] ||
             cmake -S "$repo/report" -B "$build" -DCMAKE_BUILD_TYPE=Release; } 2>&1 &&
           cmake --build "$build" --target stillsentinel_report -j"$(nproc)" 2>&1); then
  printf '%s\n' "$log" >&2
  echo "report.sh: building the report failed" >&2
  exit 3  # not the report's own 1 or 2
fi
exec "$build/stillsentinel-report" "$@"
