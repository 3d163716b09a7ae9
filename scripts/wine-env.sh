#!/usr/bin/env bash
# The project's own Wine environment: a private prefix, a virtual X display
# and COM ports on pseudo-terminal pairs. Nothing of the user's Wine is used.
#
#   wine-env.sh start [STATE]   create/reuse the prefix, start Xvfb, wineserver and the port pairs
#   wine-env.sh stop  [STATE]   stop all of it (the prefix stays for the next run)
#   wine-env.sh env   [STATE]   print the variables a Wine program needs (for eval)
#
# With QM487_X_DISPLAY set (e.g. :0), start shows the windows on that X display
# instead of starting a private Xvfb; stop then leaves that display alone.
# STATE defaults to $QM487_WINE_STATE, else ./wine. Port pairs: COM11<->COM12,
# COM13<->COM14, COM15<->COM16, COM17<->COM18: what is written to one end
# arrives at the other. Creating STATE/tty/comN.hangup kills that pair's relay
# once (both ends see the far side vanish) and it is then started afresh;
# while STATE/tty/comN.unplugged exists it is not started again (the ports
# are missing, like a USB adapter not yet there), until that file goes.
# Fonts: Wine's own (Tahoma, also for MS Sans Serif; Marlett) and Liberation
# for Arial, Times New Roman and Courier New (same metrics), Debian's packages.
set -euo pipefail

cmd=${1:-}
state=${2:-${QM487_WINE_STATE:-$PWD/wine}}
mkdir -p "$state"
state=$(cd "$state" && pwd)
prefix=$state/prefix
pairs="11:12 13:14 15:16 17:18"

wine_bin() {
  if command -v wine64 >/dev/null 2>&1; then command -v wine64
  elif [ -x /usr/lib/wine/wine64 ]; then echo /usr/lib/wine/wine64
  else command -v wine; fi
}
wineserver_bin() {
  if command -v wineserver >/dev/null 2>&1; then command -v wineserver
  else echo /usr/lib/wine/wineserver64; fi
}

print_env() {
  echo "export WINEPREFIX='$prefix'"
  echo "export WINEARCH=win64"
  echo "export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'"
  echo "export WINEDEBUG='${WINEDEBUG:--all}'"
  echo "export QM487_WINE='$(wine_bin)'"
  echo "export QM487_WINE_STATE='$state'"
  [ -f "$state/display" ] && echo "export DISPLAY='$(cat "$state/display")'"
  return 0
}

alive() { [ -f "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }

# Debian's Wine does not look in its own font folder, so "MS Shell Dlg"
# (Tahoma) and the frame glyphs (Marlett) would fall back to whatever is
# there: its fonts go into the prefix's windows\Fonts. Not its bitmap
# "MS Sans Serif": under a Western code page Wine takes only the Western one,
# which lacks the Polish letters; Tahoma stands in, with the same dialog units.
# The display fields ask for Arial, which Liberation Sans stands in for with
# the same widths. A replacement makes Wine offer a font under the name asked.
font_replacements='"Arial"="Liberation Sans"
"Arial Narrow"="Liberation Sans Narrow"
"Times New Roman"="Liberation Serif"
"Courier New"="Liberation Mono"
"MS Sans Serif"="Tahoma"'

setup_fonts() {
  local dir=$prefix/drive_c/windows/Fonts f line missing=
  mkdir -p "$dir"
  for f in /usr/share/wine/fonts/*; do
    case ${f##*/} in
      sserif*.fon | ssee*.fon | ssef*.fon) [ -L "$dir/${f##*/}" ] && rm -f "$dir/${f##*/}" ;;
      *) [ -f "$f" ] && [ ! -e "$dir/${f##*/}" ] && ln -sfn "$f" "$dir/${f##*/}" ;;
    esac
  done
  # user.reg shows what the server has saved; importing again is harmless.
  while IFS= read -r line; do
    grep -qxF "$line" "$prefix/user.reg" 2>/dev/null || missing=1
  done <<<"$font_replacements"
  [ -z "$missing" ] && return 0
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n%s\n' "$font_replacements" \
    >"$state/fonts.reg"
  "$(wine_bin)" regedit /S "Z:${state//\//\\}\\fonts.reg" </dev/null >"$state/regedit.log" 2>&1 ||
    echo "wine-env: could not set the font replacements" >&2
}

# On the private Xvfb no window manager runs: Wine then draws the frames and
# captions itself (so screenshots look like Windows), and it does not wait
# two seconds at every window's end for a manager that never answers. On a
# real display the desktop's window manager takes the windows.
# A program that crashes gets its backtrace printed and ends, instead of a
# crash dialog nobody answers (a test would hang until its timeout).
setup_window_management() {
  local managed=N want
  [ -n "${QM487_X_DISPLAY:-}" ] && managed=Y
  want="\"Managed\"=\"$managed\""
  grep -qxF "$want" "$prefix/user.reg" 2>/dev/null && grep -qxF '"ShowCrashDialog"=dword:00000000' "$prefix/user.reg" &&
    return 0
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n%s\n\n[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\n"ShowCrashDialog"=dword:00000000\n' \
    "$want" >"$state/x11.reg"
  "$(wine_bin)" regedit /S "Z:${state//\//\\}\\x11.reg" </dev/null >>"$state/regedit.log" 2>&1 ||
    echo "wine-env: could not set the window management" >&2
}

start_display() {
  if [ -n "${QM487_X_DISPLAY:-}" ]; then
    echo "$QM487_X_DISPLAY" >"$state/display"
    return 0
  fi
  alive "$state/xvfb.pid" && return 0
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && { echo ":$n" >"$state/display"; return 0; }
      kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null || break
      sleep 0.1
    done
  done
  echo "wine-env: could not start Xvfb" >&2
  return 1
}

# One relay per pair, restarted whenever it ends, so that a test can pull
# the far end away and the next test still finds the pair.
start_pair() {
  local a=$1 b=$2 dir=$state/tty
  mkdir -p "$dir"
  alive "$dir/com$a.pid" && return 0
  (
    trap 'kill $relay 2>/dev/null; exit 0' TERM INT
    rm -f "$dir/com$a.unplugged"
    while :; do
      rm -f "$dir/com$a.hangup" "$dir/com$a" "$dir/com$b"
      while [ -e "$dir/com$a.unplugged" ]; do sleep 0.25; done
      socat pty,raw,echo=0,link="$dir/com$a" pty,raw,echo=0,link="$dir/com$b" 2>>"$dir/socat.log" &
      relay=$!
      # A look four times a second: each costs a fork, and four pairs
      # looking twenty times a second took a tenth of a processor from
      # every measurement.
      while kill -0 $relay 2>/dev/null; do
        if [ -e "$dir/com$a.hangup" ]; then kill $relay 2>/dev/null; wait $relay 2>/dev/null || true; break; fi
        sleep 0.25
      done
      wait $relay 2>/dev/null || true
      sleep 0.1
    done
  ) </dev/null >/dev/null 2>&1 &
  echo $! >"$dir/com$a.pid"
  for _ in $(seq 50); do [ -e "$dir/com$a" ] && [ -e "$dir/com$b" ] && break; sleep 0.05; done
  ln -sfn "$dir/com$a" "$prefix/dosdevices/com$a"
  ln -sfn "$dir/com$b" "$prefix/dosdevices/com$b"
}

case "$cmd" in
  start)
    eval "$(print_env)"
    if [ ! -f "$prefix/system.reg" ]; then
      echo "wine-env: creating Wine prefix in $prefix"
      "$(wine_bin)" wineboot -i </dev/null >"$state/wineboot.log" 2>&1 || true
      "$(wineserver_bin)" -w || true
    fi
    start_display
    eval "$(print_env)"
    # A persistent server keeps the many short test runs fast.
    # Background helpers must not hold the caller's output open (ctest waits for it).
    alive "$state/wineserver.pid" || { "$(wineserver_bin)" -p </dev/null >/dev/null 2>&1 & echo $! >"$state/wineserver.pid"; }
    setup_fonts
    setup_window_management
    # Start Wine's own services now, detached: started by the first test they
    # would inherit its output and keep ctest waiting until they end.
    "$(wine_bin)" wineboot </dev/null >"$state/wineboot.log" 2>&1 || true
    for p in $pairs; do start_pair "${p%%:*}" "${p##*:}"; done
    echo "wine-env: ready (DISPLAY $(cat "$state/display"), prefix $prefix)"
    ;;
  stop)
    eval "$(print_env)"
    for p in $pairs; do
      f=$state/tty/com${p%%:*}.pid
      if alive "$f"; then kill "$(cat "$f")" 2>/dev/null || true; fi
      rm -f "$f"
    done
    pkill -f "socat pty,raw,echo=0,link=$state/tty/" 2>/dev/null || true
    "$(wineserver_bin)" -k 2>/dev/null || true
    rm -f "$state/wineserver.pid"
    if alive "$state/xvfb.pid"; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true; fi
    rm -f "$state/xvfb.pid" "$state/display"
    echo "wine-env: stopped"
    ;;
  env) print_env ;;
  *) sed -n '2,16p' "$0" >&2; exit 2 ;;
esac
