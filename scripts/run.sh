#!/usr/bin/env bash
# Builds StillSentinel and starts it under Wine, with a Japanese font for its dialogs.
# Uses your X display; without one it starts a private Xvfb and tells you how to reach it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh

# Wine 10 (Debian 13) aborts at start whenever TMPDIR is set.
unset TMPDIR
export WINEPREFIX="${WINEPREFIX:-$HOME/.local/share/stillsentinel/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

if [ -z "${DISPLAY:-}" ]; then
  display=":77"
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  echo "No X display: started Xvfb on $display (pid $!). Screenshot with: import -display $display -window root shot.png"
  export DISPLAY="$display"
  sleep 1
fi

if [ ! -d "$WINEPREFIX" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i
fi
# The dialogs ask for "MS UI Gothic"; IPAGothic renders their Japanese texts.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /t REG_SZ /d IPAGothic /f >/dev/null

# The exe keeps its INI and logs beside itself: run a copy from a folder of its own.
app_dir="$HOME/.local/share/stillsentinel/app"
mkdir -p "$app_dir"
cp build/StillSentinel.exe "$app_dir/"
echo "Starting $app_dir/StillSentinel.exe (right-click its tray icon for the menu)"
cd "$app_dir"
exec wine StillSentinel.exe
