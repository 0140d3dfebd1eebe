#!/usr/bin/env bash
# Trials under a real compositor with Xwayland. Weston's headless back end offers no keyboard,
# so keys cannot reach Xwayland's clients there; its X11 back end, a window on the test's X
# server (Xvfb), takes the keys typed into that window and passes them through its seat to
# Xwayland. Two trials are answered; the results, the timing record (frames through X Present
# of Xwayland) and the session file's verdict are checked.
# Usage: weston_trials.sh CUESEARCH MAKE_SOUNDS  (DISPLAY and the sound server from scripts/test-env)
set -euo pipefail
[[ -n ${DISPLAY:-} ]] || { echo "no X server (DISPLAY is not set); run under scripts/test-env"; exit 77; }
command -v weston >/dev/null && command -v Xwayland >/dev/null || { echo "weston or Xwayland not installed"; exit 77; }
program=$(realpath "$1")
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/program.log" "$work/weston.log" >&2 2>/dev/null; exit 1; }
"$2" "$work/lab" >/dev/null

server=$(pactl info 2>/dev/null | sed -n 's/^Server String: //p') && [[ -n $server ]] && export PULSE_SERVER=unix:$server
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -m 700 "$work/run"
XDG_RUNTIME_DIR=$work/run weston --backend=x11-backend.so --use-pixman --xwayland --socket=cue-trials \
  --width=1024 --height=768 >"$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q "xserver listening on display" "$work/weston.log" && break; sleep 0.1; done
inner=$(grep -o "listening on display :[0-9]*" "$work/weston.log" | grep -o ":[0-9]*") || fail "no Xwayland"
compositor=""
for _ in $(seq 50); do
  for w in $(xdotool search --name "" 2>/dev/null); do
    [[ $(xdotool getwindowname "$w" 2>/dev/null) == "Weston Compositor"* ]] && compositor=$w
  done
  [[ -n $compositor ]] && break
  sleep 0.1
done
[[ -n $compositor ]] || fail "no Weston window"

(cd "$work/lab" && XDG_RUNTIME_DIR=$work/run DISPLAY=$inner WAYLAND_DISPLAY=cue-trials exec "$program" >"$work/program.log" 2>&1) &
pids+=($!)
for _ in $(seq 100); do DISPLAY=$inner xdotool search --name '^Greet$' >/dev/null 2>&1 && break; sleep 0.1; done
xdotool windowfocus "$compositor" mousemove --window "$compositor" 512 384 click 1
sleep 0.5
xdotool type --delay 60 74; xdotool key Tab; xdotool type --delay 60 we; xdotool key Tab; xdotool type --delay 60 1
xdotool key Tab space
sleep 3.5
for key in m n; do xdotool key "$key"; sleep 3.0; done
xdotool key Escape; sleep 1; xdotool key Return
for _ in $(seq 50); do [[ $(grep -c '"end": "' "$work/lab/Res_Data/session-74.json" 2>/dev/null) == 1 ]] && break; sleep 0.1; done

rows=$(grep -c $'^[0-9]' "$work/lab/Res_Data/R-74.txt") || fail "no results"
[[ $rows -eq 2 ]] || fail "expected 2 answered trials, got $rows"
presenters=$(tail -n +2 "$work/lab/Res_Data/timing-74.tsv" | awk -F'\t' '{print $16}' | sort -u | tr -d '\r')
[[ $presenters == xpresent ]] || fail "frames not through X Present: $presenters"
grep -Eq '"timing_ok": (true|false)' "$work/lab/Res_Data/session-74.json" || fail "no timing verdict"
grep -q '"cues_lost": 0' "$work/lab/Res_Data/session-74.json" || fail "cues lost: $(cat "$work/lab/Res_Data/session-74.json")"
echo "weston trials: ok ($(grep -o '"missed_refreshes": [0-9]*' "$work/lab/Res_Data/session-74.json"))"
