#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: installs the Debian packages that are
# missing, then configures and builds into build/. Works on Debian 12 (bookworm)
# and Debian 13 (trixie) from the same lists: every name below exists on both,
# unversioned where Debian offers an unversioned name (libclang-rt-dev follows
# the release's default clang).
#
#   scripts/setup.sh        everything test.sh needs: all packages but the
#                           benchmarks', every target
#   scripts/setup.sh game   what run.sh needs: the build's packages, and the game
#                           alone (its target brings its cues into build/)
#
# Idempotent and non-interactive.
set -euo pipefail

# The build and the test suite. lrelease (qt6-l10n-tools) compiles the
# translations, qt6-translations-l10n holds Qt's own; the widget tests stand
# in for a screen reader through Qt's private GUI header (qt6-base-private-dev).
BUILD_PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev libgl-dev
  qt6-l10n-tools qt6-translations-l10n
  qt6-base-private-dev
  libpulse-dev
  fonts-ipafont-gothic
  googletest libgtest-dev libgmock-dev
)
# Checking the installed files and the Debian package.
INSTALL_CHECK_PACKAGES=(desktop-file-utils appstream dpkg-dev groff-base lintian)
# Sanitizer builds and fuzzing.
HARDENING_PACKAGES=(clang libclang-rt-dev)
# The naming check reads every C++ file of the tree, the benchmarks' included, and
# clang-tidy must compile a file to read its names: so the test suite installs
# the headers the benchmarks include (Google Benchmark, libxdo, valgrind's
# callgrind.h), though it never builds the benchmarks themselves.
LINT_PACKAGES=(clang-tidy libbenchmark-dev libxdo-dev valgrind)
# Benchmarks (bench.sh only).
BENCH_PACKAGES=(xvfb xdotool libxdo-dev valgrind libbenchmark-dev)
# The volume mixer and recording tests: a private PulseAudio server with a null
# sink, pactl and parec; a private PipeWire server, pw-dump, pw-record and
# pw-link (pipewire-bin holds the programs only, not the services that make
# PipeWire a desktop's sound server).
# Only the test suite installs them, and never the PulseAudio server over a
# desktop's PipeWire: the pulseaudio package would replace pipewire-pulse, and
# the user's sound with it. There the test says why it skips.
MIXER_TEST_PACKAGES=(pulseaudio-utils pipewire-bin)
if ! dpkg-query -W -f='${Status}' pipewire-pulse 2>/dev/null | grep -q 'install ok installed'; then
  MIXER_TEST_PACKAGES+=(pulseaudio)
fi

# Configuring needs GoogleTest even when only the game is built: the test
# targets are always part of the build tree, so run.sh and test.sh can share it.
case "${1:-all}" in
  all)
    PACKAGES=("${BUILD_PACKAGES[@]}" "${INSTALL_CHECK_PACKAGES[@]}" "${HARDENING_PACKAGES[@]}"
      "${LINT_PACKAGES[@]}" "${MIXER_TEST_PACKAGES[@]}")
    TARGETS=()
    ;;
  game)
    PACKAGES=("${BUILD_PACKAGES[@]}")
    TARGETS=(--target quillet)
    ;;
  *)
    echo "usage: $0 [all|game]" >&2
    exit 2
    ;;
esac
if [ "${QUILLET_SETUP_BENCH:-0}" = 1 ]; then PACKAGES+=("${BENCH_PACKAGES[@]}"); fi

missing_packages() {
  local package
  for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      printf '%s\n' "$package"
    fi
  done
}

release_name() {
  local name
  # shellcheck disable=SC1091  # the system's own file
  name=$(. /etc/os-release 2>/dev/null && echo "${PRETTY_NAME:-}")
  echo "${name:-this system}"
}

# Names the packages that the archive does not offer here, with the release, so
# that a list gone stale on a new Debian says which name to change; apt-get
# would only say that it could not find the first one, and install nothing.
check_available() {
  local package candidate unavailable=()
  for package in "$@"; do
    candidate=$(apt-cache policy "$package" 2>/dev/null | sed -n 's/^ *Candidate: *//p')
    if [ -z "$candidate" ] || [ "$candidate" = "(none)" ]; then
      unavailable+=("$package")
    fi
  done
  if [ "${#unavailable[@]}" -ne 0 ]; then
    echo "setup: not found in the package lists of $(release_name): ${unavailable[*]}" >&2
    exit 1
  fi
}

install_missing() {
  local missing
  mapfile -t missing < <(missing_packages)
  [ "${#missing[@]}" -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "These packages are missing and sudo is not available: ${missing[*]}" >&2
      exit 1
    fi
    sudo=(sudo)
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  check_available "${missing[@]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
}

build() {
  local root build_dir
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  build_dir="$root/build"
  cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build_dir" -j "$(nproc)" "$@"
}

install_missing
build "${TARGETS[@]}"
