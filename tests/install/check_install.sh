#!/usr/bin/env bash
# Installs the build the way a package does (prefix /usr, into a temporary DESTDIR)
# and checks one side of the result:
#
#   check_install.sh CHECK BUILD_DIR SOURCE_DIR CUE_PROBE
#
#   layout   exactly the files of installed_files.txt, the relative games/ link,
#            file modes, the cues beside the program, the icon sizes, no RPATH
#   desktop  the desktop entry and the metainfo pass their validators and name the
#            game by one application id, the one the program gives Qt
#   manual   the manual page is compressed, formats without warnings and names
#            only files that are installed
#   cues     a program started through a link in games/ finds the cues beside
#            its real file, and the installed game resolves its link to that folder
#
# Needs cmake, desktop-file-validate (desktop-file-utils), appstreamcli (appstream),
# groff (groff-base) and readelf (binutils). No display, no sound device.
set -euo pipefail

if [ $# -ne 4 ]; then
    echo "usage: $0 layout|desktop|manual|cues BUILD_DIR SOURCE_DIR CUE_PROBE" >&2
    exit 2
fi
check=$1
build=$(cd "$2" && pwd)
source=$(cd "$3" && pwd)
probe=$4
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

app_id=io.github.quillet.Quillet
cues=(click start add0 add add2 claps)
icon_sizes=(16 32 48 64 128 256)

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

work=$(mktemp -d)
game_pid=""
pulse_pid=""
cleanup() {
    local pid
    for pid in "$game_pid" "$pulse_pid"; do
        [ -n "$pid" ] || continue
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# The cue probe plays through a private PulseAudio server with a null sink, as
# the game plays through the desktop's: no sound card, nothing of the user's.
start_sound_server() {
    local folder=$work/pulse tries
    mkdir "$folder"
    command -v pulseaudio >/dev/null || fail "pulseaudio is not installed (package pulseaudio)"
    env -i PATH="$PATH" HOME="$folder" XDG_RUNTIME_DIR="$folder" PULSE_RUNTIME_PATH="$folder" \
        PULSE_STATE_PATH="$folder" DBUS_SESSION_BUS_ADDRESS="unix:path=$folder/no-bus" \
        pulseaudio -n --daemonize=no --system=no --use-pid-file=no --exit-idle-time=-1 \
        --disable-shm=yes --realtime=no --high-priority=no -L module-null-sink \
        -L "module-native-protocol-unix socket=$folder/native auth-anonymous=1" \
        >"$folder/log" 2>&1 &
    pulse_pid=$!
    for ((tries = 0; tries < 200; tries++)); do
        [ -S "$folder/native" ] && break
        sleep 0.05
    done
    [ -S "$folder/native" ] || fail "the private PulseAudio server did not start"
    export PULSE_SERVER="unix:$folder/native"
}

mkdir "$work/root"
if ! DESTDIR="$work/root" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install did not succeed" >&2
    exit 1
fi
# Resolved, so that it compares equal with what the kernel reports for a program.
root=$(cd "$work/root" && pwd -P)
usr=$root/usr
games_dir=$usr/games
program_dir=$usr/lib/games/quillet

project_version() {
    sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt"
}

# Width and height of a PNG file, from its header.
png_size() {
    if [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
        echo "not-a-png"
        return
    fi
    od -An -tu1 -j16 -N8 "$1" |
        awk '{ printf "%dx%d\n", (($1 * 256 + $2) * 256 + $3) * 256 + $4,
                                 (($5 * 256 + $6) * 256 + $7) * 256 + $8 }'
}

check_layout() {
    (cd "$root" && find . -mindepth 1 ! -type d | sed 's|^\./||' | LC_ALL=C sort) >"$work/found"
    if ! diff -u "$here/installed_files.txt" "$work/found" >"$work/diff"; then
        cat "$work/diff" >&2
        fail "the installed files differ from installed_files.txt (- expected, + found)"
    fi

    local link=$games_dir/quillet
    if [ ! -L "$link" ]; then
        fail "games/quillet is not a symbolic link"
    elif [ "$(readlink "$link")" != ../lib/games/quillet/quillet ]; then
        fail "games/quillet points to '$(readlink "$link")', not to ../lib/games/quillet/quillet"
    elif [ "$(readlink -f "$link")" != "$program_dir/quillet" ]; then
        fail "games/quillet does not lead to lib/games/quillet/quillet"
    fi

    if [ "$(head -c 4 "$program_dir/quillet" | od -An -c | tr -d ' ')" != 177ELF ]; then
        fail "lib/games/quillet/quillet is not an ELF executable"
    fi
    # Debian installs no program that looks for libraries in the build tree.
    if readelf -d "$program_dir/quillet" | grep -E '\((RPATH|RUNPATH)\)' >&2; then
        fail "lib/games/quillet/quillet carries a library search path"
    fi

    local path mode want
    while read -r path; do
        [ -e "$root/$path" ] || continue
        [ "$path" = usr/games/quillet ] && continue
        want=644
        [ "$path" = usr/lib/games/quillet/quillet ] && want=755
        mode=$(stat -c %a "$root/$path")
        [ "$mode" = "$want" ] || fail "$path has mode $mode, not $want"
    done <"$here/installed_files.txt"

    local cue
    for cue in "${cues[@]}"; do
        if ! cmp -s "$source/assets/sounds/$cue.wav" "$program_dir/$cue.wav"; then
            fail "lib/games/quillet/$cue.wav is not the game's $cue cue"
        fi
    done

    local size icon found
    for size in "${icon_sizes[@]}"; do
        icon=$usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
        [ -f "$icon" ] || continue
        found=$(png_size "$icon")
        [ "$found" = "${size}x${size}" ] || fail "the ${size}x${size} theme icon is $found"
    done

    # The scalable icon must draw without fetching or loading anything else.
    local svg=$usr/share/icons/hicolor/scalable/apps/$app_id.svg
    if [ -f "$svg" ]; then
        grep -q '<svg ' "$svg" || fail "the scalable icon is not an SVG document"
        if grep -nE 'href|src=|url\( *["'\'']?[^#" '\'']|@import|<image|<script' "$svg" >&2; then
            fail "the scalable icon refers to something outside itself"
        fi
    fi
}

# The value of KEY in the desktop entry (it has only the [Desktop Entry] group).
desktop_key() {
    sed -n "s/^$1=//p" "$usr/share/applications/$app_id.desktop"
}

# The text of the first ELEMENT in the metainfo file.
metainfo_element() {
    sed -n "s:.*<$1\\( [^>]*\\)\\{0,1\\}>\\([^<]*\\)</$1>.*:\\2:p" \
        "$usr/share/metainfo/$app_id.metainfo.xml" | head -n 1
}

check_desktop() {
    local desktop=$usr/share/applications/$app_id.desktop
    local metainfo=$usr/share/metainfo/$app_id.metainfo.xml
    local output
    [ -f "$desktop" ] || fail "no desktop entry named after $app_id"
    [ -f "$metainfo" ] || fail "no metainfo named after $app_id"
    [ "$failures" -eq 0 ] || return 0

    if ! output=$(desktop-file-validate "$desktop" 2>&1); then
        fail "desktop-file-validate rejects the desktop entry: $output"
    elif grep -Ei 'error|warning' <<<"$output" >&2; then
        fail "desktop-file-validate warns about the desktop entry"
    fi
    if ! output=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
        fail "appstreamcli rejects the metainfo: $output"
    fi

    # One id for the desktop entry's file, its icon, the metainfo and the program.
    local icon
    icon=$(desktop_key Icon)
    [ "$icon" = "$app_id" ] || fail "the desktop entry's icon is '$icon', not $app_id"
    [ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
        fail "no scalable theme icon is named '$icon'"
    [ "$(metainfo_element id)" = "$app_id" ] ||
        fail "the metainfo's id is '$(metainfo_element id)', not $app_id"
    [ "$(metainfo_element launchable)" = "$app_id.desktop" ] ||
        fail "the metainfo launches '$(metainfo_element launchable)', not $app_id.desktop"
    grep -qF "setDesktopFileName(QStringLiteral(\"$app_id\"))" "$source/main.cpp" ||
        fail "main.cpp does not give Qt the desktop file name $app_id"
    grep -qF "iconName = \"$app_id\";" "$source/main.cpp" ||
        fail "main.cpp does not give the volume mixer the icon $app_id"

    # The entry starts the linked program; Qt names the window's X11 class after the
    # name the program was started by, so the entry's window class is that name too.
    local exec
    exec=$(desktop_key Exec)
    [ -L "$games_dir/$exec" ] || fail "Exec '$exec' is not the installed games/ link"
    [ "$(desktop_key StartupWMClass)" = "$exec" ] ||
        fail "StartupWMClass '$(desktop_key StartupWMClass)' is not the started name '$exec'"
    [ "$(desktop_key Name)" = "ヌビロケーキ" ] ||
        fail "the entry's Name is '$(desktop_key Name)'"
    [ -n "$(desktop_key 'Name\[en\]')" ] || fail "the entry has no English Name[en]"
    [ -n "$(desktop_key 'Comment\[en\]')" ] || fail "the entry has no English Comment[en]"
    [ "$(desktop_key Categories)" = "Game;BlocksGame;Qt;" ] ||
        fail "the entry's categories are '$(desktop_key Categories)'"

    [ "$(metainfo_element binary)" = "$exec" ] ||
        fail "the metainfo provides the binary '$(metainfo_element binary)', not '$exec'"
    # The newest release comes first and must be the version being installed.
    local release
    release=$(sed -n 's/.*<release [^>]*version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
    [ "$release" = "$(project_version)" ] ||
        fail "the metainfo's newest release is '$release', the project is $(project_version)"
    [ "$(metainfo_element metadata_license)" = CC0-1.0 ] || fail "metadata licence is not CC0-1.0"
    [ "$(metainfo_element project_license)" = MIT ] || fail "project licence is not MIT"
}

check_manual() {
    local page=$usr/share/man/man6/quillet.6.gz
    [ -f "$page" ] || {
        fail "no manual page in section 6"
        return 0
    }
    gzip -t "$page" 2>/dev/null || fail "the manual page is not gzip-compressed"
    zcat "$page" >"$work/quillet.6"

    grep -Eq "^\\.TH QUILLET 6 [0-9-]+ \"Quillet $(project_version)\"" "$work/quillet.6" ||
        fail "the manual page's title line does not name section 6 and Quillet $(project_version)"

    local warnings
    warnings=$(groff -man -Tutf8 -ww -z "$work/quillet.6" 2>&1)
    [ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"
    if command -v man >/dev/null 2>&1; then
        warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "man warns about the manual page: $warnings"
    fi

    # Every installed path the page names must be there (a glob may stand for several).
    local named path matches
    named=$(groff -man -Tascii -P -c "$work/quillet.6" 2>/dev/null | sed 's/.\x08//g' |
        grep -oE '/usr/[A-Za-z0-9_./*-]+' | sed 's/[.]$//' | sort -u)
    [ -n "$named" ] || fail "the manual page names no installed file"
    for path in $named; do
        matches=$(compgen -G "$root$path" || true)
        [ -n "$matches" ] || fail "the manual page names $path, which is not installed"
    done
}

check_cues() {
    # A program beside the installed cues, started through a relative link in
    # games/ from another folder, the way the game is.
    install -m 755 "$probe" "$program_dir/quillet-cue-probe"
    ln -s ../lib/games/quillet/quillet-cue-probe "$games_dir/quillet-cue-probe"
    {
        echo "directory $program_dir"
        for cue in "${cues[@]}"; do echo "$cue played"; done
        echo "nosuchcue silent"
    } >"$work/expected"
    start_sound_server
    if ! (cd "$work" && "$games_dir/quillet-cue-probe" "${cues[@]}" nosuchcue) \
        >"$work/probe.out" 2>"$work/probe.err"; then
        cat "$work/probe.err" >&2
        fail "the probe did not run through the link"
    fi
    if ! diff -u "$work/expected" "$work/probe.out" >&2; then
        fail "a program started through games/ does not find its cues (- expected, + found)"
    fi

    # The game itself: started through its link, the kernel must report its real
    # file, whose folder is where the game looks for its cues.
    mkdir "$work/config"
    (cd "$work" && exec env XDG_CONFIG_HOME="$work/config" \
        QT_QPA_PLATFORM=offscreen "$games_dir/quillet" >"$work/game.log" 2>&1) &
    game_pid=$!
    # Waits until the game has a second thread: the sound player starts one once
    # the application is up, so by then the game has got through its start.
    local exe="" threads=0 tries
    for ((tries = 0; tries < 400; tries++)); do
        kill -0 "$game_pid" 2>/dev/null || break
        exe=$(readlink "/proc/$game_pid/exe" 2>/dev/null || true)
        # The process may end at any moment; then it has no threads left.
        threads=$({ ls "/proc/$game_pid/task" 2>/dev/null || true; } | wc -l)
        [ "$exe" = "$program_dir/quillet" ] && [ "$threads" -ge 2 ] && break
        sleep 0.05
    done
    [ "$exe" = "$program_dir/quillet" ] ||
        fail "the game started through games/quillet runs as '$exe', not as $program_dir/quillet"
    local status=0
    kill -TERM "$game_pid" 2>/dev/null || true
    wait "$game_pid" || status=$?
    game_pid=""
    if [ "$status" -ne $((128 + 15)) ]; then
        cat "$work/game.log" >&2
        fail "the installed game ended by itself (status $status) instead of running until stopped"
    fi
}

case $check in
layout) check_layout ;;
desktop) check_desktop ;;
manual) check_manual ;;
cues) check_cues ;;
*)
    echo "unknown check '$check'" >&2
    exit 2
    ;;
esac

if [ "$failures" -ne 0 ]; then
    echo "$check: $failures check(s) failed" >&2
    exit 1
fi
echo "$check: all checks passed"
