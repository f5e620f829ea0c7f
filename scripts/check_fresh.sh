#!/usr/bin/env bash
# The release check: proves the README's two commands on a bare Debian, where no
# hand-installed package can hide a missing install step.
#
#   scripts/check_fresh.sh [bookworm|trixie|all]      (all by default)
#
# For each release, one after the other: a minimal Debian made with debootstrap
# (--variant=minbase, with git and ca-certificates, as a new user starts out), a
# fresh clone of the current commit in it, ./test.sh there as root, then ./run.sh
# under xvfb-run until the game's main window is mapped. It prints one line per
# release: passed or failed, the time taken, and ctest's summary or the first
# error. The logs stay in build-fresh/<release>/ (test.log, run.log).
#
# The bare system is made once per release and kept in build-fresh/<release>/base
# (delete that folder to make it anew); every check starts from a copy of it. The
# .deb files apt downloads are kept in build-fresh/<release>/archives so that a
# second check need not fetch them again; what gets installed is still only what
# the project's own scripts install. Uncommitted changes are not part of a check.
#
# Needs root, the Debian archive and about 8 GB of disk; installs debootstrap when
# it is missing. Every mount is made in a private mount namespace and undone when
# the check ends, also when it is interrupted. Not part of test.sh or CI.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="$root/build-fresh"
mirror="${QUILLET_FRESH_MIRROR:-http://deb.debian.org/debian}"
chroot_path=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

# --- inside the private mount namespace: one release ---------------------------

# Global, not local: the traps read them after check_release has returned.
sysroot=
result=
mounted=()

check_release() {
  local release=$1 commit=$2
  local dir="$work/$release"
  local base="$dir/base"
  sysroot="$dir/root"
  result="$dir/result"

  # shellcheck disable=SC2317  # run by the trap below
  finish() {
    local status=$?
    local pid m
    # Whatever still runs in the system (the game, Xvfb, a test) goes first, so
    # that its mounts can be undone.
    for pid in /proc/[0-9]*; do
      if [ "$(readlink "$pid/root" 2>/dev/null)" = "$sysroot" ]; then
        kill -KILL "${pid#/proc/}" 2>/dev/null || true
      fi
    done
    for ((m = ${#mounted[@]} - 1; m >= 0; m--)); do
      umount -R "${mounted[m]}" 2>/dev/null || umount -R -l "${mounted[m]}" 2>/dev/null || true
    done
    exit "$status"
  }
  trap finish EXIT
  trap 'report failed "interrupted"; exit 130' INT TERM HUP

  # The outcome, read by the caller: passed or failed, then what shows it.
  report() { printf '%s\n%s\n' "$1" "$2" >"$result"; }

  mkdir -p "$dir"
  if [ ! -f "$base/.complete" ]; then
    rm -rf --one-file-system "$base"
    if ! debootstrap --variant=minbase --include=git,ca-certificates "$release" "$base" \
      "$mirror" >"$dir/debootstrap.log" 2>&1; then
      report failed "debootstrap: $(grep -m1 -E '^E: ' "$dir/debootstrap.log" ||
        tail -n1 "$dir/debootstrap.log")"
      return 1
    fi
    touch "$base/.complete"
  fi

  rm -rf --one-file-system "$sysroot"
  cp -a "$base" "$sysroot"
  cp /etc/resolv.conf "$sysroot/etc/resolv.conf"
  mkdir -p "$dir/archives/partial"

  bind() {
    mount "$@"
    mounted+=("${*: -1}")
  }
  bind -t proc proc "$sysroot/proc"
  bind -t sysfs sysfs "$sysroot/sys"
  bind --rbind /dev "$sysroot/dev"
  mount --make-rslave "$sysroot/dev"
  bind --bind "$dir/archives" "$sysroot/var/cache/apt/archives"

  git clone -q --no-checkout "$root" "$sysroot/root/quillet"
  git -C "$sysroot/root/quillet" checkout -q --detach "$commit"

  in_chroot() {
    chroot "$sysroot" /usr/bin/env -i HOME=/root LANG=C.UTF-8 PATH="$chroot_path" \
      TERM=dumb "$@" </dev/null
  }

  # --- ./test.sh, as a new user runs it
  if ! in_chroot bash -c 'cd /root/quillet && ./test.sh' >"$dir/test.log" 2>&1; then
    report failed "test.sh: $(first_error "$dir/test.log")"
    return 1
  fi
  local tests
  tests=$(grep -E '^[0-9]+% tests passed' "$dir/test.log" | tail -n1)

  # --- ./run.sh on a display of its own, until the main window is mapped. The
  # display and the tool that looks for the window are the check's own packages,
  # installed only now, after test.sh has shown that its set-up is complete.
  cat >"$sysroot/root/run-check.sh" <<'EOF'
#!/bin/bash
# Starts the game as run.sh does and waits for its main window to be mapped.
cd /root/quillet
./run.sh >/root/run-game.log 2>&1 &
game=$!
start=$SECONDS
for _ in $(seq 900); do
  if xdotool search --onlyvisible --class quillet >/dev/null 2>&1; then
    echo "window mapped after $((SECONDS - start)) s"
    kill "$game"
    exit 0
  fi
  kill -0 "$game" 2>/dev/null || break
  sleep 1
done
echo "no window mapped; run.sh said: $(tail -n1 /root/run-game.log)"
kill "$game" 2>/dev/null
exit 1
EOF
  chmod +x "$sysroot/root/run-check.sh"
  if ! in_chroot env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
    --no-install-recommends xvfb xauth xdotool >"$dir/run.log" 2>&1 ||
    ! in_chroot xvfb-run -a -s '-screen 0 1280x1024x24' /root/run-check.sh >>"$dir/run.log" 2>&1; then
    cat "$sysroot/root/run-game.log" >>"$dir/run.log" 2>/dev/null || true
    report failed "test.sh: $tests; run.sh: $(tail -n1 "$dir/run.log")"
    return 1
  fi
  report passed "test.sh: $tests; run.sh: $(tail -n1 "$dir/run.log")"
}

# What went wrong, from a log: the first line of the first kind found, from
# apt's and the scripts' own messages to a compiler's, or else the last line.
# A failed ctest run also names its first failed test.
first_error() {
  local pattern line
  for pattern in '^E: ' '^setup: ' '^naming check: .*(break|not compile|failed)' \
    '^hardening: FAILED' 'tests failed out of [0-9]+$' '^FAIL' 'error:'; do
    line=$(grep -m1 -E "$pattern" "$1") && break
  done
  [ -n "$line" ] || line=$(tail -n1 "$1")
  local failed_test
  failed_test=$(grep -A1 -m1 '^The following tests FAILED:' "$1" | tail -n1 |
    sed 's/^[[:space:]]*//') || true
  printf '%s%s\n' "$line" "${failed_test:+ (first: $failed_test)}"
}

if [ "${1:-}" = --inside ]; then
  check_release "$2" "$3"
  exit $?
fi

# --- the check ----------------------------------------------------------------

case "${1:-all}" in
  all) releases=(bookworm trixie) ;;
  bookworm | trixie) releases=("$1") ;;
  *)
    echo "usage: $0 [bookworm|trixie|all]" >&2
    exit 2
    ;;
esac
if [ "$(id -u)" -ne 0 ]; then
  echo "check_fresh: needs root, for debootstrap and chroot" >&2
  exit 2
fi
if ! command -v debootstrap >/dev/null 2>&1; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
fi
commit=$(git -C "$root" rev-parse HEAD)
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
  echo "check_fresh: uncommitted changes are not checked; checking $commit" >&2
fi

failed=0
for release in "${releases[@]}"; do
  rm -f "$work/$release/result"
  start=$SECONDS
  unshare --mount --propagation private "$0" --inside "$release" "$commit" || failed=1
  outcome=failed
  details="no outcome was written (logs in $work/$release/)"
  if [ -f "$work/$release/result" ]; then
    { read -r outcome && read -r details; } <"$work/$release/result" || true
  fi
  [ "$outcome" = passed ] || failed=1
  echo "$release: $outcome in $((SECONDS - start)) s; $details"
done
exit "$failed"
