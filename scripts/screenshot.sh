#!/usr/bin/env bash
# Makes docs/screenshot.png: the staged program (build/qbrx, built when
# needed) runs under a virtual X server on a copy of its program directory;
# once the start chapter's paper has been drawn and the screen stays still,
# the window is written to the PNG and the program is ended.
#
# usage: scripts/screenshot.sh [OUTPUT.png]
# environment: QBRX_BUILD_DIR (default build); QBRX_SHOT_BANK, a bank to
# show instead of the staged one; QBRX_SHOT_KEYS, keys pressed (xdotool
# names, e.g. "ctrl+6 Tab") once the start paper is drawn, to picture a
# window the keys open; QBRX_SHOT_CSS, a style sheet to use instead of the
# staged css/Main.css (a look other than the default); QBRX_SHOT_SIZE, the
# screen's size (default 1024x650, the window's design size).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "${1:-}" = "--capture" ]; then
  # Runs inside xvfb-run: start the program, wait until the screen is still,
  # convert the frame buffer.
  work=$2 out=$3 width=$4 height=$5
  "$work/prog/qbrx" >"$work/qbrx.log" 2>&1 &
  pid=$!
  fb="$work/fb/Xvfb_screen0"
  wait_still() {
    local previous="" still=0 second
    for second in $(seq 1 90); do
      sleep 1
      if ! kill -0 "$pid" 2>/dev/null; then
        echo "the program ended early; its output:" >&2
        cat "$work/qbrx.log" >&2
        exit 1
      fi
      sum=$(md5sum <"$fb")
      if [ "$second" -ge "$1" ] && [ "$sum" = "$previous" ]; then
        still=$((still + 1))
      else
        still=0
      fi
      previous=$sum
      [ "$still" -ge 3 ] && break
    done
  }
  wait_still 5
  # Keys the learner presses before the picture (QBRX_SHOT_KEYS, xdotool
  # names separated by blanks, e.g. "ctrl+6"), each followed by a still screen.
  for key in ${QBRX_SHOT_KEYS:-}; do
    # No window manager gives the focus: the topmost window of the program
    # (the main window, or the dialog a key opened) takes it.
    win=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | tail -1)
    [ -n "$win" ] && xdotool windowfocus --sync "$win" 2>/dev/null || true
    xdotool key --clearmodifiers "$key"
    wait_still 2
  done
  result=$(python3 "$root/scripts/xwd2png.py" "$fb" "$out" 0 0 "$width" "$height")
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  if [ "$result" != "written" ]; then
    echo "the screen stayed blank" >&2
    exit 1
  fi
  exit 0
fi

out=${1:-docs/screenshot.png}
build=${QBRX_BUILD_DIR:-build}
case "$out" in /*) ;; *) out="$root/$out" ;; esac
mkdir -p "$(dirname "$out")"

command -v xvfb-run >/dev/null || bash "$root/scripts/install-deps.sh" --tests

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target qbrx stage

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A copy, so that the staged bank and page stay as they are.
cp -r "$build/qbrx" "$work/prog"
rm -f "$work/prog/css/Question.html"
# QBRX_SHOT_BANK: another bank to show (e.g. one with a learner's history).
[ -n "${QBRX_SHOT_BANK:-}" ] && cp "$QBRX_SHOT_BANK" "$work/prog/QBRX.db"
[ -n "${QBRX_SHOT_CSS:-}" ] && cp "$QBRX_SHOT_CSS" "$work/prog/css/Main.css"
mkdir -p "$work/fb" "$work/run"
chmod 700 "$work/run"

# The window's design size; without a window manager it is not maximised,
# so the screen is made that size.
size=${QBRX_SHOT_SIZE:-1024x650}
width=${size%x*} height=${size#*x}
XDG_RUNTIME_DIR="$work/run" \
QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" \
QT_LOGGING_RULES="qt.webenginecontext.info=false" \
QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 ${width}x${height}x24 -nocursor -fbdir $work/fb" \
  bash "$root/scripts/screenshot.sh" --capture "$work" "$out" "$width" "$height"
echo "wrote $out"
