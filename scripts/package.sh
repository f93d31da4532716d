#!/usr/bin/env bash
# Builds StillSentinel and makes dist/StillSentinel-<version>-win-x64.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
python3 scripts/package.py --exe build/StillSentinel.exe --out dist
