#!/usr/bin/env bash
# The program's main job on this machine: builds the Windows programs and
# runs QM487.exe under Wine, fed by the instrument simulator through a COM
# port pair (qm487-sim on COM12, the program on COM11), or by a real
# instrument on a serial device.
#
#   run.sh [--seconds S] [--device /dev/ttyUSB0]
#
#   --seconds S    how long the program runs before it is closed (30)
#   --device DEV   a real instrument on serial device DEV, seen by the
#                  program as COM1, instead of the simulator
#
# The program runs from BUILD/run (BUILD: $QM487_BUILD_ROOT, else build/)
# with its qm487cfg.ini there: PORT_NR is set to the port in use, all other
# settings are kept from run to run. The window appears on your X display
# when $DISPLAY reaches one, else on the project's virtual display (Xvfb).
# Every change of the status line is printed with its time. At the end a
# screenshot of the window is saved as BUILD/qm487-window.png, the program
# is closed as its menu's "Zamknij" does, and the simulator is stopped.
# The simulator sends channels 0-8: a ramp on channel 1, the value-error
# flag on channel 7 (that field blinks), and a little after half-way one
# line with a parity error: the link counts as lost until the next good line
# and the fields blink "???" until their channel's next line.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=${QM487_BUILD_ROOT:-$src/build}
device=
seconds=30
usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }
while [ $# -gt 0 ]; do
  case "$1" in
    --device) [ $# -ge 2 ] || { usage >&2; exit 2; }; device=$2; shift 2 ;;
    --seconds) [ $# -ge 2 ] || { usage >&2; exit 2; }; seconds=$2; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
case "$seconds" in ''|*[!0-9]*) echo "run.sh: --seconds takes whole seconds" >&2; exit 2 ;; esac
if [ -n "$device" ] && [ ! -e "$device" ]; then echo "run.sh: no device $device" >&2; exit 2; fi

"$src/scripts/install-deps.sh"
mkdir -p "$root"
"$src/scripts/build.sh" windows "$root" >"$root/windows.build.log" 2>&1 ||
  { tail -n 40 "$root/windows.build.log"; exit 1; }
bin=$root/windows
state=$bin/wine

alive() { [ -n "${1:-}" ] && kill -0 "$1" 2>/dev/null; }
# Waits up to $2 seconds for process $1 to end.
wait_gone() {
  local i
  for i in $(seq $(($2 * 10))); do alive "$1" || return 0; sleep 0.1; done
  ! alive "$1"
}

# The user's own display when it answers, else the environment's Xvfb. An
# environment left running on the other kind of display is started afresh.
want=
if [ -n "${DISPLAY:-}" ] && timeout 5 xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then want=$DISPLAY; fi
if [ -f "$state/display" ]; then
  xvfb_up=; [ -f "$state/xvfb.pid" ] && alive "$(cat "$state/xvfb.pid")" && xvfb_up=1
  if { [ -n "$want" ] && [ "$(cat "$state/display")" != "$want" ]; } || { [ -z "$want" ] && [ -z "$xvfb_up" ]; }; then
    "$src/scripts/wine-env.sh" stop "$state" >/dev/null
  fi
fi
QM487_X_DISPLAY=$want "$src/scripts/wine-env.sh" start "$state"
display=$(cat "$state/display")

qm= sim=
cleanup() {
  if alive "$qm"; then kill "$qm" 2>/dev/null; wait_gone "$qm" 5 || kill -9 "$qm" 2>/dev/null; fi
  if alive "$sim"; then kill -INT "$sim" 2>/dev/null; wait_gone "$sim" 5 || kill -9 "$sim" 2>/dev/null; fi
  "$src/scripts/wine-env.sh" stop "$state" >/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The run folder: the program finds its settings file beside itself.
run=$root/run
mkdir -p "$run"
cp "$bin/app/QM487.exe" "$run/QM487.exe"
# "Program → Uruchom Kreslo" starts the chart viewer found beside the program.
cp "$bin/app/Kreslo.exe" "$run/Kreslo.exe"
# Its help beside it: "Pomoc" opens QM487.chm, or help/ in the browser.
cp "$bin/app/QM487.chm" "$run/QM487.chm"
rm -rf "$run/help" && cp -r "$bin/app/help" "$run/help"
ini=$run/qm487cfg.ini
port=11
[ -n "$device" ] && port=1
# PORT_NR=port in [GENERAL] (names are case-insensitive, as the program
# reads them), everything else as it was; line ends follow the file's.
if [ -f "$ini" ]; then
  LC_ALL=C awk -v port="$port" '
    NR == 1 { eol = ($0 ~ /\r$/) ? "\r\n" : "\n" }
    { line = $0; sub(/\r$/, "", line) }
    line ~ /^\[.*\]$/ {
      if (general && !done) { printf "PORT_NR=%s%s", port, eol; done = 1 }
      general = toupper(line) == "[GENERAL]"; if (general) seen = 1
      print; next
    }
    general && toupper(line) ~ /^PORT_NR=/ { if (!done) printf "PORT_NR=%s%s", port, eol; done = 1; next }
    { print }
    END {
      if (eol == "") eol = "\r\n"
      if (!seen) printf "[GENERAL]%sPORT_NR=%s%s", eol, port, eol
      else if (!done) printf "PORT_NR=%s%s", port, eol
    }' "$ini" >"$ini.new"
  mv "$ini.new" "$ini"
else
  # A first run would open with the promotion window over the readings,
  # and its modal loop keeps "Zamknij" from ending the run: start without it
  # (the menu still shows it; "Ustawienia dodatkowe" turns it back on).
  printf '[GENERAL]\r\nPORT_NR=%s\r\nSHOW_ADV=0\r\n' "$port" >"$ini"
fi

if [ -n "$device" ]; then
  ln -sfn "$device" "$state/prefix/dosdevices/com$port"
  echo "run.sh: $device is COM$port"
fi

echo "run.sh: QM487 on COM$port, window on display $display, for $seconds s"
"$src/scripts/wine-run.sh" --state "$state" "$run/QM487.exe" >"$root/run-qm487.log" 2>&1 &
qm=$!

qm_watch() { timeout "$1" "$src/scripts/wine-run.sh" --state "$state" "$bin/tools/qm487-watch.exe" "${@:2}"; }
# The simulator starts once the window is up, so that its bad line falls
# where it is meant to, however long Wine takes to start the program.
if ! qm_watch 90 --seconds 0 --wait 60 >"$root/run-watch.log"; then
  cat "$root/run-watch.log" >&2
  echo "run.sh: no QM487 window (see $root/run-qm487.log)" >&2
  exit 1
fi
sed -e '/^qm487-watch: window at/d' -e 's/^qm487-watch: window found after/run.sh: the window is up after/' \
  "$root/run-watch.log"

if [ -z "$device" ]; then
  # One bad line at 5/8 of the run, so the display has recovered by the end
  # and the next comes only after it: the instrument sends 2.56 short lines
  # a second (13 characters of 9 bits at 300 baud).
  bad=$((seconds * 8 / 5)); [ "$bad" -ge 5 ] || bad=5
  echo "run.sh: simulated instrument on COM12: channels 0-8, ramp on 1, value error on 7, bad parity in line $bad"
  "$src/scripts/wine-run.sh" --state "$state" "$bin/tools/qm487-sim/qm487-sim.exe" --port COM12 \
      --channels 0-8 --ramp 1=18:25:0.5 --value-error 7 --bad-parity "$bad" \
      --duration $((seconds + 120)) >"$root/run-sim.log" 2>&1 &
  sim=$!
fi

rc=0
qm_watch $((seconds + 120)) --seconds "$seconds" --wait 10 | tee -a "$root/run-watch.log" || rc=${PIPESTATUS[0]}
[ "$rc" -eq 0 ] || echo "run.sh: the watch ended with status $rc (1: no window, 3: window gone early)" >&2

geometry=$(sed -n 's/^qm487-watch: window at \(-\{0,1\}[0-9]*\),\(-\{0,1\}[0-9]*\) size \([0-9]*\)x\([0-9]*\).*/\1 \2 \3 \4/p' \
  "$root/run-watch.log" | tail -n 1)
shot=$root/qm487-window.png
rm -f "$shot"
if [ "$rc" -eq 0 ] && [ -n "$geometry" ]; then
  read -r x y w h <<<"$geometry"
  # Only the part on the screen can be cut out.
  [ "$x" -ge 0 ] || { w=$((w + x)); x=0; }
  [ "$y" -ge 0 ] || { h=$((h + y)); y=0; }
  if timeout 30 import -display "$display" -window root -crop "${w}x${h}+${x}+${y}" +repage "$shot" 2>"$root/run-import.log"; then
    echo "run.sh: screenshot of the window: $shot"
  else
    echo "run.sh: no screenshot (see $root/run-import.log)" >&2
  fi
fi

if alive "$qm"; then
  qm_watch 60 --close --wait 15 || true
  wait_gone "$qm" 15 || { echo "run.sh: QM487 did not end; stopped" >&2; kill "$qm" 2>/dev/null || true; }
fi
if alive "$sim"; then
  kill -INT "$sim" 2>/dev/null || true
  wait_gone "$sim" 10 || kill "$sim" 2>/dev/null || true
fi
echo "run.sh: settings in $ini; logs in $root/run-*.log"
exit "$rc"
