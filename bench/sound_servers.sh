#!/usr/bin/env bash
# The cues through a real sound server: a private PulseAudio whose null sink
# plays to nowhere in real time, and a private PipeWire whose graph a driver
# without a device paces (the sound tests' own, tests/sound/pipewire/). Each
# runs in a scratch folder of its own, with no bus and nothing of the user's.
#
#   bench/sound_servers.sh BUILD RESULTS [OTHER_CUE_BENCH]
#
# BUILD holds about_press, held_game and cue_bench (bench.sh's build-bench/),
# beside the game's cues; OTHER_CUE_BENCH, when given, is a cue_bench built
# against another player (bench/cue_bench.cpp says how), run in turn with this
# one's, three runs each, beside the same cues. RESULTS
# (made if missing) gets the raw output; DISPLAY must name a running X server
# (bench.sh starts a private Xvfb). Writes, in RESULTS:
#
#   cues-pulse.txt, cues-pulse-other.txt
#                            cue_bench through PulseAudio: memory, playAndWait,
#                            CPU at rest and in play, the game's and the
#                            server's (QUILLET_BENCH_SERVER_PID).
#   about-pulse.txt          About's press-to-message time (about_press).
#   first-sample-pulse.txt   "first_sample open|closed p50=.. p99=.. max=..":
#                            play() to the click's first sample on the null
#                            sink's monitor (bench/first_sample.cpp), with the
#                            stream open and after silence closed it.
#   about-pulse-awake.txt    The same while another stream keeps the null sink
#                            running, as something playing keeps a sound card's
#                            sink: an idle null sink sleeps up to 2 s, and a new
#                            stream waits for it to wake.
#   about-pipewire.txt       About through PipeWire's PulseAudio server.
#   cues-pipewire.txt        cue_bench through PipeWire's PulseAudio server.
#   play-pulse.txt, play-pipewire.txt
#                            CPU in play at 100 ms ticks (held_game, 3 runs):
#                            a landing every tick, five times the cues of the
#                            game's fastest fall.
#   play500-pulse.txt, play500-pipewire.txt
#                            The same at 500 ms ticks, the game's fastest fall.
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
other_cue_bench=${3:-}
mkdir -p "$results"
# The runs below add their lines to these files one by one; a results folder
# used before must not mix an older run into this one's.
rm -f "$results/play-pulse.txt" "$results/play-pipewire.txt" "$results/play500-pulse.txt" \
  "$results/play500-pipewire.txt" "$results/underruns-pulse.txt" \
  "$results/cues-pulse.txt" "$results/cues-pulse-other.txt" "$results/cues-pipewire.txt" \
  "$results/first-sample-pulse.txt"
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
# At 100 ms ticks unless told another interval.
held_game() {
  local hold=${1:-100}
  "$build/held_game" --hold-ms "$hold" --cpu-after-ms 1000 --cpu-for-ms 10000 \
    --periods $((10000 / hold)) --errors-file /dev/null
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
  export PULSE_SERVER="unix:$pulse/socket"
  for _ in 1 2 3; do
    QUILLET_BENCH_SERVER_PID=$server_pid "$build/cue_bench" >>"$results/cues-pulse.txt" || true
    if [ -x "$other_cue_bench" ]; then
      # An earlier player on SDL2 picks its driver from this; libpulse ignores it.
      SDL_AUDIODRIVER=pulseaudio QUILLET_BENCH_SERVER_PID=$server_pid "$other_cue_bench" \
        >>"$results/cues-pulse-other.txt" || true
    fi
  done
  "$build/about_press" --presses 9 --closed 3 >"$results/about-pulse.txt" || true
  if command -v parec >/dev/null; then
    for series in open:300:40 closed:6000:8; do
      IFS=: read -r name idle plays <<<"$series"
      echo "first_sample $name $("$build/bench/first_sample" --cues "$build" --source null.monitor \
        --plays "$plays" --idle-ms "$idle" 2>/dev/null | sed 's/^first_sample_ms //')" \
        >>"$results/first-sample-pulse.txt" || true
    done
  fi
  if command -v pacat >/dev/null; then
    pacat --latency-msec=20 --raw --format=s16le --rate=44100 --channels=2 /dev/zero &
    awake_pid=$!
    "$build/about_press" --presses 9 --closed 3 >"$results/about-pulse-awake.txt" || true
    kill "$awake_pid"
    wait "$awake_pid" 2>/dev/null || true
  fi
  for _ in 1 2 3; do held_game >>"$results/play-pulse.txt"; done
  for _ in 1 2 3; do held_game 500 >>"$results/play500-pulse.txt"; done
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
# The player talks to PipeWire through its PulseAudio server, which answers a
# new stream only once it is linked to a sink. The private PipeWire runs no
# session manager: as in the sound tests, a linker of our own (pw-link
# watching the ports) links every new playback port to the configuration's
# null sink.
if command -v pipewire >/dev/null && command -v pw-link >/dev/null; then
  wire=$work/pipewire
  mkdir -m 700 "$wire"
  cp "$root/tests/sound/pipewire/server.conf" "$wire/server.conf"
  for client in client client-rt; do
    mkdir -p "$wire/pipewire/$client.conf.d"
    cp "$root/tests/sound/pipewire/ports.conf" "$wire/pipewire/$client.conf.d/ports.conf"
  done
  # shellcheck disable=SC2046  # private prints words to split
  env $(private "$wire") pipewire -c "$wire/server.conf" >"$results/pipewire.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 100); do [ -S "$wire/native" ] && break; sleep 0.1; done
  # The sink's ports, as the tests set them (PipeWire 1.x waits to be told).
  # shellcheck disable=SC2046
  env $(private "$wire") pw-cli set-param quillet-sink PortConfig '{ "direction": "Input",
    "mode": "dsp", "monitor": true, "format": { "mediaType": "audio", "mediaSubtype": "raw",
    "format": "F32P", "rate": 44100, "channels": 2, "position": [ "FL", "FR" ] } }' >/dev/null
  # shellcheck disable=SC2046,SC2016  # private prints words to split; the script is for sh
  env $(private "$wire") sh -c '
    pw-link --monitor --output | while read -r change port; do
      case "$change $port" in
        "+ quillet-sink:"* | "= quillet-sink:"* | "- "*) ;;
        *_MONO) pw-link "$port" quillet-sink:playback_FL; pw-link "$port" quillet-sink:playback_FR ;;
        *_FL | *_FR) pw-link "$port" "quillet-sink:playback_${port##*_}" ;;
      esac
    done' >/dev/null 2>&1 &
  recorder_pid=$!
  export PULSE_SERVER="unix:$wire/native"
  for _ in 1 2 3; do
    QUILLET_BENCH_SERVER_PID=$server_pid "$build/cue_bench" >>"$results/cues-pipewire.txt" || true
  done
  "$build/about_press" --presses 9 --closed 3 >"$results/about-pipewire.txt" || true
  for _ in 1 2 3; do held_game >>"$results/play-pipewire.txt"; done
  for _ in 1 2 3; do held_game 500 >>"$results/play500-pipewire.txt"; done
  stop_server
  kill "$recorder_pid" 2>/dev/null || true
  wait "$recorder_pid" 2>/dev/null || true
  recorder_pid=
  unset PULSE_SERVER
fi
