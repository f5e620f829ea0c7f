#!/usr/bin/env bash
# Installs what is missing, builds the game (and only the game), and starts it.
set -euo pipefail
cd "$(dirname "$0")"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Quillet needs a graphical display and none was found; to run it headless, use: xvfb-run ./run.sh" >&2
  exit 1
fi

scripts/setup.sh game
exec build/quillet
