#!/usr/bin/env bash
# The sound materials script: eleven playable WAVs, distinct, never clipped, and a lab's own
# recording never overwritten. Usage: make_sounds.sh MAKE_SOUNDS
set -euo pipefail
make_sounds=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A lab's own recording is already there and must survive.
mkdir -p "$work/wave"
sox -n -r 22050 -c 1 -b 16 "$work/wave/4.wav" synth 0.2 sine 440 2>/dev/null
own=$(md5sum <"$work/wave/4.wav")

"$make_sounds" "$work" >/dev/null
names=(1 2 3 4 5 6 7 8 9 "Utopia Default" "Utopia Error")
sums=()
for name in "${names[@]}"; do
  file="$work/wave/$name.wav"
  [[ -f $file ]] || fail "missing $name.wav"
  [[ $name == 4 ]] && continue
  [[ $(soxi -r "$file") == 44100 && $(soxi -c "$file") == 1 && $(soxi -b "$file") == 16 ]] ||
    fail "$name.wav is not 16-bit mono at 44.1 kHz"
  duration=$(soxi -D "$file")
  awk -v d="$duration" 'BEGIN { exit !(d > 0.15 && d < 1.2) }' || fail "$name.wav lasts $duration s"
  peak=$(sox "$file" -n stat 2>&1 | awk '/Maximum amplitude/ { print $3 }')
  awk -v p="$peak" 'BEGIN { exit !(p > 0.2 && p < 0.99) }' || fail "$name.wav peaks at $peak"
  # The voice starts with the file: the first 5 ms already carry sound.
  onset=$(sox "$file" -n trim 0 0.005 stat 2>&1 | awk '/Maximum amplitude/ { print $3 }')
  awk -v p="$onset" 'BEGIN { exit !(p > 0.001) }' || fail "$name.wav starts with silence"
  sums+=("$(md5sum <"$file")")
done
[[ $(printf '%s\n' "${sums[@]}" | sort -u | wc -l) -eq ${#sums[@]} ]] || fail "two sounds are the same"
[[ $(md5sum <"$work/wave/4.wav") == "$own" ]] || fail "the lab's own 4.wav was replaced"

# A second run finds everything in place and writes nothing.
before=$(ls -l --time-style=+%s.%N "$work/wave")
[[ -z $("$make_sounds" "$work") ]] || fail "the second run wrote files"
[[ $(ls -l --time-style=+%s.%N "$work/wave") == "$before" ]] || fail "the second run touched files"
echo "sound materials: ok"
