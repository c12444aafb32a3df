#!/usr/bin/env bash
# The game window on a real X display: a virtual display of its own with a
# light window manager, the window's size hints and allowed actions, an
# attempt to resize it, clicks on its buttons, a screenshot with the Game
# menu open, and quitting from the keyboard.
#
#   main_window_xvfb.sh DEMO OUTPUT_FOLDER RESOURCES_FOLDER
#
# Exits 77 (skipped) when a tool it needs is missing.
set -uo pipefail

demo=$1
out=$2
resources=$3
skip=77

for tool in Xvfb openbox xdotool xwininfo xprop import compare convert; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed"
    exit $skip
  fi
done

mkdir -p "$out"
work=$(mktemp -d)
xvfb_pid="" wm_pid="" demo_pid=""

stop() {
  local pid=$1
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null
}

cleanup() {
  stop "$demo_pid"
  stop "$wm_pid"
  stop "$xvfb_pid"
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Waits up to $1 tenths of a second for the command to succeed.
wait_for() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# A display of its own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
if ! wait_for 100 test -s "$work/display"; then
  echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"
echo "display $DISPLAY"

# Without a window manager X enforces no size hints.
HOME="$work" openbox --sm-disable >"$work/wm.log" 2>&1 &
wm_pid=$!
if ! wait_for 100 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'; then
  echo "FAIL: the window manager did not start"; cat "$work/wm.log"; exit 1
fi

# The program's settings go to a folder of the test's own.
mkdir -p "$work/config"
XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work" HOME="$work" QT_QPA_PLATFORM=xcb \
  "$demo" --resources "$resources" >"$work/demo.out" 2>"$work/demo.err" &
demo_pid=$!
if ! wait_for 150 grep -qx ready "$work/demo.out"; then
  echo "FAIL: the demo did not come up"; cat "$work/demo.err"; exit 1
fi
wid=$(timeout 10 xdotool search --sync --onlyvisible --name '^Pandrisk$' | head -n1)
if [ -z "$wid" ]; then
  echo "FAIL: no window titled Pandrisk"; exit 1
fi
sleep 0.5  # let the window manager finish placing and decorating it

geometry() { xwininfo -id "$wid" | awk '/^  Width:/ {w=$2} /^  Height:/ {h=$2} END {print w "x" h}'; }

# Size: 236 wide, 216 of content below the menu bar.
size=$(geometry)
width=${size%x*}
height=${size#*x}
menubar=$((height - 216))
echo "client area ${size}, menu bar ${menubar} high"
[ "$width" -eq 236 ] || fail "window width $width, not 236"
[ "$menubar" -gt 0 ] && [ "$menubar" -lt 60 ] || fail "menu bar height $menubar"

# The size hints fix the size, and the window manager offers no resizing
# and no maximising.
hints=$(xprop -id "$wid" WM_NORMAL_HINTS)
echo "$hints" | grep -q "minimum size: $width by $height" || fail "minimum size hint: $hints"
echo "$hints" | grep -q "maximum size: $width by $height" || fail "maximum size hint: $hints"
actions=$(xprop -id "$wid" _NET_WM_ALLOWED_ACTIONS)
echo "$actions"
for forbidden in _NET_WM_ACTION_RESIZE _NET_WM_ACTION_MAXIMIZE_HORZ _NET_WM_ACTION_MAXIMIZE_VERT; do
  echo "$actions" | grep -q "$forbidden" && fail "window manager allows $forbidden"
done
echo "$actions" | grep -q _NET_WM_ACTION_CLOSE || fail "no close action"
echo "$actions" | grep -q _NET_WM_ACTION_MINIMIZE || fail "no minimise action"
title=$(xprop -id "$wid" _NET_WM_NAME)
echo "$title" | grep -q '"Pandrisk"' || fail "title: $title"

xdotool windowsize "$wid" 400 400
sleep 0.5
[ "$(geometry)" = "$size" ] || fail "resized to $(geometry)"

# Clicks on the buttons, in the window's content coordinates.
click() {  # x y
  xdotool mousemove --window "$wid" "$1" $(($2 + menubar)) click 1
  sleep 0.3
}
click 216 36    # row button 0
click 216 100   # row button 1
click 216 164   # row button 2
click 30 206    # shuffle
click 80 206    # align
# A press dragged off the button and released elsewhere is no click.
xdotool mousemove --window "$wid" 216 $((36 + menubar)) mousedown 1
sleep 0.2
xdotool mousemove --window "$wid" 100 $((100 + menubar))
sleep 0.2
xdotool mouseup 1
sleep 0.3
xdotool mousemove --window "$wid" 120 $((100 + menubar))  # off every control
sleep 0.3
expected="Action KickButton 0
Action KickButton 1
Action KickButton 2
Action StartButton
Action ResetButton"
actual=$(grep '^Action' "$work/demo.out")
[ "$actual" = "$expected" ] || fail "clicks reported:
$actual"

# The Game menu, opened by a click on its title.
read -r _ _ gx gy < <(grep '^title 2 ' "$work/demo.out")
if [ -z "${gx:-}" ]; then
  fail "no position for the Game menu's title"
else
  read -r wx wy < <(xwininfo -id "$wid" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}')
  tx=$((wx + gx)) ty=$((wy + menubar + gy))
  import -window root "$work/closed.png"
  cp "$work/closed.png" "$out/main-window.png"
  convert "$work/closed.png" -crop "276x296+$((wx - 20))+$((wy - 40))" +repage "$out/main-window-content.png"
  xdotool mousemove "$tx" "$ty" click 1
  sleep 0.7
  import -window root "$out/main-window-game-menu.png"
  # The menu drops below its title: that part of the screen has changed.
  region="160x120+$((tx - 10))+$((wy + menubar + 2))"
  convert "$work/closed.png" -crop "$region" +repage "$work/before.png"
  convert "$out/main-window-game-menu.png" -crop "$region" +repage "$work/after.png"
  changed=$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1 || true)
  echo "pixels changed below the Game title: $changed"
  [ "${changed%%.*}" -gt 2000 ] 2>/dev/null || fail "the Game menu did not open ($changed pixels changed)"
  convert "$out/main-window-game-menu.png" -crop "420x380+$((wx - 20))+$((wy - 40))" +repage \
    "$out/main-window-game-menu-content.png"
  echo "screenshots: $out/main-window.png, $out/main-window-game-menu.png"
  xdotool key Escape
  sleep 0.3
fi

# Ctrl+Q quits through the File menu's quit item.
xdotool windowactivate --sync "$wid" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+q
if wait_for 100 sh -c "! kill -0 $demo_pid 2>/dev/null"; then
  wait "$demo_pid"
  status=$?
  demo_pid=""
  [ "$status" -eq 0 ] || fail "the demo ended with status $status"
else
  fail "Ctrl+Q did not quit"
fi

if [ -s "$work/demo.err" ]; then
  echo "--- demo's standard error"
  cat "$work/demo.err"
fi
if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
