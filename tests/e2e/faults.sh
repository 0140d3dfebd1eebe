#!/usr/bin/env bash
# Faults on the real program under a real X server, each checked by the bytes left on disk:
#  ended    Res_Data moved away mid-run, two answers kept, then kill -TERM; the folder comes
#           back and the next start writes the kept answers from the journal.
#  twice    a second program given the ID of a running one is refused.
#  sound    the sound server is killed mid-run and started again: the experimenter is told
#           once, the run goes on, and the timing file marks the silent trials.
#  fifo     the registry is a FIFO: the ID is refused at once, nothing hangs.
#  nowave   a lab folder without wave/ is refused with a message naming it.
# Usage: faults.sh CUESEARCH MAKE_SOUNDS  (DISPLAY from scripts/test-env)
set -euo pipefail
[[ -n ${DISPLAY:-} ]] || { echo "no X server (DISPLAY is not set); run under scripts/test-env"; exit 77; }

program=$(realpath "$1")
make_sounds=$(realpath "$2")
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [[ -f $work/program.log ]] && { echo "the program said:" >&2; tail -n 20 "$work/program.log" >&2; }
  exit 1
}
export XDG_DATA_HOME=$work/data
"$make_sounds" "$work/lab" >/dev/null
cd "$work/lab"

# window NAME [PID]: waits for a window of that title of the program (the last one started),
# prints its id.
window() {
  for _ in $(seq 100); do
    wid=$(xdotool search --all --onlyvisible --pid "${2:-${pids[-1]}}" --name "^$1\$" 2>/dev/null | tail -n1) && [[ -n $wid ]] && { echo "$wid"; return; }
    sleep 0.1
  done
  fail "no window \"$1\""
}
start() {
  "$program" >>"$work/program.log" 2>&1 &
  pids+=($!)
}
id() {  # ID: typed into the last program's ID box, which it then leaves
  xdotool windowfocus --sync "$(window Greet)"
  xdotool type --delay 30 "$1"
  xdotool key Tab
}
enter() {  # ID initials condition
  id "$1"
  xdotool type --delay 30 "$2"
  xdotool key Tab
  xdotool type --delay 30 "$3"
  xdotool key Tab space
}
close_box() {  # ID: Enter on a message box, until it is gone
  for _ in $(seq 20); do
    xdotool windowfocus --sync "$1" 2>/dev/null
    xdotool key Return
    sleep 0.3
    xwininfo -id "$1" 2>/dev/null | grep -q IsViewable || return 0
  done
  fail "the message box $1 stays"
}
rows() { grep -c $'^[0-9]' "$1" || true; }

# ended
start
first=${pids[-1]}
enter 61 AB 1
sleep 3.5  # the launch, then blank, cross and blank before trial 1
xdotool key m; sleep 3.0
xdotool key n; sleep 3.0
mv Res_Data Res_Data.away
xdotool key m
box=$(window "RESULTS NOT SAVED YET")
xdotool key space m n Escape  # a subject's keys leave the warning up
sleep 0.5
xdotool search --name '^RESULTS NOT SAVED YET$' >/dev/null || fail "a subject's key closed the warning"
close_box "$box"
sleep 3.0
xdotool key n
window "RESULTS NOT SAVED YET" >/dev/null  # again at the next answer
kill -TERM "$first"
wait "$first" 2>/dev/null || true
journal=$(ls "$XDG_DATA_HOME"/cuesearch/journal/lab-*-R-61.txt) || fail "no journal"
[[ $(head -n1 "$journal") == "#$PWD/Res_Data/R-61.txt"$'\r' ]] || fail "journal names $(head -n1 "$journal")"
[[ $(rows "$journal") -eq 2 ]] || fail "journal: $(cat -A "$journal")"
mv Res_Data.away Res_Data
start
window "RESULTS RECOVERED" >/dev/null
results=Res_Data/R-61.txt
[[ $(grep -c '^#' $results) -eq 1 && $(rows $results) -eq 4 ]] || fail "results: $(cat -A $results)"
[[ $(cut -f1 $results | tail -n4 | tr '\n' ' ') == "1 2 3 4 " ]] || fail "order: $(cut -f1 $results)"
[[ ! -e $journal ]] || fail "the journal is still there"
grep -q '"ended": "recovered"' Res_Data/session-61.json || fail "session: $(cat Res_Data/session-61.json)"
kill -9 "${pids[-1]}"

# twice: a second program given the ID of a running one is refused. (Two programs checking
# at once are refused by the registry's lock: see intake_test and platform_test.)
start
enter 62 AB 1
sleep 1.0
start
id 62
window ERROR >/dev/null
[[ $(grep -c '^ 62 ' CurrentSubjects.txt) -eq 1 ]] || fail "registry: $(cat -A CurrentSubjects.txt)"
kill -9 "${pids[-1]}" "${pids[-2]}"

# sound: a private server for the program, so that no other test loses its own
run=$work/pulse
mkdir -m 700 -p "$run"
pulse() {
  XDG_RUNTIME_DIR=$run PULSE_STATE_PATH=$run pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --disallow-exit --load=module-null-sink --load=module-native-protocol-unix \
    --log-target=file:"$run/log" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do XDG_RUNTIME_DIR=$run pactl info >/dev/null 2>&1 && return; sleep 0.05; done
  return 1
}
if pulse; then
  server=${pids[-1]}
  XDG_RUNTIME_DIR=$run start
  enter 64 AB 1
  sleep 3.5
  xdotool key m
  kill "$server"
  box=$(window "SOUND LOST: THE RUN IS SILENT")
  pulse || fail "the sound server did not start again"
  close_box "$box"
  for key in n m n m n; do
    sleep 3.0
    xdotool key "$key"
  done
  sleep 3.0
  timing=Res_Data/timing-64.tsv
  states=$(cut -f9 $timing | tr -d '\r' | tr '\n' ' ')
  [[ $states == "soundOutput "*lost*ok" " ]] || fail "sound states: $states"
  [[ $(rows Res_Data/R-64.txt) -eq 6 ]] || fail "results: $(cat -A Res_Data/R-64.txt)"
  kill -9 "${pids[-2]}"
fi

# fifo
mkdir -p fifo/wave && cd fifo && mkfifo CurrentSubjects.txt
start
xdotool windowfocus --sync "$(window Greet)"
xdotool type --delay 30 63
xdotool key Tab
window ERROR >/dev/null

# nowave
mkdir "$work/empty"
"$program" --lab "$work/empty" 2>"$work/nowave.log" &
pids+=($!)
window "NO LAB FOLDER" >/dev/null
grep -q "The folder $work/empty (--lab) is not a lab folder" "$work/nowave.log" || fail "nowave: $(cat "$work/nowave.log")"
[[ ! -e $work/empty/CurrentSubjects.txt && ! -e $work/empty/Res_Data ]] || fail "nowave: files made in $work/empty"
echo "faults: ok"
