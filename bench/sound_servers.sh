#!/usr/bin/env bash
# The cues through a real sound server: a private PulseAudio whose null sink
# plays to nowhere in real time, and a private PipeWire whose graph a driver
# without a device paces (the sound tests' own, tests/sound/pipewire/). Each
# runs in a scratch folder of its own, with no bus and nothing of the user's.
#
#   bench/sound_servers.sh BUILD RESULTS
#
# BUILD holds about_press and held_game (bench.sh's build-bench/), RESULTS
# (made if missing) gets the raw output; DISPLAY must name a running X server
# (bench.sh starts a private Xvfb). Writes, in RESULTS:
#
#   about-pulse.txt          About's press-to-message time (about_press).
#   about-pulse-awake.txt    The same while another stream keeps the null sink
#                            running, as something playing keeps a sound card's
#                            sink: an idle null sink sleeps up to 2 s, and a new
#                            stream waits for it to wake.
#   about-pipewire.txt       About through PipeWire.
#   play-pulse.txt, play-pipewire.txt
#                            CPU in play at 100 ms ticks (held_game, 3 runs).
#   underruns-pulse.txt      "busy=0|2 underruns=N": the "Implicit underrun"
#                            lines the server logs while the held game plays
#                            10 s, quiet and with two busy loops of our own at
#                            normal priority (3 runs each). A stream that
#                            closes can log one too: the quiet runs show how
#                            many come without load. "cuts=N" counts the
#                            gaps inside a cue that a player hears, found by
#                            bench/cue_gaps in a recording of the null sink's
#                            monitor made during the same run.
#
# Prints nothing when neither server is installed. Not part of test.sh: it
# measures durations.
set -euo pipefail
build=$1
results=$2
mkdir -p "$results"
# The runs below add their lines to these files one by one; a results folder
# used before must not mix an older run into this one's.
rm -f "$results/play-pulse.txt" "$results/play-pipewire.txt" "$results/underruns-pulse.txt"
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
server_pid=
recorder_pid=
busy_pids=()
cleanup() {
  for pid in "${busy_pids[@]}" $recorder_pid $server_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# The environment of a private server in folder $1: every place a client or
# the server would look for the user's things points into it.
private() {
  local folder=$1
  echo HOME="$folder" XDG_CONFIG_HOME="$folder" XDG_RUNTIME_DIR="$folder" \
    PULSE_RUNTIME_PATH="$folder" PULSE_STATE_PATH="$folder" PIPEWIRE_RUNTIME_DIR="$folder" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$folder/no-bus" \
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$folder/no-bus"
}
stop_server() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  server_pid=
}
held_game() {
  "$build/held_game" --hold-ms 100 --cpu-after-ms 1000 --cpu-for-ms 10000 --periods 100 \
    --errors-file /dev/null
}

# --- PulseAudio ---------------------------------------------------------------
if command -v pulseaudio >/dev/null; then
  pulse=$work/pulse
  mkdir -m 700 "$pulse"
  # shellcheck disable=SC2046  # private prints words to split
  env $(private "$pulse") pulseaudio -n --daemonize=no --system=no --use-pid-file=no \
    --exit-idle-time=-1 --disable-shm=yes --high-priority=no --realtime=no --no-cpu-limit=yes \
    --log-target=stderr --log-level=debug -L module-null-sink \
    -L "module-native-protocol-unix socket=$pulse/socket auth-anonymous=1" \
    >"$results/pulseaudio.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 100); do [ -S "$pulse/socket" ] && break; sleep 0.1; done
  export PULSE_SERVER="unix:$pulse/socket" SDL_AUDIODRIVER=pulseaudio
  "$build/about_press" --presses 9 --closed 3 >"$results/about-pulse.txt" || true
  if command -v pacat >/dev/null; then
    pacat --latency-msec=20 --raw --format=s16le --rate=44100 --channels=2 /dev/zero &
    awake_pid=$!
    "$build/about_press" --presses 9 --closed 3 >"$results/about-pulse-awake.txt" || true
    kill "$awake_pid"
    wait "$awake_pid" 2>/dev/null || true
  fi
  for _ in 1 2 3; do held_game >>"$results/play-pulse.txt"; done
  underruns() { grep -c 'Implicit underrun' "$results/pulseaudio.log" || true; }
  for busy in 0 2; do
    for _ in $(seq "$busy"); do
      sh -c 'while :; do :; done' &
      busy_pids+=($!)
    done
    for run in 1 2 3; do
      before=$(underruns)
      recording=$results/null-monitor-busy$busy-run$run.raw
      parec -s "$PULSE_SERVER" -d null.monitor --raw --format=s16le --rate=44100 --channels=2 \
        >"$recording" 2>/dev/null &
      recorder_pid=$!
      held_game >/dev/null
      kill "$recorder_pid"
      wait "$recorder_pid" 2>/dev/null || true
      recorder_pid=
      cuts=nan
      if [ -s "$recording" ]; then
        cuts=$("$build/bench/cue_gaps" --cues "$build" "$recording" | sed -n 's/^cuts=\([0-9]*\).*/\1/p')
      fi
      rm -f "$recording"
      echo "busy=$busy underruns=$(($(underruns) - before)) cuts=${cuts:-nan} load=$(cut -d' ' -f1 /proc/loadavg)" \
        >>"$results/underruns-pulse.txt"
    done
    for pid in "${busy_pids[@]}"; do
      kill "$pid"
      wait "$pid" 2>/dev/null || true
    done
    busy_pids=()
  done
  stop_server
  unset PULSE_SERVER
fi

# --- PipeWire -------------------------------------------------------------------
if command -v pipewire >/dev/null; then
  wire=$work/pipewire
  mkdir -m 700 "$wire"
  mkdir -p "$wire/pipewire/client.conf.d"
  cp "$root/tests/sound/pipewire/ports.conf" "$wire/pipewire/client.conf.d/"
  # shellcheck disable=SC2046
  env $(private "$wire") pipewire -c "$root/tests/sound/pipewire/server.conf" \
    >"$results/pipewire.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 100); do [ -S "$wire/pipewire-0" ] && break; sleep 0.1; done
  # The clients read their configuration from XDG_CONFIG_HOME, which keeps
  # the player's table beside it.
  cp -r "${XDG_CONFIG_HOME:-$HOME/.config}/Quillet" "$wire/" 2>/dev/null || true
  (
    # shellcheck disable=SC2046
    export $(private "$wire") SDL_AUDIODRIVER=pipewire
    export DISPLAY
    "$build/about_press" --presses 9 --closed 3 >"$results/about-pipewire.txt" || true
    for _ in 1 2 3; do held_game >>"$results/play-pipewire.txt"; done
  )
  stop_server
fi
