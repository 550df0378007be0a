#!/bin/sh
# clips.sh SOURCES_DIR RES_DIR: speaks each line of clips.txt and stores it as
# RES_DIR/sounds/NAME.wav: GSM 6.10, mono, 22,050 samples a second, the given
# length. The speech is trimmed, brought to its length by a change of tempo
# (not of pitch) and framed by a little silence.
set -eu
sources=$1; out=$2/sounds
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
lead=0.05   # silence before the voice
tail=0.10   # silence after it

grep -v '^#' "$sources/clips.txt" | while read -r name seconds text; do
  [ -n "$name" ] || continue
  espeak-ng -v en-us+f3 -s 150 -p 45 -w "$work/spoken.wav" "$text"
  # Cut the silence the synthesiser leaves at both ends.
  sox -D "$work/spoken.wav" "$work/trimmed.wav" silence 1 0.01 0.3% reverse silence 1 0.01 0.3% reverse
  spoken=$(soxi -D "$work/trimmed.wav")
  factor=$(echo "$spoken / ($seconds - $lead - $tail)" | bc -l)
  if [ "$(echo "$factor < 0.75 || $factor > 1.35" | bc -l)" = 1 ]; then
    echo "clips.sh: $name: the speech lasts $spoken s, too far from $seconds s for a change of tempo; reword it" >&2
    exit 1
  fi
  sox -D "$work/trimmed.wav" "$work/timed.wav" tempo -s "$factor"
  rest=$(echo "$seconds - $lead - $(soxi -D "$work/timed.wav")" | bc -l)
  sox -D "$work/timed.wav" -r 22050 -c 1 -e gsm-full-rate "$out/$name.wav" \
      highpass 90 gain -n -1 pad "$lead" "$rest" trim 0 "$seconds"
  echo "clips.sh: $name.wav $(soxi -D "$out/$name.wav") s (speech $spoken s, tempo $factor)"
done
