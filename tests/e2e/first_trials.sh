#!/usr/bin/env bash
# The real program on a real X server: an experimenter types an ID, initials and an order
# condition and presses Start; the subject answers the first trials; then a second start with
# the same ID is refused; then a pilot run. Checks the files the program wrote, byte for byte,
# in a folder whose name is not ASCII.
# Usage: first_trials.sh CUESEARCH MAKE_SOUNDS  (DISPLAY from scripts/test-env)
set -euo pipefail
[[ -n ${DISPLAY:-} ]] || { echo "no X server (DISPLAY is not set); run under scripts/test-env"; exit 77; }

program=$1
make_sounds=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/cue-Müller.XXXXXX")
pid=""
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [[ -f $work/program.log ]] && { echo "the program said:" >&2; tail -n 20 "$work/program.log" >&2; }
  exit 1
}

"$make_sounds" "$work" >/dev/null
cd "$work"

start_program() {
  "$program" "$@" >"$work/program.log" 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    wid=$(xdotool search --name '^Greet$' 2>/dev/null | head -n1) && [[ -n $wid ]] && break
    sleep 0.1
  done
  [[ -n ${wid:-} ]] || fail "the start-up screen did not appear"
  xdotool windowfocus --sync "$wid"
}

start_program
xdotool type --delay 30 12
xdotool key Tab
xdotool type --delay 30 AB
xdotool key Tab
xdotool type --delay 30 1
xdotool key Tab space  # the focus is on Start

# Trial 1 comes 2.5 s after Start (blank, cross, blank); each answer is followed by 2.5 s.
sleep 3.5  # the launch draws its first frames and measures the refresh meanwhile
for key in m n m; do
  xdotool key "$key"
  sleep 3.0
done
quit_program() {  # Escape, then "Yes" to the quit question
  xdotool key Escape
  for _ in $(seq 50); do
    box=$(xdotool search --onlyvisible --name '^cuesearch$' 2>/dev/null | head -n1) && [[ -n $box ]] && break
    sleep 0.1
  done
  [[ -n ${box:-} ]] || fail "no quit question"
  xdotool windowfocus --sync "$box" key Return
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "the program did not end after the quit question"
  pid=""
}
quit_program

# The registry: ID, initials, condition in 14-character print zones, CR LF.
expected_registry=$(printf ' 12%11sAB%12s 1 \r\n' '' '' | od -c)
[[ $(od -c <CurrentSubjects.txt) == "$expected_registry" ]] ||
  fail "registry: $(od -c <CurrentSubjects.txt)"

results=Res_Data/R-12.txt
[[ -f $results ]] || fail "no results file"
header=$(printf '#trialNumber\tBlockNumber\tblockType\torderCondition\ttrialType1\ttargetNumber\ttargetPosition\ttargetPositionX\ttargetPositionY\ttargetNumberCounter\tFLICKER_DELAY\tsubject_res\tRT\t\r')
[[ $(head -n1 "$results") == "$header" ]] || fail "header: $(head -n1 "$results" | od -c | head)"
[[ $(wc -l <"$results") -eq 4 ]] || fail "expected the header and 3 rows: $(cat -A "$results")"

trial=0
for answer in 1 2 1; do
  trial=$((trial + 1))
  line=$(sed -n "$((trial + 1))p" "$results")
  [[ $line == *$'\t\r' ]] || fail "row $trial does not end in TAB CR LF"
  IFS=$'\t' read -r -a f <<<"${line%$'\r'}"
  [[ ${#f[@]} -eq 13 ]] || fail "row $trial has ${#f[@]} fields"
  [[ ${f[0]} == "$trial" && ${f[1]} == 1 && ${f[2]} == 1 && ${f[3]} == 1 ]] ||
    fail "row $trial: trial, block, block type, condition: ${f[*]:0:4}"
  [[ ${f[4]} == 1 || ${f[4]} == 2 ]] || fail "row $trial: trialType1 ${f[4]}"
  [[ ${f[5]} =~ ^[1-9]$ ]] || fail "row $trial: targetNumber ${f[5]}"
  if [[ ${f[4]} == 2 ]]; then
    [[ ${f[6]}${f[7]}${f[8]} == 000 ]] || fail "row $trial: an absent target has a position"
  else
    [[ ${f[6]} -ge 1 && ${f[6]} -le 30 && ${f[7]} =~ ^[0-9]+$ && ${f[8]} =~ ^[0-9]+$ ]] ||
      fail "row $trial: target position ${f[*]:6:3}"
  fi
  [[ ${f[10]} == 0 ]] || fail "row $trial: FLICKER_DELAY ${f[10]} in a still block"
  [[ ${f[11]} == "$answer" ]] || fail "row $trial: subject_res ${f[11]}, expected $answer"
  [[ ${f[12]} =~ ^[0-9]+$ && ${f[12]} -gt 100 && ${f[12]} -lt 2500 ]] || fail "row $trial: RT ${f[12]}"
done
[[ $(wc -l <Res_Data/timing-12.tsv) -ge 3 ]] || fail "the timing record is missing lines"
# The session file says how the run ended; the summary lies beside it.
session=$(tr -d '\n ' <Res_Data/session-12.json)
for field in '"subject_id":12' '"order_condition":1' '"pilot":false' '"ended":"quit"' \
  '"trials_answered":3' '"quit_at_trial":4' '"screen_width_px":1024' '"dpi":96' '"missing_sounds":[]' \
  '"sound_ok":true' '"cues_lost":0'; do
  [[ $session == *"$field"* ]] || fail "session file lacks $field: $session"
done
[[ $session =~ \"timing_ok\":(true|false),\"sound_ok\".*\"missed_refreshes\":[0-9]+, ]] || fail "no verdict: $session"
# Xvfb's simulated refreshes come at 60 Hz; the presenter measures them before the first trial.
[[ $session =~ \"refresh_hz\":(5[89]|6[01])\. ]] || fail "refresh rate: $session"
[[ $(head -c 8 Res_Data/summary-12.png | od -An -c | tr -d ' ') == '211PNG\r\n032\n' ]] || fail "no summary"

# The same ID again: refused when the focus leaves the box, and nothing is written.
start_program
xdotool type --delay 30 12
xdotool key Tab
for _ in $(seq 50); do
  box=$(xdotool search --name '^ERROR$' 2>/dev/null | head -n1) && [[ -n $box ]] && break
  sleep 0.1
done
[[ -n ${box:-} ]] || fail "a registered ID was not refused"
[[ $(wc -l <CurrentSubjects.txt) -eq 1 ]] || fail "the registry changed"
[[ $(grep -c '^#' "$results") -eq 1 ]] || fail "a second run started"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=""

# A pilot run with the same ID: its own registry and files under pilot/, nothing in the lab's.
start_program --pilot
xdotool type --delay 30 12
xdotool key Tab
xdotool type --delay 30 XY
xdotool key Tab
xdotool type --delay 30 2
xdotool key Tab space
sleep 3.5
xdotool key m
sleep 0.5
quit_program
[[ $(wc -l <CurrentSubjects.txt) -eq 1 ]] || fail "the pilot run wrote to the lab's registry"
[[ $(cat pilot/CurrentSubjects.txt) == *XY* && $(wc -l <pilot/Res_Data/R-12.txt) -eq 2 ]] ||
  fail "the pilot run's files are not in pilot/"
[[ $(tr -d '\n ' <pilot/Res_Data/session-12.json) == *'"pilot":true'* ]] || fail "pilot not marked"
echo "first trials, the refused second start and a pilot run: ok"
