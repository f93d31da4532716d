#!/usr/bin/env bash
# Builds StillSentinel and makes dist/StillSentinel-<version>-win-x64.zip.
# Signs both exes when STILLSENTINEL_SIGN_PFX and STILLSENTINEL_SIGN_PASSWORD_FILE
# name a PKCS#12 file and its password file (see README, "Verifying a release").
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
python3 scripts/package.py --exe build/StillSentinel.exe --out dist
