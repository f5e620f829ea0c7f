#!/usr/bin/env bash
# Measures the game against a bare Qt Widgets window and prints one table.
#
# Installs what is missing (the build's packages and the benchmarks' own, as
# scripts/setup.sh lists them), builds the game and bench/ in Release into
# build-bench/, starts a private Xvfb display and runs every measurement there
# or on Qt's offscreen platform, with no sound server (the cues stay silent),
# and then the cues through a private PulseAudio and a private PipeWire where
# they are installed (bench/sound_servers.sh; the private PipeWire's streams are
# linked to its null sink by a linker of the script's own, as it runs no session
# manager): no display, no sound device and no network needed.
# Takes about half an hour, ten minutes of it a game of random presses
# (QUILLET_BENCH_SOAK_S sets its length in seconds). Each figure is a
# median over repeated runs; the bare window runs side by side in the same
# session. The raw output of every run is kept in build-bench/bench-results/.
#
# Not part of test.sh: it measures durations, which no test asserts.
#
# To compare with another version, build that version's bench targets into a
# folder of their own and name the folder in QUILLET_BENCH_BEFORE, for example
#
#   git worktree add /tmp/before <commit>
#   cmake -S /tmp/before -B /tmp/before/build-bench -DCMAKE_BUILD_TYPE=Release \
#     -DQUILLET_BUILD_BENCH=ON -DQUILLET_BUILD_TESTS=OFF
#   cmake --build /tmp/before/build-bench --target quillet cue_bench
#   QUILLET_BENCH_BEFORE=/tmp/before/build-bench ./bench.sh
#
# Its game then takes its turn in the start-up and memory runs beside this one
# and the bare window, and a second table shows both. A cue_bench built against
# another player (bench/cue_bench.cpp says how), named in
# QUILLET_BENCH_OTHER_CUE_BENCH, runs in turn with this one's through the same
# private PulseAudio, three runs each.

# The figures are stored with declare, under names made from the program's and
# the figure's (game_map_ms, error_p99_100): shellcheck cannot see them set.
# shellcheck disable=SC2154
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
build=${QUILLET_BENCH_BUILD_DIR:-$root/build-bench}
startup_runs=${QUILLET_BENCH_STARTUP_RUNS:-15}
before_build=${QUILLET_BENCH_BEFORE:-}
if [ -n "$before_build" ] && ! [ -x "$before_build/quillet" ] && ! [ -x "$before_build/cue_bench" ]; then
  echo "bench.sh: QUILLET_BENCH_BEFORE=$before_build holds neither quillet nor cue_bench" >&2
  exit 1
fi
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# --- packages -------------------------------------------------------------
# scripts/setup.sh holds the package lists and the code that installs the
# missing ones; its definitions are read without running its last two steps
# (install everything, build build/).
# shellcheck disable=SC1090
source <(sed '/^install_missing$/,$d' scripts/setup.sh)
if ! declare -F install_missing >/dev/null; then
  echo "bench.sh: scripts/setup.sh no longer defines install_missing" >&2
  exit 1
fi
# shellcheck disable=SC2034  # read by install_missing
PACKAGES=("${BUILD_PACKAGES[@]}" "${BENCH_PACKAGES[@]}")
install_missing

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# --- build ----------------------------------------------------------------
targets=(quillet bare_window startup_probe micro_bench cue_bench held_game tick_instructions
  decode_counter store_bench window_soak about_press cue_gaps first_sample)
echo "Building ${targets[*]} in $build (Release)..."
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_BENCH=ON \
  -DQUILLET_BUILD_TESTS=OFF && cmake --build "$build" --target "${targets[@]}" -j "$(nproc)"; } \
  >"$work/build.log" 2>&1; then
  tail -n 40 "$work/build.log" >&2
  exit 1
fi

results=$build/bench-results
rm -rf "$results"
mkdir -p "$results"

# --- environment ------------------------------------------------------------
# A private display: Xvfb picks a free number itself and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" \
  >"$results/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
if ! [ -s "$work/display" ]; then
  echo "bench.sh: Xvfb did not start (see $results/xvfb.log)" >&2
  exit 1
fi
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
export XDG_CONFIG_HOME=$work/config
# A player's table, so that the game reads a real file at start-up.
mkdir -p "$XDG_CONFIG_HOME/Quillet"
{
  echo "[Setting]"
  for rank in 0 1 2 3 4; do
    echo "HScore_Nm_$rank=player$rank"
    echo "HScore_Val_$rank=$(( (5 - rank) * 10000 ))"
  done
} >"$XDG_CONFIG_HOME/Quillet/Quillet.conf"
# The same player with the sound switched off: libpulse is never loaded.
mkdir -p "$work/config-quiet/Quillet"
{
  cat "$XDG_CONFIG_HOME/Quillet/Quillet.conf"
  echo "[Preferences]"
  echo "Sound=off"
} >"$work/config-quiet/Quillet/Quillet.conf"
# No sound server until bench/sound_servers.sh starts one: the user's is left
# alone, and the cues are silent.
export PULSE_SERVER=unix:$work/no-sound-server
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# --- statistics ---------------------------------------------------------------
# Numbers on standard input, one a line.
median() { sort -g | awk '{v[NR]=$1} END {if (NR==0) print "nan"; else if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }
# Nearest-rank percentile $1 (0 to 1).
percentile() { sort -g | awk -v p="$1" '{v[NR]=$1} END {if (NR==0) {print "nan"; exit} r=int(p*NR); if (r<p*NR) r++; if (r<1) r=1; print v[r]}'; }
absolute() { awk '{print ($1<0 ? -$1 : $1)}'; }
# The value of key $1 in "key=value ..." lines on standard input, one a line.
field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p"; }
fmt() { awk -v f="$1" -v x="$2" 'BEGIN {printf f, x}'; }
# "yes" when awk expression $1 holds; a figure missing ("nan") is not judged.
met() {
  case $1 in *nan*) echo "not measured"; return ;; esac
  awk "BEGIN {print (($1) ? \"yes\" : \"NO\")}"
}

bare=$build/bench/bare_window
game=$build/quillet
probe=$build/bench/startup_probe

# --- 1. start-up and memory ---------------------------------------------------
echo "1/6 Start-up and memory: $startup_runs runs of each program, in turn..."
programs=(bare game quiet)
if [ -x "$before_build/quillet" ]; then programs+=(before); fi
program_path() { case $1 in bare) echo "$bare" ;; game | quiet) echo "$game" ;; before) echo "$before_build/quillet" ;; esac; }
for _ in $(seq "$startup_runs"); do
  for who in "${programs[@]}"; do
    config=$XDG_CONFIG_HOME
    if [ "$who" = quiet ]; then config=$work/config-quiet; fi
    XDG_CONFIG_HOME=$config "$probe" --settle-ms 1000 -- "$(program_path "$who")" \
      >>"$results/startup-$who.txt" 2>>"$results/stderr.log"
  done
done
for who in "${programs[@]}"; do
  for key in map_ms rss_kb hwm_kb libs; do
    declare "${who}_${key}=$(field "$key" <"$results/startup-$who.txt" | median)"
  done
done

# --- 2. CPU at rest and in play -------------------------------------------------
echo "2/6 CPU at rest (3 x 10 s) and in play (5 x 10 s at 100 ms ticks, the same for the bare window; 3 x 10 s at 500 ms)..."
for _ in 1 2 3; do
  # Both programs sit idle side by side; neither is timed here.
  "$probe" --settle-ms 1000 --idle-ms 10000 -- "$bare" >>"$results/idle-bare.txt" \
    2>>"$results/stderr.log" &
  bare_probe=$!
  "$probe" --settle-ms 1000 --idle-ms 10000 -- "$game" >>"$results/idle-game.txt" \
    2>>"$results/stderr.log"
  wait "$bare_probe"
done
bare_idle=$(field idle_cpu_ms <"$results/idle-bare.txt" | median)
game_idle=$(field idle_cpu_ms <"$results/idle-game.txt" | median)
for _ in 1 2 3 4 5; do
  "$build/held_game" --hold-ms 100 --cpu-after-ms 1000 --cpu-for-ms 10000 --periods 100 \
    --errors-file "$results/period-errors-100.txt" >>"$results/play.txt" 2>>"$results/stderr.log"
done
play_cpu=$(field cpu_ms <"$results/play.txt" | median)
# The same at the game's own fastest speed, a pair falling a row every 500 ms:
# the game's thread does a fifth of the work (the cues are silent here: no
# sound server until section 9).
for _ in 1 2 3; do
  "$build/held_game" --hold-ms 500 --cpu-after-ms 1000 --cpu-for-ms 10000 --periods 10 \
    --errors-file /dev/null >>"$results/play-500.txt" 2>>"$results/stderr.log"
done
play500_cpu=$(field cpu_ms <"$results/play-500.txt" | median)
play500_threads=$(awk -v m="$play500_cpu" '{split($1, v, "="); if (v[2] + 0 == m + 0) {print; exit}}' \
  "$results/play-500.txt" | field threads)
first_start_us=$(field first_start_us <"$results/play.txt" | median)
first_tick_us=$(field first_tick_us <"$results/play.txt" | median)
# The thread break-down of the run whose total is the median.
play_threads=$(awk -v m="$play_cpu" '{split($1, v, "="); if (v[2] + 0 == m + 0) {print; exit}}' \
  "$results/play.txt" | field threads)
# The bare window swapping a picture at the same rate: what repainting ten
# times a second costs the toolkit with no game behind it.
for _ in 1 2 3 4 5; do
  "$probe" --settle-ms 1000 --idle-ms 10000 -- "$bare" --repaint-ms 100 \
    >>"$results/repaint-bare.txt" 2>>"$results/stderr.log"
done
bare_repaint_cpu=$(field idle_cpu_ms <"$results/repaint-bare.txt" | median)

# --- 3. timer accuracy -----------------------------------------------------------
echo "3/6 Tick period at 3000 ms (60 periods, about three and a half minutes)..."
"$build/held_game" --hold-ms 3000 --periods 60 --errors-file "$results/period-errors-3000.txt" \
  >>"$results/timer-3000.txt" 2>>"$results/stderr.log"
for interval in 100 3000; do
  errors=$results/period-errors-$interval.txt
  declare "periods_$interval=$(wc -l <"$errors")"
  declare "error_p50_$interval=$(absolute <"$errors" | median)"
  declare "error_p99_$interval=$(absolute <"$errors" | percentile 0.99)"
done

# --- 4. micro-benchmarks and instruction counts -------------------------------------
echo "4/6 Micro-benchmarks (5 repetitions each), callgrind and the score store at its cap..."
# Each iteration sets its position up and repaints untimed, which costs far
# more than the timed handler: a short minimum time keeps a repetition to a
# few thousand iterations. The benchmark with counters writes a file of its
# own, as the CSV writer wants the same counters in every row.
for part in handlers repaint; do
  if [ "$part" = handlers ]; then filter=-WithRepaint; else filter=WithRepaint; fi
  QT_QPA_PLATFORM=offscreen "$build/micro_bench" --benchmark_filter="$filter" \
    --benchmark_repetitions=5 --benchmark_min_time=0.02 \
    --benchmark_out="$results/micro-$part.csv" --benchmark_out_format=csv \
    >>"$results/micro.txt" 2>>"$results/stderr.log"
done
# The fall tick's repaint once more with the windows zoomed to 300 %, on an
# offscreen screen of 3840 x 2160 where that step fits.
QT_QPA_PLATFORM="offscreen:configfile=$root/bench/large_screen.json" QUILLET_BENCH_ZOOM=300 \
  "$build/micro_bench" --benchmark_filter=WithRepaint \
  --benchmark_repetitions=5 --benchmark_min_time=0.02 \
  --benchmark_out="$results/zoom300-repaint.csv" --benchmark_out_format=csv \
  >>"$results/micro.txt" 2>>"$results/stderr.log"
# The median row of a benchmark: its real (manual) time in microseconds, or
# the counter named $2.
micro() { cat "$results"/micro-*.csv | awk -F, -v name="\"bench$1/manual_time_median\"" '$1 == name {printf "%.1f", $3}'; }
micro_counter() { awk -F, -v name="\"bench$1/manual_time_median\"" -v col="\"$2\"" '$1 == "name" {for (i=1;i<=NF;i++) if ($i==col) c=i} $1 == name && c {printf "%.0f", $c}' "${3:-$results/micro-repaint.csv}"; }
zoom300() { awk -F, '$1 == "\"benchTickWithRepaint/manual_time_median\"" {printf "%.1f", $3}' "$results/zoom300-repaint.csv"; }
mkdir -p "$work/callgrind"
QT_QPA_PLATFORM=offscreen valgrind --tool=callgrind --collect-atstart=no --separate-threads=yes \
  --callgrind-out-file="$work/callgrind/ticks" "$build/tick_instructions" \
  >"$results/callgrind.txt" 2>&1
# Each kind's dump of the main thread (-01) holds 100 ticks.
instructions() {
  local file
  file=$(grep -l "^desc: Trigger: Client Request: $1\$" "$work/callgrind"/ticks.*-01)
  awk '/^summary:/ {printf "%.0f", $2/100}' "$file"
}

# A hostile score store at the size cap, in each shape store_bench knows: the
# worst load's median time and peak memory over the shapes, and the worst save.
"$build/bench/store_bench" 11 >"$results/store.txt"
store_worst() { awk -v f="$1" '{for (i=1;i<NF;i++) if ($i==f && $(i+1)>m) {m=$(i+1); s=$2}} END {printf "%.1f (%s)", m, s}' "$results/store.txt"; }
store_cap_kib=$(awk 'NR==1 {for (i=1;i<NF;i++) if ($i=="bytes") printf "%d", $(i+1)/1024}' "$results/store.txt")
store_load_ms=$(store_worst load_ms | cut -d' ' -f1)
store_peak_mb=$(store_worst load_peak_mb | cut -d' ' -f1)

# --- 5. sound --------------------------------------------------------------------
# The cues need a sound server: cue_bench runs in section 9, through a private
# PulseAudio. Field $2 of its line $1, the median of its runs, from
# cues-pulse$3.txt.
cue() { grep -s "^$1 " "$results/cues-pulse${3:-}.txt" | field "$2" | median; }

# --- 6. pictures decoded in play ---------------------------------------------------
echo "6/6 Pictures decoded during a scripted game..."
LD_PRELOAD=$build/bench/libdecode_counter.so "$build/held_game" --script \
  >"$results/script.txt" 2>"$results/script-stderr.txt"
decodes() { grep "^decodes phase=$1 " "$results/script-stderr.txt" | field created; }
startup_decodes=$(decodes startup)
play_decodes=$(decodes play)
modal_windows=$(field modal_windows <"$results/script.txt")

# --- 7. memory over many openings of the modal windows -------------------------------
echo "Memory: each modal window opened 400 times (about 40 s)..."
"$build/window_soak" --openings 50,400 >"$results/openings.txt" 2>>"$results/stderr.log"
opening() { grep "^window=$1 " "$results/openings.txt" | field "$2"; }

# --- 8. memory over a long game of random presses ------------------------------------
soak_s=${QUILLET_BENCH_SOAK_S:-600}
echo "Memory: a game of random presses for $soak_s s, the sound on..."
"$build/window_soak" --soak-s "$soak_s" --sample-s 30 >"$results/soak.txt" 2>>"$results/stderr.log"
soak() { grep "^soak_summary " "$results/soak.txt" | field "$1"; }
# A game shorter than a minute has no reading after its first minute.
soak_highest=$(soak max_after_60_kb)
if [ "${soak_highest:-0}" = 0 ]; then soak_highest=nan; fi
soak_curve=$(grep "^soak t_s=" "$results/soak.txt" | awk '{split($2, t, "="); split($3, r, "="); printf "%s%d s %.1f", (NR > 1 ? ", " : ""), t[2], r[2] / 1024}')

# --- 9. through real sound servers: About, CPU in play, underruns ------------------------
# bench/sound_servers.sh starts a private PulseAudio (a null sink) and a private
# PipeWire (a driver without a device) in turn, each in a scratch folder.
echo "Sound servers: cue_bench 3 times (about a minute each), About pressed 9 times with the sound off and with the device open, 3 times after silence; the held game 3 x 10 s at 100 and at 500 ms ticks; PulseAudio's underruns quiet and with two busy loops (about seven minutes)..."
bench/sound_servers.sh "$build" "$results" "${QUILLET_BENCH_OTHER_CUE_BENCH:-}" \
  2>>"$results/stderr.log" || true
# Field $2 of About's series $1 (off, open, closed) in file $3.
about_line() { grep -s "^about sound=$1 " "$results/$3" | field "$2"; }
# About's figures through the server whose file is $1: "off / open / closed",
# then the two differences, then whether they are within the targets.
about_figures() {
  local off open closed
  off=$(about_line off p50_ms "$1")
  open=$(about_line open p50_ms "$1")
  closed=$(about_line closed p50_ms "$1")
  awk -v f="${off:-nan}" -v o="${open:-nan}" -v c="${closed:-nan}" 'BEGIN {
    if (f == "nan" || o == "nan" || c == "nan") { printf "not measured | | | | not measured"; exit }
    printf "%s / %s / %s | | open +%.1f, closed +%.1f ms against the sound off | ≤ +90 ms open and closed | %s",
      f, o, c, o - f, c - f, (o - f <= 90 && c - f <= 90) ? "yes" : "NO" }'
}
# CPU in play through a server: the median of the runs in file $1, and its
# break-down by thread.
server_play() {
  local cpu threads
  if ! [ -s "$results/$1" ]; then
    echo "not measured | | | < 1 % | not measured"
    return
  fi
  cpu=$(field cpu_ms <"$results/$1" | median)
  threads=$(awk -v m="$cpu" '{split($1, v, "="); if (v[2] + 0 == m + 0) {print; exit}}' \
    "$results/$1" | field threads)
  echo "$(fmt "%.1f" "$cpu") | | by thread, ms: $(echo "$threads" | sed 's/held_game:/game (main):/; s/:/ /g; s/,/, /g') | < 1 % | $(met "$cpu < 100")"
}
# Figure $2 of each underrun run with $1 busy loops, or of every run for "any".
run_figures() {
  local busy=$1
  [ "$busy" = any ] && busy='[0-9]*'
  grep -s "^busy=$busy " "$results/underruns-pulse.txt" | field "$2"
}
listed() { paste -sd, - | sed 's/,/, /g'; }
underruns() { run_figures "$1" underruns | listed; }
cuts() { run_figures "$1" cuts | listed; }
all_cuts() { run_figures any cuts | awk '{s += $1} END {print NR ? s : "nan"}'; }
worst_underruns() { run_figures "$1" underruns | sort -g | tail -n1 | grep . || echo nan; }

# --- the table ----------------------------------------------------------------------
ms_per_core_percent() { fmt "%.2f" "$(awk -v c="$1" 'BEGIN {print c / 10000 * 100}')"; }
# The ratios and differences are shown rounded and judged unrounded: 1.052 ×
# is over 1.05 ×, though it shows as 1.05 to two places.
map_ratio=$(awk -v q="$game_map_ms" -v b="$bare_map_ms" 'BEGIN {printf "%.3f", q/b}')
rss_more=$(awk -v q="$game_rss_kb" -v b="$bare_rss_kb" 'BEGIN {printf "%.1f", (q-b)/1024}')
quiet_rss_more=$(awk -v q="$quiet_rss_kb" -v b="$bare_rss_kb" 'BEGIN {printf "%.1f", (q-b)/1024}')
hwm_more=$(awk -v q="$game_hwm_kb" -v b="$bare_hwm_kb" 'BEGIN {printf "%.1f", (q-b)/1024}')
mb() { awk -v k="$1" 'BEGIN {printf "%.1f", k/1024}'; }
ratio() { awk -v q="$1" -v b="$2" 'BEGIN {printf "%.2f", q/b}'; }
ms() { awk -v u="$1" 'BEGIN {printf "%.1f", u/1000}'; }

load_now() { cut -d' ' -f1 /proc/loadavg; }
# A fall tick's target: its instructions, which the load does not move, and
# its time on a quiet machine (a load average under 1); under load the time is
# shown but not judged.
tick_met() {
  awk -v us="$1" -v ins="$2" -v load="$(load_now)" 'BEGIN {
    if (ins > 15000) print "NO"; else if (us <= 20) print "yes";
    else if (load >= 1) printf "instructions yes; time not judged (load %s)", load; else print "NO" }'
}
# The first sample's figures in series $1 (open, closed): "p50 / p99 / max".
first_sample() {
  grep -s "^first_sample $1 " "$results/first-sample-pulse.txt" |
    awk '{for (i = 3; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
          printf "%s / %s / %s", v["p50"], v["p99"], v["max"]}'
}
# The worse p99 of the two series, or nan.
first_sample_p99() {
  grep -s "^first_sample " "$results/first-sample-pulse.txt" |
    awk 'BEGIN {m = "nan"} {for (i = 3; i <= NF; i++) { split($i, kv, "=");
          if (kv[1] == "p99" && (m == "nan" || kv[2] > m)) m = kv[2] }} END {print m}'
}
table=$results/table.md
{
  echo "| Measure | Quillet | Bare window | Ratio or note | Target | Met |"
  echo "|---|---|---|---|---|---|"
  echo "| Start-up: launch to window mapped, ms (median of $startup_runs) | $game_map_ms | $bare_map_ms | $map_ratio × | ≤ 1.05 × | $(met "$game_map_ms <= 1.05 * $bare_map_ms") |"
  echo "| VmRSS 1 s after mapping, MB | $(mb "$game_rss_kb") | $(mb "$bare_rss_kb") | $(ratio "$game_rss_kb" "$bare_rss_kb") ×, +$rss_more MB | ≤ bare + 3 MB | $(met "$game_rss_kb - $bare_rss_kb <= 3 * 1024") |"
  echo "| VmRSS 1 s after mapping, the sound switched off, MB | $(mb "$quiet_rss_kb") | $(mb "$bare_rss_kb") | +$quiet_rss_more MB; start-up $quiet_map_ms ms | ≤ bare + 1.5 MB | $(met "$quiet_rss_kb - $bare_rss_kb <= 1.5 * 1024") |"
  echo "| VmHWM 1 s after mapping, MB | $(mb "$game_hwm_kb") | $(mb "$bare_hwm_kb") | $(ratio "$game_hwm_kb" "$bare_hwm_kb") ×, +$hwm_more MB | | |"
  echo "| Shared libraries mapped 1 s after mapping (sound on / off) | $game_libs / $quiet_libs | $bare_libs | +$((game_libs - bare_libs)) / +$((quiet_libs - bare_libs)) | | |"
  echo "| CPU at the start screen, ms in 10 s (median of 3) | $(fmt "%.2f" "$game_idle") | $(fmt "%.2f" "$bare_idle") | | 0 ms | $(met "$game_idle < 0.5") |"
  echo "| CPU in play at 100 ms ticks, ms in 10 s (median of 5); bare: a picture swapped every 100 ms | $(fmt "%.1f" "$play_cpu") | $(fmt "%.1f" "$bare_repaint_cpu") | $(ms_per_core_percent "$play_cpu") % of a core; by thread, ms: $(echo "$play_threads" | sed 's/held_game:/game (main):/; s/:/ /g; s/,/, /g') | < 1 % | $(met "$play_cpu < 100") |"
  echo "| CPU in play at 500 ms ticks, the game's fastest, ms in 10 s (median of 3) | $(fmt "%.1f" "$play500_cpu") | | $(ms_per_core_percent "$play500_cpu") % of a core; by thread, ms: $(echo "$play500_threads" | sed 's/held_game:/game (main):/; s/:/ /g; s/,/, /g') | < 1 % | $(met "$play500_cpu < 100") |"
  echo "| Fall tick, pair falling, µs (median of 5) | $(micro TickFalling) | | $(instructions falling) instructions | ≤ 20 µs quiet, ≤ 15,000 instructions | $(tick_met "$(micro TickFalling)" "$(instructions falling)") |"
  echo "| Fall tick, a merge completes a cake, µs | $(micro TickCake) | | $(instructions cake) instructions | ≤ 20 µs quiet, ≤ 15,000 instructions | $(tick_met "$(micro TickCake)" "$(instructions cake)") |"
  echo "| Fall tick, two cakes and five cues, µs | $(micro TickTwoCakes) | | $(instructions two_cakes) instructions | ≤ 20 µs quiet, ≤ 15,000 instructions | $(tick_met "$(micro TickTwoCakes)" "$(instructions two_cakes)") |"
  echo "| Fall tick, next pair enters, µs | $(micro TickPairEnters) | | $(instructions pair_enters) instructions | ≤ 20 µs quiet, ≤ 15,000 instructions | $(tick_met "$(micro TickPairEnters)" "$(instructions pair_enters)") |"
  echo "| First Start of the process: the click's handler / the first tick, µs (median of 5) | $(fmt "%.0f" "$first_start_us") / $(fmt "%.0f" "$first_tick_us") | | the slice pictures are decoded once the window shows | | |"
  echo "| Fall tick with its repaint (offscreen), µs | $(micro TickWithRepaint) | | $(micro_counter TickWithRepaint widgets_painted) widgets, $(micro_counter TickWithRepaint pixels_painted) pixels repainted | | |"
  echo "| Fall tick with its repaint at a zoom of 300 % (offscreen), µs | $(zoom300) | | $(micro_counter TickWithRepaint widgets_painted "$results/zoom300-repaint.csv") widgets, $(micro_counter TickWithRepaint pixels_painted "$results/zoom300-repaint.csv") pixels (of the layout) repainted | | |"
  echo "| Left / Right / Turn, µs | $(micro MoveLeft) / $(micro MoveRight) / $(micro SwapPieces) | | | | |"
  echo "| drawNextPair / setCell, µs | $(micro DrawNextPair) / $(micro SetCell) | | | | |"
  echo "| Memory the sound adds to a bare process once a click was heard (libpulse, its connection and stream), KB, median of 3 | $(cue rss added_kb) | | private PulseAudio null sink | window + 3 MB in all | |"
  echo "| playAndWait(\"click\") blocks, ms p50 / p99 (40 calls, 3 runs) | $(cue sync_block p50_ms) / $(cue sync_block p99_ms) | | wave $(cue sync_block wave_ms) ms | ≤ wave + 30 ms | $(met "$(cue sync_block p99_ms) <= $(cue sync_block wave_ms) + 30") |"
  echo "| CPU with a click a second, ms in 10 s: the game / the server | $(cue cpu_play game_ms_per_10s) / $(cue cpu_play server_ms_per_10s) | | | < 30 ms (0.3 % of a core) | $(met "$(cue cpu_play game_ms_per_10s) < 30") (game) |"
  echo "| CPU at rest once silence closed the stream, ms in 10 s: the game / the server | $(cue cpu_rest game_ms_per_10s) / $(cue cpu_rest server_ms_per_10s) | | | 0 | $(met "$(cue cpu_rest game_ms_per_10s) < 0.5") |"
  echo "| First sample of a click after play(), ms p50 / p99 / max, stream open (40 plays) / after silence closed it (8 plays), PulseAudio null sink's monitor; an upper bound, late by up to the recorder's 2 ms | $(first_sample open) / $(first_sample closed) | | the recorder keeps the sink awake | ≤ 15 ms p99 | $(met "$(first_sample_p99) <= 15") |"
  echo "| playAndWait(\"click\") on a stream that silence closed, ms p50 | $(cue reopen_block p50_ms) | | an idle null sink sleeps up to 2 s | ≤ wave + 30 ms | $(met "$(cue reopen_block p50_ms) <= $(cue sync_block wave_ms) + 30") |"
  echo "| About pressed: press to the message's first paint, ms p50, sound off / device open (9 presses) / device closed by silence (3), private PulseAudio null sink | $(about_figures about-pulse.txt) |"
  echo "| the same, the null sink kept running by another stream | $(about_figures about-pulse-awake.txt) |"
  echo "| the same, private PipeWire | $(about_figures about-pipewire.txt) |"
  echo "| CPU in play at 100 ms ticks through PulseAudio, ms in 10 s (median of 3) | $(server_play play-pulse.txt) |"
  echo "| CPU in play at 100 ms ticks through PipeWire, ms in 10 s (median of 3; quillet-cues counts PipeWire's data thread) | $(server_play play-pipewire.txt) |"
  echo "| CPU in play at 500 ms ticks, the game's fastest, through PulseAudio, ms in 10 s (median of 3) | $(server_play play500-pulse.txt) |"
  echo "| the same through PipeWire (quillet-cues counts PipeWire's data thread) | $(server_play play500-pipewire.txt) |"
  echo "| PulseAudio's \"Implicit underrun\" in 10 s of the held game, quiet / two busy loops of normal priority (3 runs each; a stream's close can log one) | $(underruns 0) / $(underruns 2) | | | no more than quiet | $(met "$(worst_underruns 2) <= $(worst_underruns 0)") |"
  echo "| Gaps inside a cue in a recording of PulseAudio's null sink, the same runs, quiet / two busy loops | $(cuts 0) / $(cuts 2) | | | 0 | $(met "$(all_cuts) == 0") |"
  echo "| playAndWait while a cue sounds (skipped), ms | $(cue sync_skip ms) | | | returns at once | |"
  echo "| Tick period error at 100 ms, ms p50 / p99 ($periods_100 periods) | $(fmt "%.2f" "$error_p50_100") / $(fmt "%.2f" "$error_p99_100") | | | ≤ 5 ms p99 | $(met "$error_p99_100 <= 5") |"
  echo "| Tick period error at 3000 ms, ms p50 / p99 ($periods_3000 periods) | $(fmt "%.2f" "$error_p50_3000") / $(fmt "%.2f" "$error_p99_3000") | | | | |"
  echo "| Load of a hostile score store at the cap ($store_cap_kib KiB), worst of $(wc -l <"$results/store.txt") shapes: ms (median of 11) / peak MB | $(store_worst load_ms) / $(store_worst load_peak_mb) | | CPU of the game's thread $(store_worst load_cpu_ms) ms; a save into it $(store_worst save_ms) ms | ≤ 50 ms, ≤ 10 MB | $(met "$store_load_ms <= 50 && $store_peak_mb <= 10") |"
  echo "| PNG decodes during a scripted game ($modal_windows modal windows) | $play_decodes | | $startup_decodes at start-up | 0 | $(met "$play_decodes == 0") |"
  for window in highscore version keys; do
    echo "| VmRSS after 50 / 400 openings of the $window window, MB | $(mb "$(opening "$window" rss_kb_50)") / $(mb "$(opening "$window" rss_kb_400)") | | +$(awk -v a="$(opening "$window" rss_kb_50)" -v b="$(opening "$window" rss_kb_400)" 'BEGIN {printf "%.2f", (b-a)/1024}') MB | ≤ +1 MB | $(met "$(opening "$window" rss_kb_400) - $(opening "$window" rss_kb_50) <= 1024") |"
  done
  echo "| VmRSS in a game of random presses ($soak_s s, $(soak modal_windows) modal windows, $(soak games) games), MB: after 60 s / at the end / highest after 60 s | $(mb "$(soak rss_kb_60)") / $(mb "$(soak rss_kb_end)") / $(if [ "$soak_highest" = nan ]; then echo "none"; else mb "$soak_highest"; fi) | | every 30 s: $soak_curve | ≤ +2 MB after the first minute | $(met "$soak_highest - $(soak rss_kb_60) <= 2048") |"
} >"$table"

echo
echo "Machine: $(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo), $(nproc) cores," \
  "$(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(uname -sr);" \
  "load average $load_before before the run, $(cut -d' ' -f1-3 /proc/loadavg) after;" \
  "$(date -u '+%Y-%m-%d %H:%M UTC')"
echo
cat "$table"

# --- another cue player -----------------------------------------------------------------
if [ -s "$results/cues-pulse-other.txt" ]; then
  {
    echo
    echo "The cues through the same private PulseAudio: this player against $QUILLET_BENCH_OTHER_CUE_BENCH, 3 runs each in turn, medians."
    echo
    echo "| Measure | Other | This | Target |"
    echo "|---|---|---|---|"
    echo "| Memory added, KB | $(cue rss added_kb -other) | $(cue rss added_kb) | |"
    echo "| playAndWait(\"click\"), ms p50 / p99 | $(cue sync_block p50_ms -other) / $(cue sync_block p99_ms -other) | $(cue sync_block p50_ms) / $(cue sync_block p99_ms) | ≤ wave + 30 |"
    echo "| CPU with a click a second, ms in 10 s, game / server | $(cue cpu_play game_ms_per_10s -other) / $(cue cpu_play server_ms_per_10s -other) | $(cue cpu_play game_ms_per_10s) / $(cue cpu_play server_ms_per_10s) | < 30 |"
    echo "| CPU at rest, ms in 10 s, game / server | $(cue cpu_rest game_ms_per_10s -other) / $(cue cpu_rest server_ms_per_10s -other) | $(cue cpu_rest game_ms_per_10s) / $(cue cpu_rest server_ms_per_10s) | 0 |"
    echo "| playAndWait(\"click\") after silence closed the stream, ms p50 | $(cue reopen_block p50_ms -other) | $(cue reopen_block p50_ms) | ≤ wave + 30 |"
  } >"$results/other-cue-player.md"
  cat "$results/other-cue-player.md"
fi

# --- before and after -----------------------------------------------------------------
if [ -n "$before_build" ]; then
  compared=$results/before-after.md
  {
    echo
    echo "Before: $before_build; after: $build. Medians of the same runs as above."
    echo
    echo "| Measure | Before | After | Change | Bare window |"
    echo "|---|---|---|---|---|"
    if [ -x "$before_build/quillet" ]; then
      echo "| Start-up: launch to window mapped, ms | $before_map_ms | $game_map_ms | $(awk -v a="$game_map_ms" -v b="$before_map_ms" 'BEGIN {printf "%+.1f", a-b}') | $bare_map_ms |"
      echo "| VmRSS 1 s after mapping, MB | $(mb "$before_rss_kb") | $(mb "$game_rss_kb") | $(awk -v a="$game_rss_kb" -v b="$before_rss_kb" 'BEGIN {printf "%+.1f", (a-b)/1024}') | $(mb "$bare_rss_kb") |"
      echo "| VmHWM 1 s after mapping, MB | $(mb "$before_hwm_kb") | $(mb "$game_hwm_kb") | $(awk -v a="$game_hwm_kb" -v b="$before_hwm_kb" 'BEGIN {printf "%+.1f", (a-b)/1024}') | $(mb "$bare_hwm_kb") |"
      echo "| Shared libraries mapped 1 s after mapping | $before_libs | $game_libs | $((game_libs - before_libs)) | $bare_libs |"
    fi
  } >"$compared"
  cat "$compared"
fi
