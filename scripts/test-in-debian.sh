#!/usr/bin/env bash
# Runs COMMAND (default: the test suite) on a fresh Debian SUITE in a chroot, as root:
#   sudo bash scripts/test-in-debian.sh [--turn LOCKFILE] trixie [COMMAND...]
# With --turn, the packages are installed and the tree built first (scripts/build.sh), and COMMAND
# then waits for a lock on LOCKFILE: .ci/run readies both chroots at once and runs their suites one
# at a time.
# The bootstrapped base is cached outside the clone and each run starts from a clean copy of it,
# so nothing of the host's build or of an earlier run leaks in. Delete the cached base to
# bootstrap again. Exits with COMMAND's exit code.
set -euo pipefail

turn=""
if [ "${1:-}" = --turn ]; then turn=${2:?--turn needs a lock file}; shift 2; fi
suite=${1:?usage: test-in-debian.sh [--turn LOCKFILE] SUITE [COMMAND...]}
shift
[ $# -gt 0 ] || set -- bash scripts/test.sh
[ "$(id -u)" -eq 0 ] || { echo "test-in-debian.sh: needs root (chroot, mount)" >&2; exit 2; }
src=$(cd "$(dirname "$0")/.." && pwd)
cache=/var/cache/stillsentinel
base=$cache/$suite-base.tar
log() { echo "[test-in-debian $(date +%T)] $*" >&2; }

# Print "URI SUITE" for every enabled deb entry of the host's apt sources, both formats.
host_sources() {
  local files=() f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    if [ -f "$f" ]; then files+=("$f"); fi
  done
  [ ${#files[@]} -gt 0 ] || return 0
  awk '
    function flush(  i, j, u, s) {
      if (types ~ /(^| )deb( |$)/ && tolower(enabled) != "no") {
        nu = split(uris, u, " "); ns = split(suites, s, " ")
        for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++) print u[i], s[j]
      }
      types = uris = suites = enabled = ""
    }
    FNR == 1 { flush() }
    /^[[:space:]]*#/ { next }
    FILENAME ~ /\.sources$/ {
      if (NF == 0) { flush(); next }
      key = tolower($1); val = $0; sub(/^[^:]*:[[:space:]]*/, "", val)
      if (key == "types:") types = val
      else if (key == "uris:") uris = val
      else if (key == "suites:") suites = val
      else if (key == "enabled:") enabled = val
      next
    }
    $1 == "deb" { line = $0; sub(/\[[^]]*\]/, "", line); split(line, f, " "); print f[2], f[3] }
    END { flush() }
  ' "${files[@]}"
}

# The host's own release tells which entries are Debian's archive, its updates and its security.
host=$(. /etc/os-release && echo "$VERSION_CODENAME")
pairs=$(host_sources)
uri_for() { awk -v s="$1" '$2 == s { print $1; exit }' <<<"$pairs"; }
mirror=$(uri_for "$host")
updates=$(uri_for "$host-updates")
security=$(uri_for "$host-security")
[ -n "$mirror" ] || { echo "test-in-debian.sh: no apt source for '$host' on this machine" >&2; exit 2; }

root=""
# Detach every mount under a chroot and end what still runs in it, then delete it. Never delete
# while something is still mounted there: a bound /dev would take the host's device nodes with it.
cleanup() {
  local dir=$1 pid
  [ -n "$dir" ] && [ -d "$dir" ] || return 0
  for pid in /proc/[0-9]*; do
    if [ "$(readlink "$pid/root" 2>/dev/null)" = "$dir" ]; then kill -9 "${pid#/proc/}" 2>/dev/null || true; fi
  done
  awk -v d="$dir/" 'index($2, d) == 1 { print $2 }' /proc/mounts | sort -r | while read -r m; do
    umount -l "$m" || true
  done
  if awk -v d="$dir/" 'index($2, d) == 1 { found = 1 } END { exit !found }' /proc/mounts; then
    echo "test-in-debian.sh: still mounted under $dir; left in place" >&2
  else
    rm -rf --one-file-system "$dir"
  fi
}
trap 'cleanup "$root"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir -p "$cache/$suite-debs/partial"
# Two suites may start at once (.ci/run): one installs debootstrap, the other waits for it.
(
  flock 7
  command -v debootstrap >/dev/null || { apt-get update -qq && apt-get install -y -qq debootstrap; }
) 7>"$cache/host-apt.lock"

if [ ! -f "$base" ]; then
  log "bootstrapping $suite from $mirror"
  root=$(mktemp -d "/var/tmp/stillsentinel-$suite-base.XXXXXX")
  debootstrap --variant=minbase --cache-dir="$cache/$suite-debs" "$suite" "$root" "$mirror" >&2
  tar -C "$root" --numeric-owner -cf "$base.part" . && mv "$base.part" "$base"
  cleanup "$root"
  log "cached $base"
fi

root=$(mktemp -d "/var/tmp/stillsentinel-$suite.XXXXXX")
tar -C "$root" --numeric-owner -xpf "$base"
chmod 755 "$root"  # mktemp makes it 0700: the chroot's / would shut out _apt and test users

# The same archive, updates and security hosts as this machine, for SUITE.
rm -f "$root/etc/apt/sources.list"
{
  printf 'Types: deb\nURIs: %s\nSuites: %s%s\nComponents: main\n' \
    "$mirror" "$suite" "${updates:+ $suite-updates}"
  [ -z "$security" ] || printf '\nTypes: deb\nURIs: %s\nSuites: %s-security\nComponents: main\n' \
    "$security" "$suite"
} >"$root/etc/apt/sources.list.d/debian.sources"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
# Packages must not start services in the chroot.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d" && chmod +x "$root/usr/sbin/policy-rc.d"
# The chroot is thrown away after the run: dpkg need not sync each file it unpacks.
echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/unsafe-io"

mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev" && mount --make-slave "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
mount -t tmpfs tmpfs "$root/dev/shm"
mount -t tmpfs tmpfs "$root/tmp"
mount --bind "$cache/$suite-debs" "$root/var/cache/apt/archives"

# The tree as git sees it (tracked and untracked-but-not-ignored files that exist): no build/, dist/.
mkdir -p "$root/work/src"
git -C "$src" ls-files -co --exclude-standard -z |
  while IFS= read -r -d '' f; do if [ -e "$src/$f" ] || [ -L "$src/$f" ]; then printf '%s\0' "$f"; fi; done |
  tar -C "$src" --null -T - -cf - | tar -C "$root/work/src" -xf -

# A clean environment: no DISPLAY or WINE* of the host, and no TMPDIR (Wine 10 aborts when it is set).
# In the background so that a signal reaches our trap at once; cleanup ends what runs inside.
# Nothing inside holds the turn (fd 8): a daemon left running must not keep it from the next suite.
inside() {
  env -i HOME=/root LANG=C.UTF-8 USER=root LOGNAME=root TERM="${TERM:-dumb}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    chroot "$root" /bin/sh -c 'cd /work/src && exec "$@"' sh "$@" </dev/null 8>&- &
  wait $!
}
rc=0
if [ -n "$turn" ]; then
  log "installing the packages in $suite and building"
  inside bash -c 'bash scripts/setup-debian.sh && bash scripts/build.sh' || rc=$?
  [ "$rc" -eq 0 ] || { log "$suite: installing or building failed, exit $rc"; exit "$rc"; }
  exec 8>"$turn"
  flock 8
fi
log "running in $suite: $*"
inside "$@" || rc=$?
log "$suite: exit $rc"
# The turn is the next suite's while this chroot is taken down.
[ -z "$turn" ] || exec 8>&-
exit "$rc"
