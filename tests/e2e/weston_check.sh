#!/usr/bin/env bash
# The check under a real compositor: Weston's headless back end with Xwayland, as most lab
# desktops now run X programs. The display lines must say what they found there (Xwayland,
# whether frames are timed by the server), every section must be there, and the exit status
# must be the report's worst verdict. Sound comes from scripts/test-env's null sink.
# Usage: weston_check.sh CUESEARCH MAKE_SOUNDS
set -euo pipefail
command -v weston >/dev/null && command -v Xwayland >/dev/null || { echo "weston or Xwayland not installed"; exit 77; }
program=$(realpath "$1")
work=$(mktemp -d)
wpid=""
cleanup() {
  [[ -n $wpid ]] && kill "$wpid" 2>/dev/null && wait "$wpid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/weston.log" >&2; exit 1; }
"$2" "$work/lab" >/dev/null

# The sound server of test-env stays reachable from the compositor's runtime folder.
server=$(pactl info 2>/dev/null | sed -n 's/^Server String: //p') && [[ -n $server ]] && export PULSE_SERVER=unix:$server
export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --xwayland --socket=cue-check --width=1024 --height=768 --idle-time=0 \
  >"$work/weston.log" 2>&1 &
wpid=$!
for _ in $(seq 100); do grep -q "xserver listening on display" "$work/weston.log" && break; sleep 0.1; done
display=$(grep -o "listening on display :[0-9]*" "$work/weston.log" | grep -o ":[0-9]*") || fail "no Xwayland"
DISPLAY=$display xdpyinfo >/dev/null || fail "Xwayland did not start"  # it starts at the first connection

status=0
DISPLAY=$display WAYLAND_DISPLAY=cue-check "$program" --check --json --lab "$work/lab" >"$work/report.json" 2>"$work/err" || status=$?
cat "$work/report.json"
python3 - "$work/report.json" "$status" <<'PY' || fail "report"
import json, sys
report = json.load(open(sys.argv[1]))
lines = {(l["section"], l["what"]): l for l in report["lines"]}
assert {l["section"] for l in report["lines"]} == {"display", "sound", "keyboard", "disk", "fonts"}, lines.keys()
assert "Xwayland" in lines["display", "display server"]["figure"], lines["display", "display server"]
timing = lines["display", "frame timing"]
assert timing["figure"].startswith("X Present") or timing["verdict"] == "FAIL", timing
assert lines["display", "compositor"]["verdict"] == "CONCERN", lines["display", "compositor"]
assert int(sys.argv[2]) == ["PASS", "CONCERN", "FAIL"].index(report["verdict"]), (sys.argv[2], report["verdict"])
PY
echo "weston check: ok"
