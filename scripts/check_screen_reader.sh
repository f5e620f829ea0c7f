#!/usr/bin/env bash
# The release check for a player who cannot see the screen: the real Orca,
# listening to the real game, while a scripted player plays a whole game by
# keys (scripts/screen_reader_game.py) and types a name, then a second game
# that does not rank, then a third that ends while the high-score table is
# open. Prints what Orca said at each step, and fails when Orca did not say
# what the player needs at one of them.
#
#   scripts/check_screen_reader.sh [host|trixie|all]      (all by default)
#
# host: this machine's own Debian (12, bookworm, with Qt 6.4 and Orca 43).
# trixie: Debian 13 (Qt 6.8 and its Orca) in a chroot made from the bare system
# that scripts/check_fresh.sh keeps in build-fresh/trixie/base (made here when
# missing), with the game built there from a fresh clone of HEAD.
#
# Each session has an X server (Xvfb) and a window manager of its own, its own
# session and accessibility buses, and Orca with no speech synthesizer: Orca's
# debug log still records every "SPEECH OUTPUT" line, which is what this check
# reads; the session's logs (Orca's, the game's, the X server's) stay in
# build/screen-reader/ of the tree that ran it. Installs what it needs with
# apt-get. Needs root for the chroot. Not part of test.sh, which needs no display.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PACKAGES=(orca xvfb xauth xdotool openbox at-spi2-core dbus-x11 python3)

# --- one session, on the system it runs in ---------------------------------------
session() {
  local repo=$1 work
  work=$(mktemp -d)
  export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config"
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  local display=:$((90 + RANDOM % 100))
  export DISPLAY=$display
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  local xvfb=$!
  for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
  eval "$(dbus-launch --sh-syntax)"
  local pids=("$xvfb" "$DBUS_SESSION_BUS_PID")
  openbox >"$work/openbox.log" 2>&1 & pids+=($!)
  /usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 & pids+=($!)
  # The window manager and the bus settle before Orca and the game start.
  sleep 2
  # Orca writes its debug log through a block buffer, so the last lines it
  # spoke could reach the file only at its next burst of logging: the check
  # would wait for speech that was said in time. Orca runs the user's
  # customizations at start-up; these make the log line-buffered.
  mkdir -p "$work/orca-prefs"
  printf '%s\n' 'from orca import debug' \
    'if debug.debugFile: debug.debugFile.reconfigure(line_buffering=True)' \
    >"$work/orca-prefs/orca-customizations.py"
  orca --debug-file="$work/orca.log" -u "$work/orca-prefs" >"$work/orca.out" 2>&1 & pids+=($!)
  for _ in $(seq 100); do grep -q "SPEECH OUTPUT" "$work/orca.log" 2>/dev/null && break; sleep 0.1; done
  "$repo/build/quillet" >"$work/game.log" 2>&1 & pids+=($!)
  local status=0
  python3 "$repo/scripts/screen_reader_game.py" "$repo/build/quillet" "$work/orca.log" \
    "$XDG_CONFIG_HOME/Quillet/Quillet.conf" || status=$?
  kill "${pids[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
  # The logs stay for a look afterwards.
  mkdir -p "$repo/build/screen-reader"
  cp "$work"/*.log "$work"/*.out "$repo/build/screen-reader/" 2>/dev/null || true
  rm -rf "$work"
  return "$status"
}

install_missing() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  DEBIAN_FRONTEND=noninteractive apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

if [ "${1:-}" = --session ]; then
  session "$2"
  exit $?
fi

# --- Debian 13 in a chroot ---------------------------------------------------------
in_trixie() {
  local dir="$root/build-fresh/trixie" sysroot
  local base="$dir/base"
  sysroot="$dir/reader-root"
  if [ ! -f "$base/.complete" ]; then
    command -v debootstrap >/dev/null || install_missing debootstrap
    rm -rf --one-file-system "$base"
    mkdir -p "$dir"
    debootstrap --variant=minbase --include=git,ca-certificates trixie "$base" \
      "${QUILLET_FRESH_MIRROR:-http://deb.debian.org/debian}" >"$dir/debootstrap.log" 2>&1
    touch "$base/.complete"
  fi
  rm -rf --one-file-system "$sysroot"
  cp -a "$base" "$sysroot"
  cp /etc/resolv.conf "$sysroot/etc/resolv.conf"
  mkdir -p "$dir/archives/partial"
  mount -t proc proc "$sysroot/proc"
  mount -t sysfs sysfs "$sysroot/sys"
  mount --rbind /dev "$sysroot/dev"
  mount --make-rslave "$sysroot/dev"
  mount --bind "$dir/archives" "$sysroot/var/cache/apt/archives"
  git clone -q "$root" "$sysroot/root/quillet"
  local in_chroot=(chroot "$sysroot" /usr/bin/env -i HOME=/root LANG=C.UTF-8
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb)
  "${in_chroot[@]}" bash -c "cd /root/quillet && scripts/setup.sh game" >"$dir/reader-build.log" 2>&1 ||
    { echo "trixie: the game did not build (see $dir/reader-build.log)"; return 1; }
  "${in_chroot[@]}" bash -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
    --no-install-recommends ${PACKAGES[*]}" >>"$dir/reader-build.log" 2>&1 ||
    { echo "trixie: the session's packages did not install"; return 1; }
  echo "trixie: Qt $("${in_chroot[@]}" dpkg-query -W -f='${Version}' libqt6core6t64 2>/dev/null ||
    true), Orca $("${in_chroot[@]}" dpkg-query -W -f='${Version}' orca)"
  "${in_chroot[@]}" bash /root/quillet/scripts/check_screen_reader.sh --session /root/quillet </dev/null
}

case "${1:-all}" in
  host | trixie | all) ;;
  *) echo "usage: $0 [host|trixie|all]" >&2; exit 2 ;;
esac
if [ "${1:-all}" != trixie ]; then
  install_missing "${PACKAGES[@]}"
  "$root/scripts/setup.sh" game >/dev/null
  echo "host: $(. /etc/os-release && echo "$PRETTY_NAME"), Qt $(dpkg-query -W -f='${Version}' \
    libqt6core6 2>/dev/null || true), Orca $(dpkg-query -W -f='${Version}' orca)"
  session "$root"
fi
if [ "${1:-all}" != host ]; then
  [ "$(id -u)" -eq 0 ] || { echo "check_screen_reader: the chroot needs root" >&2; exit 2; }
  unshare --mount --propagation private bash -c "$(declare -f in_trixie install_missing); \
    root='$root'; PACKAGES=(${PACKAGES[*]}); in_trixie"
fi
