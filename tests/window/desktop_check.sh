#!/usr/bin/env bash
# Uses the window on a real X server (Xvfb with openbox) as a person would, through xdotool:
#  1. a long generate shows the progress dialog, Enter there does not cancel it, and when the run
#     ends "Done" shows with no progress window left beside it;
#  2. closing the main window during a run stops the run, keeps the old report, stores the fields
#     and ends the process without a word;
#  3. the menu entry's command, given a folder as a file manager gives it, opens the window with
#     that folder in 入力.
# Usage: desktop_check.sh VASKEREL_BINARY [SCREENSHOT_FOLDER]
# Exits 77 (skipped) when Xvfb, openbox or xdotool is not installed.
set -euo pipefail

binary=$1
shots=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
# Long enough to see the dialog and press keys in it on a slow build, short enough to wait for.
long_file_size=${VASKEREL_DESKTOP_FILE_SIZE:-3G}

for tool in Xvfb openbox xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed"
        exit 77
    fi
done

work=$(mktemp -d)
background=()
cleanup() {
    if [ -s "$work/app.pid" ]; then
        kill "$(cat "$work/app.pid")" 2>/dev/null || true
    fi
    for pid in "${background[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

shot() {
    if [ -n "$shots" ] && command -v import >/dev/null; then
        mkdir -p "$shots"
        import -window root "$shots/$1.png" 2>/dev/null || true
    fi
}

fail() {
    echo "FAIL: $*" >&2
    shot failure
    exit 1
}

# wait_for SECONDS COMMAND...: true as soon as COMMAND succeeds, false when time runs out.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# The ids of the mapped windows whose title matches a regular expression, one a line.
visible() {
    xdotool search --onlyvisible --name "$1" 2>/dev/null || true
}

# The one mapped window titled "Vaskerel" that is not $1, if any.
other_box() {
    visible '^Vaskerel$' | grep -vx "$1" | head -n 1
}

has_visible() { [ -n "$(visible "$1")" ]; }
has_other_box() { [ -n "$(other_box "$1")" ]; }
app_ended() { test -s "$work/app.status"; }

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
background+=($!)
wait_for 10 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(cat "$work/display")"
openbox >"$work/openbox.log" 2>&1 &
background+=($!)
# The desktop number is published by the window manager once it runs.
wait_for 10 xdotool get_desktop >/dev/null 2>&1 || fail "openbox did not start"

mkdir -p "$work/in" "$work/config" "$work/home"
truncate -s "$long_file_size" "$work/in/large"
cat >"$work/config/Zorm.ini" <<EOF
[Setting]
InputDir=$work/in
OutFile=$work/out.htm
CSS=style.css
Title=E2E
EOF

locale=C.UTF-8
if locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
    locale=ja_JP.UTF-8
fi

start_app() {
    rm -f "$work/app.pid" "$work/app.status"
    (
        env -u QT_QPA_PLATFORM HOME="$work/home" XDG_CONFIG_HOME="$work/config" LANG="$locale" LC_ALL="$locale" \
            LSAN_OPTIONS="suppressions=$here/desktop.lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}" \
            "$binary" "$@" >>"$work/app.log" 2>&1 &
        echo $! >"$work/app.pid"
        status=0
        wait $! || status=$?
        echo "$status" >"$work/app.status"
    ) &
    background+=($!)
    wait_for 20 has_visible 'Plumbrack' || fail "the window did not show: $(cat "$work/app.log")"
    main=$(visible 'Plumbrack' | head -n 1)
    xdotool windowactivate --sync "$main"
}

# Closes the window through the window manager, as its close button does.
close_main() {
    xdotool windowactivate --sync "$main"
    xdotool key --clearmodifiers alt+F4
}

echo "1. a long generate"
start_app
shot window
# The focus is in 入力, so Enter presses 計算.
xdotool key Return
wait_for 10 has_visible '^Vaskerel$' || fail "no progress dialog within ten seconds"
progress=$(visible '^Vaskerel$' | head -n 1)
shot progress
xdotool windowactivate --sync "$progress"
xdotool key Return
xdotool key KP_Enter
sleep 1
has_other_box "$progress" && fail "a box showed right after Enter in the progress dialog: cancelled, or the run is too short"
visible '^Vaskerel$' | grep -qx "$progress" || fail "Enter in the progress dialog closed it"
wait_for 300 has_other_box "$progress" || fail "the run did not end within five minutes"
sleep 0.3
done_box=$(other_box "$progress")
shot done
visible '^Vaskerel$' | grep -qx "$progress" && fail "the progress dialog is still on screen beside the result box"
width=$(xdotool getwindowgeometry "$done_box" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')
# The caption "Vaskerel" with the window manager's icon and buttons needs about this much.
((width >= 200)) || fail "the result box is only $width pixels wide"
tail -c 200 "$work/out.htm" | grep -q '</html>' || fail "no complete report after Done"
grep -q '>large</a></td><td>[0-9]*</td>' "$work/out.htm" || fail "the report does not list the large file"
xdotool windowactivate --sync "$done_box"
xdotool key Return
wait_for 5 test -z "$(visible '^Vaskerel$')" || fail "the result box did not close on Enter"
close_main
wait_for 20 app_ended || fail "the process did not end after its window closed"
status=$(cat "$work/app.status")
[ "$status" -eq 0 ] || fail "the process ended with status $status: $(cat "$work/app.log")"

echo "2. closing the window during a run"
rm "$work/in/large"
truncate -s 1T "$work/in/huge"
printf old >"$work/out.htm"
start_app
# Tab from 入力 to タイトル, replace its text; Enter there presses 計算.
xdotool key --delay 50 Tab Tab Tab Tab Tab Tab ctrl+a
xdotool type --delay 20 'closed-during-run'
xdotool key Return
wait_for 10 has_visible '^Vaskerel$' || fail "no progress dialog within ten seconds"
shot closing
close_main
wait_for 20 app_ended || fail "the process did not end when its window was closed during a run"
status=$(cat "$work/app.status")
[ "$status" -eq 0 ] || fail "the process ended with status $status: $(cat "$work/app.log")"
[ "$(cat "$work/out.htm")" = old ] || fail "the old report was changed"
[ "$(ls -A "$work" | grep -c '^out')" -eq 1 ] || fail "a temporary report was left behind: $(ls -A "$work")"
grep -qx 'Title=closed-during-run' "$work/config/Zorm.ini" || fail "the fields were not stored: $(cat "$work/config/Zorm.ini")"
grep -qx "InputDir=$work/in" "$work/config/Zorm.ini" || fail "the input folder was not stored"

echo "3. a folder opened from a file manager"
mkdir -p "$work/from file manager"
read -ra command <<<"$(sed -n 's/^Exec=//p' "$here/../../data/vaskerel.desktop")"
[ "${command[0]}" = vaskerel ] || fail "the menu entry runs ${command[0]}"
arguments=()
for word in "${command[@]:1}"; do
    arguments+=("${word//%f/$work/from file manager}")
done
start_app "${arguments[@]}"
close_main
wait_for 20 app_ended || fail "the process did not end after its window closed"
grep -qx "InputDir=$work/from file manager" "$work/config/Zorm.ini" ||
    fail "入力 did not hold the folder: $(grep InputDir "$work/config/Zorm.ini")"

echo "passed"
