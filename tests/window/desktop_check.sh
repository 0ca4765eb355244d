#!/usr/bin/env bash
# Uses the window on a real X server (Xvfb with openbox) as a person would, through xdotool:
#  1. a long generate shows the progress dialog, Enter there does not cancel it, and when the run
#     ends "Done" shows with no progress window left beside it;
#  2. closing the main window during a run over the report of step 1, which it replaces without
#     asking, stops the run, keeps that report, stores the fields and ends the process without a
#     word;
#  3. a folder whose name is Shift_JIS, dragged from another program onto 入力, is refused with a
#     warning and 入力 keeps its folder, rather than taking the parent;
#  4. the output "..." dialog, after a cancelled folder browse, opens at the current output: a
#     bare name typed there lands beside it with .htm, never in the input folder as "___";
#  5. the menu entry's command, given a folder as a file manager gives it, opens the window with
#     that folder in 入力;
#  6. a file dropped on a filled タイトル replaces its text with the file's name; two items dropped
#     on 入力 are refused with a word; a folder path typed in the folder browse is taken on Enter.
# Usage: desktop_check.sh VASKEREL_BINARY [SCREENSHOT_FOLDER [DRAG_SOURCE_BINARY]]
# Exits 77 (skipped) when Xvfb, openbox or xdotool is not installed. Every step waits for what it
# needs to see (a window mapped or gone, a file written, a process ended) with a deadline meant for
# a loaded machine, and a step that runs out of time says which step it was and what it saw.
set -euo pipefail

binary=$1
shots=${2:-}
drag_source=${3:-}
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

step=start
fail() {
    echo "FAIL in step $step: $*" >&2
    echo "mapped windows: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|')" >&2
    shot failure
    exit 1
}

# wait_for SECONDS COMMAND...: true as soon as COMMAND succeeds, false when time runs out. The
# deadlines below are generous: they only bound how long a broken run takes to fail.
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
none_visible() { [ -z "$(visible "$1")" ]; }
has_other_box() { [ -n "$(other_box "$1")" ]; }
app_ended() { test -s "$work/app.status"; }

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
background+=($!)
wait_for 60 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(cat "$work/display")"
openbox >"$work/openbox.log" 2>&1 &
background+=($!)
# The desktop number is published by the window manager once it runs.
wait_for 60 xdotool get_desktop >/dev/null 2>&1 || fail "openbox did not start"

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
    wait_for 60 has_visible 'Plumbrack' || fail "the window did not show: $(cat "$work/app.log")"
    main=$(visible 'Plumbrack' | head -n 1)
    xdotool windowactivate --sync "$main"
}

# Closes the window through the window manager, as its close button does.
# A key pressed while a dialog is still handing the focus back can miss the window on a loaded
# machine: it is pressed again until the window has gone.
main_gone() { ! visible 'Plumbrack' | grep -qx "$main"; }
close_main() {
    local deadline=$((SECONDS + 60))
    until main_gone; do
        ((SECONDS < deadline)) || fail "the main window did not close on Alt+F4"
        xdotool windowactivate --sync "$main" 2>/dev/null || true
        xdotool key --clearmodifiers alt+F4
        wait_for 5 main_gone || true
    done
}

step="1, a long generate"
echo "$step"
start_app
shot window
# The focus is in 入力, so Enter presses 計算.
xdotool key Return
wait_for 60 has_visible '^Vaskerel$' || fail "no progress dialog within a minute"
progress=$(visible '^Vaskerel$' | head -n 1)
shot progress
xdotool windowactivate --sync "$progress"
xdotool key Return
xdotool key KP_Enter
# Had Enter cancelled the run, the box would say so and no new report would be there.
wait_for 600 has_other_box "$progress" || fail "the run did not end within ten minutes"
done_box=$(other_box "$progress")
shot done
progress_gone() { ! visible '^Vaskerel$' | grep -qx "$progress"; }
wait_for 60 progress_gone || fail "the progress dialog stayed on screen beside the result box"
width=$(xdotool getwindowgeometry "$done_box" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')
# The caption "Vaskerel" with the window manager's icon and buttons needs about this much.
((width >= 200)) || fail "the result box is only $width pixels wide"
tail -c 200 "$work/out.htm" 2>/dev/null | grep -q '</html>' ||
    fail "no complete report after the box: Enter in the progress dialog cancelled the run? $(cat "$work/app.log")"
grep -q '>large</a></td><td>[0-9]*</td>' "$work/out.htm" || fail "the report does not list the large file"
xdotool windowactivate --sync "$done_box"
xdotool key Return
wait_for 60 none_visible '^Vaskerel$' || fail "the result box did not close on Enter"
close_main
wait_for 60 app_ended || fail "the process did not end after its window closed"
status=$(cat "$work/app.status")
[ "$status" -eq 0 ] || fail "the process ended with status $status: $(cat "$work/app.log")"

step="2, closing the window during a run"
echo "$step"
rm "$work/in/large"
truncate -s 1T "$work/in/huge"
cp "$work/out.htm" "$work/old-report"
start_app
# Tab from 入力 to タイトル, replace its text; Enter there presses 計算.
xdotool key --delay 50 Tab Tab Tab Tab Tab Tab ctrl+a
xdotool type --delay 20 'closed-during-run'
xdotool key Return
wait_for 60 has_visible '^Vaskerel$' || fail "no progress dialog within a minute"
shot closing
close_main
wait_for 60 app_ended || fail "the process did not end when its window was closed during a run"
status=$(cat "$work/app.status")
[ "$status" -eq 0 ] || fail "the process ended with status $status: $(cat "$work/app.log")"
cmp -s "$work/out.htm" "$work/old-report" || fail "the old report was changed"
rm "$work/old-report"
[ "$(ls -A "$work" | grep -c '^out')" -eq 1 ] || fail "a temporary report was left behind: $(ls -A "$work")"
grep -qx 'Title=closed-during-run' "$work/config/Zorm.ini" || fail "the fields were not stored: $(cat "$work/config/Zorm.ini")"
grep -qx "InputDir=$work/in" "$work/config/Zorm.ini" || fail "the input folder was not stored"

# The place on screen of a point given in a window's own coordinates, as "X Y".
screen_point() {
    local X Y
    xdotool mousemove --sync --window "$1" "$2" "$3"
    eval "$(xdotool getmouselocation --shell | grep -E '^[XY]=')"
    echo "$X $Y"
}

# True once the target has taken the drag. The mouse moves a pixel and back first: a drag source
# that waits for the target's answer holds back the positions it is given meanwhile, and the
# last one would otherwise never be sent.
drag_taken() {
    xdotool mousemove_relative --sync 1 0 mousemove_relative --sync -- -1 0
    [ "$(tail -n 1 "$work/drag.log")" = accepted ]
}

# drag_onto X Y PATH...: drags the paths from a window of their own, as a file manager does, to
# the point X Y of the main window, and waits for the drop to end.
drag_onto() {
    local x=$1 y=$2 tx ty sx sy source_window
    shift 2
    "$drag_source" "$@" >"$work/drag.log" 2>&1 &
    local source_pid=$!
    background+=("$source_pid")
    wait_for 60 has_visible '^drag source$' || fail "the drag source did not show: $(cat "$work/drag.log")"
    source_window=$(visible '^drag source$' | head -n 1)
    read -r tx ty < <(screen_point "$main" "$x" "$y")
    read -r sx sy < <(screen_point "$source_window" 80 40)
    xdotool mousedown 1
    wait_for 60 grep -q pressed "$work/drag.log" || fail "the drag did not start: $(cat "$work/drag.log")"
    # The motion is paced so that the drag protocol sees each position; the button is let go once
    # the field has answered that it takes the drop, and the drop is waited for.
    for point in 1 2 3 4 5 6 7 8; do
        xdotool mousemove --sync $((sx + (tx - sx) * point / 8)) $((sy + (ty - sy) * point / 8))
        sleep 0.1
    done
    wait_for 60 drag_taken || fail "the field did not take the drag: $(cat "$work/drag.log")"
    xdotool mouseup 1
    wait_for 60 grep -q dropped "$work/drag.log" || fail "the drag did not end: $(cat "$work/drag.log")"
    kill "$source_pid"
    wait_for 60 none_visible '^drag source$' || fail "the drag source stayed"
}

# Closes the one box titled "Vaskerel" with Enter, after it showed; $1 says what it was for.
close_box() {
    wait_for 60 has_visible '^Vaskerel$' || fail "no word $1 ($(tail -n 1 "$work/drag.log"))"
    shot "box $1"
    xdotool windowactivate --sync "$(visible '^Vaskerel$' | head -n 1)"
    xdotool key Return
    wait_for 60 none_visible '^Vaskerel$' || fail "the box $1 did not close on Enter"
}

if [ -n "$drag_source" ]; then
    step="3, a dropped folder whose name is not UTF-8"
    echo "$step"
    rm -f "$work/in/huge"
    sjis=$(printf '%s/\x83\x74\x83\x48\x83\x8b\x83\x5f' "$work")
    mkdir -p "$sjis"
    printf x >"$sjis/a.txt"
    start_app
    # To the middle of 入力 (48, 8, 281 x 18 in the window).
    drag_onto 188 17 "$sjis"
    close_box "after the drop of a folder named in Shift_JIS"
    close_main
    wait_for 60 app_ended || fail "the process did not end after its window closed"
    grep -qx "InputDir=$work/in" "$work/config/Zorm.ini" ||
        fail "the drop changed 入力: $(grep InputDir "$work/config/Zorm.ini")"
fi

# Types $1 over the name in the file dialog shown and confirms it with Enter.
confirm_in_dialog() {
    xdotool windowactivate --sync "$(visible "$dialog_title" | head -n 1)"
    xdotool key ctrl+a
    xdotool type --delay 20 "$1"
    xdotool key Return
    wait_for 60 none_visible "$dialog_title" || fail "the file dialog did not take $1 on Enter"
}

step="4, the output dialog's start folder"
echo "$step"
mkdir -p "$work/reports"
printf old >"$work/reports/old.htm"
sed -i "s|^OutFile=.*|OutFile=$work/reports/old.htm|" "$work/config/Zorm.ini"
start_app
dialog_title='名前を付けて保存|Save As'
# Tab, Tab: the folder "..."; Esc cancels its dialog.
xdotool key --delay 50 Tab Tab space
wait_for 60 has_visible "$dialog_title" || fail "the folder dialog did not open"
xdotool windowactivate --sync "$(visible "$dialog_title" | head -n 1)"
xdotool key Escape
wait_for 60 none_visible "$dialog_title" || fail "the folder dialog did not close on Esc"
# Tab: the output "..."; a bare name typed over the one it shows.
xdotool key --delay 50 Tab space
wait_for 60 has_visible "$dialog_title" || fail "the output dialog did not open"
shot output-dialog
confirm_in_dialog bare
close_main
wait_for 60 app_ended || fail "the process did not end after its window closed"
grep -qx "OutFile=$work/reports/bare.htm" "$work/config/Zorm.ini" ||
    fail "the output dialog did not open at the output: $(grep OutFile "$work/config/Zorm.ini")"

step="5, a folder opened from a file manager"
echo "$step"
mkdir -p "$work/from file manager"
read -ra command <<<"$(sed -n 's/^Exec=//p' "$here/../../data/vaskerel.desktop")"
[ "${command[0]}" = vaskerel ] || fail "the menu entry runs ${command[0]}"
arguments=()
for word in "${command[@]:1}"; do
    arguments+=("${word//%f/$work/from file manager}")
done
start_app "${arguments[@]}"
close_main
wait_for 60 app_ended || fail "the process did not end after its window closed"
grep -qx "InputDir=$work/from file manager" "$work/config/Zorm.ini" ||
    fail "入力 did not hold the folder: $(grep InputDir "$work/config/Zorm.ini")"

if [ -n "$drag_source" ]; then
    step="6, drops onto filled fields, several items, a typed folder in the folder browse"
    echo "$step"
    mkdir -p "$work/typed folder"
    printf x >"$work/drop me.txt"
    start_app
    # To the middle of タイトル (98, 112, 180 x 18 in the window), which holds "E2E".
    drag_onto 188 121 "$work/drop me.txt"
    drag_onto 188 17 "$work/in" "$work/typed folder"
    close_box "after a drop of two items"
    # The folder "..." (336, 8, 25 x 17 in the window).
    screen_point "$main" 348 16 >/dev/null
    xdotool click 1
    wait_for 60 has_visible "$dialog_title" || fail "the folder dialog did not open"
    confirm_in_dialog "$work/typed folder"
    close_main
    wait_for 60 app_ended || fail "the process did not end after its window closed"
    grep -qx "Title=drop me.txt" "$work/config/Zorm.ini" ||
        fail "the drop did not replace タイトル: $(grep Title "$work/config/Zorm.ini")"
    grep -qx "InputDir=$work/typed folder" "$work/config/Zorm.ini" ||
        fail "入力 is not the typed folder: $(grep InputDir "$work/config/Zorm.ini")"
fi

echo "passed"
